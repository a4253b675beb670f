#include "tabsaverequest.h"

#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

std::optional<TabSaveRequest> TabSaveRequest::build(const ActiveBrowserTab &tab, const QString &typedAddress,
                                                    const QString &faviconServiceBase)
{
    TabSaveRequest request{.url = tab.url.trimmed(), .title = tab.title.trimmed(), .screenshotUrl = {}};
    const QString typed = typedAddress.trimmed();
    if (!typed.isEmpty()) {
        std::optional<QString> address = webAddress(typed);
        if (!address)
            return std::nullopt;
        request.url = *std::move(address);
        request.title = QUrl(request.url).host();
    }
    if (request.url.isEmpty())
        return std::nullopt;
    if (request.title.isEmpty())
        request.title = request.url;
    const QUrl parsed(request.url, QUrl::StrictMode);
    if (parsed.isValid() && !parsed.host().isEmpty())
        request.screenshotUrl = faviconServiceBase + parsed.host(QUrl::FullyEncoded) + "&sz=128"_L1;
    return request;
}

std::optional<QString> TabSaveRequest::webAddress(const QString &typed)
{
    if (typed.isEmpty() || std::ranges::any_of(typed, [](QChar c) { return c.isSpace(); }))
        return std::nullopt;
    const bool hasWebScheme = typed.startsWith("http://"_L1, Qt::CaseInsensitive) || typed.startsWith("https://"_L1, Qt::CaseInsensitive);
    // Another scheme becomes a host without a dot, or an invalid port, once https is in front.
    const QString address = hasWebScheme ? typed : "https://"_L1 + typed;
    const QUrl parsed(address, QUrl::StrictMode);
    // "mailto:a@b.org" parses as credentials in front of a host; nobody types those into a page address.
    if (!parsed.isValid() || !parsed.userInfo().isEmpty())
        return std::nullopt;
    const QString host = parsed.host();
    const QStringList labels = host.split(u'.');
    const bool namedHost = labels.size() > 1 && std::ranges::none_of(labels, &QString::isEmpty);
    if (!namedHost && host != "localhost"_L1 && !host.contains(u':'))
        return std::nullopt;
    return address;
}

QString TabSaveRequest::faviconServiceBase(const QString &apiBaseUrl)
{
    return apiBaseUrl + "/icon?domain="_L1;
}

QJsonObject TabSaveRequest::toJson(const QString &content) const
{
    return {{u"url"_s, url}, {u"title"_s, title}, {u"screenshotUrl"_s, screenshotUrl}, {u"content"_s, content}};
}
