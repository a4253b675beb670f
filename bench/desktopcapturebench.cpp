// CPU time of one detection poll of the desktop tab reader with a 200-tab session: unchanged
// files (everything cached) and a session the browser has just rewritten.
#include "linux/desktopsessiontabreader.h"
#include "support/sessionfixtures.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace SessionFixtures;

namespace
{
constexpr int tabCount = 200;
constexpr int entriesPerTab = 3;

const KnownBrowser &row(QLatin1StringView browserId)
{
    return *std::find_if(knownBrowsers.cbegin(), knownBrowsers.cend(),
                         [&](const KnownBrowser &browser) { return browser.id == browserId; });
}

// Entries carry what Firefox stores besides the address, so the file has a realistic size.
QByteArray firefoxSession()
{
    const QString principal = QString(600, QLatin1Char('A'));
    QJsonArray tabs;
    for (int tab = 0; tab < tabCount; ++tab) {
        QJsonArray entries;
        for (int entry = 0; entry < entriesPerTab; ++entry) {
            entries.append(QJsonObject{
                {QStringLiteral("url"), QStringLiteral("https://site%1.example/articles/%2").arg(tab).arg(entry)},
                {QStringLiteral("title"), QStringLiteral("Article %1 of site %2").arg(entry).arg(tab)},
                {QStringLiteral("cacheKey"), 0},
                {QStringLiteral("ID"), tab * 10 + entry},
                {QStringLiteral("docshellUUID"), QStringLiteral("{0f6b8f3e-55c2-4a8e-9e0b-8d6f%1}").arg(tab, 8, 10, QLatin1Char('0'))},
                {QStringLiteral("triggeringPrincipal_base64"), principal},
                {QStringLiteral("csp"), principal},
                {QStringLiteral("hasUserInteraction"), true},
            });
        }
        tabs.append(QJsonObject{{QStringLiteral("entries"), entries},
                                {QStringLiteral("index"), entriesPerTab},
                                {QStringLiteral("lastAccessed"), 1765000000000.0 + tab},
                                {QStringLiteral("image"), QStringLiteral("https://site%1.example/favicon.ico").arg(tab)}});
    }
    const QJsonObject window{{QStringLiteral("tabs"), tabs}, {QStringLiteral("selected"), tabCount / 2}};
    return mozLz4(QJsonDocument(QJsonObject{{QStringLiteral("windows"), QJsonArray{window}}, {QStringLiteral("selectedWindow"), 1}})
                      .toJson(QJsonDocument::Compact));
}

QByteArray chromiumSession()
{
    SnssWriter writer;
    for (int tab = 0; tab < tabCount; ++tab) {
        writer.tabInWindow(1, tab, tab);
        for (int entry = 0; entry < entriesPerTab; ++entry)
            writer.navigation(tab, entry, QStringLiteral("https://site%1.example/articles/%2").arg(tab).arg(entry));
        writer.selectedNavigation(tab, entriesPerTab - 1);
    }
    return writer.selectedTab(1, tabCount / 2).activeWindow(1).bytes();
}

// A home with both browsers' profiles, sessions and a history of a few thousand visits.
class Desktop
{
public:
    Desktop()
    {
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral(".config")).toUtf8());
        const QString root = m_home.filePath(QStringLiteral(".mozilla/firefox"));
        writeFirefoxProfiles(root, {QStringLiteral("bench.default-esr")}, QStringLiteral("bench.default-esr"));
        firefoxSessionFile = root + QLatin1StringView("/bench.default-esr/sessionstore-backups/recovery.jsonlz4");
        writeFile(firefoxSessionFile, firefoxSession());
        QList<Visit> visits;
        for (int index = 0; index < 5000; ++index)
            visits.append({QStringLiteral("https://visited%1.example/").arg(index), QStringLiteral("Visited %1").arg(index)});
        writeFirefoxHistory(root + QLatin1StringView("/bench.default-esr"), visits);

        const QString chromiumProfile = m_home.filePath(QStringLiteral(".config/chromium/Default"));
        chromiumSessionFile = chromiumProfile + QLatin1StringView("/Sessions/Session_1");
        writeFile(chromiumSessionFile, chromiumSession());
        writeChromiumHistory(chromiumProfile, visits);

        const qint64 self = QCoreApplication::applicationPid();
        windows->windows.insert(QStringLiteral("firefox"),
                                {1, QStringLiteral("Article 2 of site 99 — Mozilla Firefox"), self, QStringLiteral("Navigator")});
        windows->windows.insert(QStringLiteral("chromium"),
                                {2, QStringLiteral("Article 2 of site 99 - Chromium"), self, QStringLiteral("chromium")});
    }

    QTemporaryDir m_home;
    QString firefoxSessionFile;
    QString chromiumSessionFile;
    std::shared_ptr<FakeBrowserWindows> windows = std::make_shared<FakeBrowserWindows>();
};

void readTab(benchmark::State &state, QLatin1StringView browserId, bool sessionChanges, const QString &windowTitle = {})
{
    Desktop desktop;
    const KnownBrowser &browser = row(browserId);
    const QString sessionFile = browser.kind == KnownBrowser::Kind::Firefox ? desktop.firefoxSessionFile : desktop.chromiumSessionFile;
    if (!windowTitle.isEmpty())
        desktop.windows->windows[QString(browserId)].title = windowTitle;
    DesktopSessionTabReader reader(desktop.windows);
    QDateTime written = QDateTime::currentDateTime().addSecs(-600);
    if (!reader.readActiveTab(browser))
        state.SkipWithError("no answer");
    for (auto _ : state) {
        if (sessionChanges) {
            state.PauseTiming();
            written = written.addSecs(1);
            setModified(sessionFile, written);
            if (!windowTitle.isEmpty())
                setModified(sessionFile.section(QLatin1Char('/'), 0, -3) + QLatin1StringView("/places.sqlite"), written);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(reader.readActiveTab(browser));
    }
}

const QLatin1StringView firefox("firefox");
const QLatin1StringView chromium("chromium");
}

BENCHMARK_CAPTURE(readTab, firefox_unchanged, firefox, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readTab, firefox_session_rewritten, firefox, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readTab, firefox_history_changed, firefox, true, QStringLiteral("Visited 4000"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readTab, chromium_unchanged, chromium, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readTab, chromium_session_rewritten, chromium, true)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
