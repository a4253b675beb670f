#include "desktopsessiontabreader.h"

#include "linux/firefoxsession.h"
#include "linux/linuxprocess.h"
#include "linux/snsssession.h"

#include <QDateTime>

#include <algorithm>
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

// The browsers' own pages with no address worth saving: no file will ever name them.
constexpr std::array<QLatin1StringView, 6> newTabTitles{{
    QLatin1StringView("New Tab"),
    QLatin1StringView("New tab"),
    QLatin1StringView("New Incognito Tab"),
    QLatin1StringView("New Private Tab"),
    QLatin1StringView("Start Page"),
    QLatin1StringView("Speed Dial"),
}};

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

// The last write to any file the reader consults; Firefox commits history to its write-ahead log.
qint64 newestWrite(const BrowserProfile &profile)
{
    qint64 newest = 0;
    for (const QString &path : {profile.sessionFile, profile.historyFile, profile.historyFile + QLatin1StringView("-wal")})
        newest = std::max(newest, FileStamp::of(path).modifiedMsecs);
    return newest;
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
    m_lastAddressPending = false;
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

    const TitleSighting &sighting = sightTitle(browserId, *window, liveTitle);
    if (session && !liveTitle.isEmpty()) {
        if (session->title == liveTitle) {
            report.insert(rule, QStringLiteral("the session's selected tab has the window's title"));
            return session->url + separator + liveTitle;
        }
        // Chromium records a navigation before the page has a title, so a session written since
        // the title changed holds the new address untitled. The change may have come any time
        // after the reader last saw the old title.
        if (browser.kind == KnownBrowser::Kind::Chromium && session->title.isEmpty()
            && FileStamp::of(profile->sessionFile).modifiedMsecs > sighting.previousSeen.value_or(sighting.firstSeen)) {
            report.insert(rule, QStringLiteral("the session's selected tab, written after the window's title changed"));
            return session->url + separator + liveTitle;
        }
    }
    if (const auto url = m_history.newestUrlWithTitle(browser.kind, profile->historyFile, liveTitle)) {
        report.insert(rule, QStringLiteral("the newest history visit with the window's title"));
        return *url + separator + liveTitle;
    }
    // Only a change the reader saw itself, and no write since it saw the new title: a file
    // written after that and still without the page will not name it later either.
    const bool isNewTab = std::find(newTabTitles.cbegin(), newTabTitles.cend(), liveTitle) != newTabTitles.cend();
    if (sighting.previousSeen && !liveTitle.isEmpty() && !isNewTab && newestWrite(*profile) <= sighting.firstSeen) {
        report.insert(rule, QStringLiteral("the window's title changed after the session and history were last written: address pending"));
        m_lastAddressPending = true;
        return titleOnly;
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

const DesktopSessionTabReader::TitleSighting &DesktopSessionTabReader::sightTitle(const QString &browserId, const BrowserWindow &window,
                                                                                  const QString &title)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const auto known = m_titleSightings.find(browserId);
    if (known == m_titleSightings.end())
        return *m_titleSightings.insert(browserId, {window.id, title, now, now, std::nullopt});
    if (known->windowId != window.id || known->title != title)
        *known = {window.id, title, now, now, known->lastSeen};
    known->lastSeen = now;
    return *known;
}
