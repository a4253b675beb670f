#include "desktopsessiontabreader.h"

#include "linux/firefoxsession.h"
#include "linux/linuxprocess.h"
#include "linux/snsssession.h"

#include <QDateTime>

#include <array>

namespace
{
const QString separator = QStringLiteral("|||");

// What browsers append to the page title in their window titles.
constexpr std::array<QLatin1StringView, 14> titleSuffixes{{
    QLatin1StringView("Mozilla Firefox"),
    QLatin1StringView("Mozilla Firefox Private Browsing"),
    QLatin1StringView("Mozilla Firefox ESR"),
    QLatin1StringView("Firefox Developer Edition"),
    QLatin1StringView("Firefox Nightly"),
    QLatin1StringView("Zen Browser"),
    QLatin1StringView("Chromium"),
    QLatin1StringView("Google Chrome"),
    QLatin1StringView("Google Chrome Beta"),
    QLatin1StringView("Google Chrome Canary"),
    QLatin1StringView("Brave"),
    QLatin1StringView("Microsoft Edge"),
    QLatin1StringView("Vivaldi"),
    QLatin1StringView("Opera"),
}};
constexpr std::array<QLatin1StringView, 3> titleSeparators{
    {QLatin1StringView(" - "), QLatin1StringView(" \u2014 "), QLatin1StringView(" \u2013 ")}};

QString withoutBrowserSuffix(const QString &windowTitle)
{
    QString title = windowTitle.trimmed();
    for (const QLatin1StringView suffix : titleSuffixes) {
        if (title == suffix)
            return {};
        for (const QLatin1StringView separatorText : titleSeparators) {
            // Separators hold non-Latin-1 dashes, so they go through QString.
            const QString ending = QString::fromUtf8(separatorText.data(), separatorText.size()) + suffix;
            if (title.endsWith(ending))
                return title.left(title.size() - ending.size()).trimmed();
        }
    }
    return title;
}

QJsonValue ageInSeconds(const QString &path)
{
    const FileStamp stamp = FileStamp::of(path);
    if (!stamp.exists())
        return QJsonValue::Null;
    return double(QDateTime::currentMSecsSinceEpoch() - stamp.modifiedMsecs) / 1000.0;
}
}

DesktopSessionTabReader::DesktopSessionTabReader(std::shared_ptr<BrowserWindows> windows)
    : m_windows(std::move(windows))
    , m_firefoxSessions(FirefoxSession::selectedTab)
    , m_chromiumSessions(SnssSession::selectedTab)
{ }

std::optional<QString> DesktopSessionTabReader::readActiveTab(const KnownBrowser &browser)
{
    QJsonObject report{{QStringLiteral("browser"), QString(browser.appName)}};
    std::optional<QString> answer = read(browser, report);
    report.insert(QStringLiteral("answered"), answer.has_value());
    m_lastReport = report;
    return answer;
}

std::optional<QString> DesktopSessionTabReader::read(const KnownBrowser &browser, QJsonObject &report)
{
    const QString rule = QStringLiteral("rule");
    if (browser.kind == KnownBrowser::Kind::Safari) {
        report.insert(rule, QStringLiteral("no session reader for this browser here"));
        return std::nullopt;
    }
    const QString browserId(browser.id);
    const std::optional<BrowserWindow> window = m_windows->topmostWindow(browserId);
    if (!window) {
        report.insert(rule, QStringLiteral("no window of this browser"));
        return std::nullopt;
    }
    const bool knowsTitle = m_windows->knowsWindows();
    if (knowsTitle) {
        report.insert(QStringLiteral("window"),
                      QJsonObject{{QStringLiteral("id"), qint64(window->id)},
                                  {QStringLiteral("title"), window->title},
                                  {QStringLiteral("processId"), window->processId},
                                  {QStringLiteral("class"), window->classInstance}});
    } else {
        report.insert(QStringLiteral("focus"),
                      QStringLiteral("guess: no window system to ask, the browser whose session file changed last counts as frontmost"));
    }

    const QString liveTitle = withoutBrowserSuffix(window->title);
    const QString titleOnly = separator + liveTitle;
    const std::optional<BrowserProfile> profile
        = m_profiles.locate(browser, LinuxProcess::commandLine(window->processId), window->classInstance);
    if (!profile) {
        report.insert(rule, QStringLiteral("no profile found; the window's title alone"));
        return knowsTitle ? std::optional(titleOnly) : std::nullopt;
    }
    report.insert(QStringLiteral("profile"), profile->directory);
    report.insert(QStringLiteral("profileRule"), profile->rule);
    report.insert(QStringLiteral("sessionFile"), profile->sessionFile);
    report.insert(QStringLiteral("sessionAgeSeconds"), ageInSeconds(profile->sessionFile));
    report.insert(QStringLiteral("historyFile"), profile->historyFile);
    report.insert(QStringLiteral("historyAgeSeconds"), ageInSeconds(profile->historyFile));

    const std::optional<SessionTab> session = selectedSessionTab(browser, profile->sessionFile);
    if (!knowsTitle) {
        if (!session) {
            report.insert(rule, QStringLiteral("no readable session"));
            return std::nullopt;
        }
        report.insert(rule, QStringLiteral("the session's selected tab, unmatched: no window title to compare"));
        return session->url + separator + session->title;
    }

    const qint64 titleSince = titleSeenSince(browserId, *window, liveTitle);
    if (session && !liveTitle.isEmpty()) {
        if (session->title == liveTitle) {
            report.insert(rule, QStringLiteral("the session's selected tab has the window's title"));
            return session->url + separator + liveTitle;
        }
        if (browser.kind == KnownBrowser::Kind::Chromium && session->title.isEmpty()
            && FileStamp::of(profile->sessionFile).modifiedMsecs > titleSince) {
            report.insert(rule, QStringLiteral("the session's selected tab, written after the window's title changed"));
            return session->url + separator + liveTitle;
        }
    }
    if (const auto url = m_history.newestUrlWithTitle(browser.kind, profile->historyFile, liveTitle)) {
        report.insert(rule, QStringLiteral("the newest history visit with the window's title"));
        return *url + separator + liveTitle;
    }
    report.insert(rule, QStringLiteral("nothing has the window's title yet; the title alone"));
    return titleOnly;
}

std::optional<SessionTab> DesktopSessionTabReader::selectedSessionTab(const KnownBrowser &browser, const QString &sessionFile)
{
    if (sessionFile.isEmpty())
        return std::nullopt;
    return browser.kind == KnownBrowser::Kind::Firefox ? m_firefoxSessions.value(sessionFile) : m_chromiumSessions.value(sessionFile);
}

qint64 DesktopSessionTabReader::titleSeenSince(const QString &browserId, const BrowserWindow &window, const QString &title)
{
    TitleSighting &sighting = m_titleSightings[browserId];
    if (sighting.windowId != window.id || sighting.title != title || sighting.sinceMsecs == 0)
        sighting = {window.id, title, QDateTime::currentMSecsSinceEpoch()};
    return sighting.sinceMsecs;
}
