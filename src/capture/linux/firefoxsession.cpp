#include "firefoxsession.h"

#include "mozlz4.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
// Sessions of thousands of tabs stay well below this; anything larger is not a session.
constexpr qint64 maximumSessionBytes = 64 * 1024 * 1024;

// Firefox counts from one; anything outside the array is no selection.
std::optional<QJsonValue> oneBasedElement(const QJsonArray &array, const QJsonValue &position)
{
    const qint64 index = position.toInteger(0);
    if (index < 1 || index > array.size())
        return std::nullopt;
    return array.at(index - 1);
}

std::optional<SessionTab> selectedTabOfJson(const QByteArray &json)
{
    const QJsonObject session = QJsonDocument::fromJson(json).object();
    const QJsonArray windows = session.value(QLatin1StringView("windows")).toArray();
    const std::optional<QJsonValue> window = oneBasedElement(windows, session.value(QLatin1StringView("selectedWindow")));
    if (!window)
        return std::nullopt;
    const QJsonObject windowObject = window->toObject();
    const std::optional<QJsonValue> tab
        = oneBasedElement(windowObject.value(QLatin1StringView("tabs")).toArray(), windowObject.value(QLatin1StringView("selected")));
    if (!tab)
        return std::nullopt;
    const QJsonObject tabObject = tab->toObject();
    const std::optional<QJsonValue> entry
        = oneBasedElement(tabObject.value(QLatin1StringView("entries")).toArray(), tabObject.value(QLatin1StringView("index")));
    if (!entry)
        return std::nullopt;
    const QJsonObject entryObject = entry->toObject();
    const QString url = entryObject.value(QLatin1StringView("url")).toString();
    if (url.isEmpty())
        return std::nullopt;
    return SessionTab{url, entryObject.value(QLatin1StringView("title")).toString()};
}
}

std::optional<SessionTab> FirefoxSession::selectedTab(const QString &path)
{
    const std::optional<QByteArray> json = MozLz4::read(path, maximumSessionBytes);
    if (!json)
        return std::nullopt;
    return selectedTabOfJson(*json);
}
