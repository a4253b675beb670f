#include "osascripttabreader.h"

#include "macos/browserscripts.h"

#include <QMutexLocker>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace
{
QString kindName(KnownBrowser::Kind kind)
{
    switch (kind) {
    case KnownBrowser::Kind::Chromium:
        return u"chromium"_s;
    case KnownBrowser::Kind::Safari:
        return u"safari"_s;
    case KnownBrowser::Kind::Firefox:
        break;
    }
    return u"firefox"_s;
}
}

OsascriptTabReader::OsascriptTabReader(ScriptRunner runner)
    : m_runner(std::move(runner))
{ }

std::optional<QString> OsascriptTabReader::readActiveTab(const KnownBrowser &browser)
{
    const ScriptAnswer run = m_runner.run(BrowserScripts::tabScript(browser), ScriptAnswer::Script::Tab);
    const QJsonObject report{
        {u"reader"_s, u"osascript"_s},
        {u"executable"_s, m_runner.executable()},
        {u"script"_s, kindName(browser.kind)},
        {u"outcome"_s, ScriptAnswer::describe(run.outcome)},
    };
    const QMutexLocker locker(&m_reportLock);
    m_lastReadReport = report;
    return run.answer;
}

std::optional<QString> OsascriptTabReader::readPageText(const QString &browserName)
{
    static constexpr std::array chromiumNames{"chrome"_L1, "arc"_L1, "brave"_L1, "edge"_L1, "opera"_L1};
    const QString name = browserName.toLower();
    if (name.contains("safari"_L1))
        return m_runner.run(BrowserScripts::safariTextScript(), ScriptAnswer::Script::PageText).answer;
    if (std::any_of(chromiumNames.cbegin(), chromiumNames.cend(), [&name](QLatin1StringView part) { return name.contains(part); }))
        return m_runner.run(BrowserScripts::chromiumTextScript(browserName), ScriptAnswer::Script::PageText).answer;
    return std::nullopt;
}

QJsonObject OsascriptTabReader::lastReadReport() const
{
    const QMutexLocker locker(&m_reportLock);
    return m_lastReadReport;
}
