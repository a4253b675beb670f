#include "bridgetabreader.h"
#include "bridgeworkspace.h"
#include "browserdetection.h"
#include "browsertracker.h"
#include "nativemessaging.h"
#include "support/faketabreader.h"
#include "support/fakewindowlist.h"
#include "support/fakeworkspace.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// Detection with the add-on's reports on top of the desktop's own sources: real sockets into a
// real bridge, a fake desktop below.
class BridgeDetectionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ranksWithTheAddOn_data()
    {
        // Reports are "<browser> <focused|none> [closed] <url>", sent in order, one host each.
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<int>("secondsLater");
        QTest::addColumn<QString>("desktopFrontmost");
        QTest::addColumn<QString>("tracked");
        QTest::addColumn<QStringList>("activations");
        // "<app name> <url> <reader>"
        QTest::addColumn<QString>("expected");

        auto row = [](const char *name, const QStringList &reports, int secondsLater, const char *desktopFrontmost, const char *tracked,
                      const QStringList &activations, const char *expected) {
            QTest::newRow(name) << reports << secondsLater << QString::fromLatin1(desktopFrontmost) << QString::fromLatin1(tracked)
                                << activations << QString::fromLatin1(expected);
        };
        const QString focused = u"chromium focused https://c.example/"_s;
        const QString unfocused = u"chromium none https://c.example/"_s;
        const QString firefoxFocused = u"firefox focused https://f.example/bridge"_s;
        const char *addOnAnswer = "Chromium https://c.example/ add-on";
        const char *firefoxFiles = "Firefox https://f.example/file desktop";
        row("the add-on's focus beats the desktop's frontmost", {focused}, 0, "firefox", "", {u"chromium"_s}, addOnAnswer);
        row("focus gone to another application: the last browser's tab", {unfocused}, 0, "org.gnome.Terminal", "chromium", {}, addOnAnswer);
        row("two browsers claim the focus: the later report wins", {firefoxFocused, focused}, 0, "firefox", "firefox",
            {u"firefox"_s, u"chromium"_s}, addOnAnswer);
        row("focus moved to none and on to the other browser", {focused, unfocused, firefoxFocused}, 0, "chromium", "chromium",
            {u"chromium"_s, u"firefox"_s}, "Firefox https://f.example/bridge add-on");
        row("silent for a minute without focus: read from its files", {unfocused}, 61, "chromium", "", {},
            "Chromium https://file.example/ desktop");
        row("focused, but its browser just quit", {u"chromium focused closed https://c.example/"_s}, 0, "firefox", "", {u"chromium"_s},
            firefoxFiles);
        row("focused with its host running, however quiet", {focused}, 61, "firefox", "", {u"chromium"_s}, addOnAnswer);
        row("a connected browser showing no web page falls through", {u"chromium focused chrome://newtab/"_s}, 0, "chromium", "firefox",
            {u"chromium"_s}, firefoxFiles);
    }
    void ranksWithTheAddOn()
    {
        QFETCH(QStringList, reports);
        QFETCH(int, secondsLater);
        QFETCH(QString, desktopFrontmost);
        QFETCH(QString, tracked);
        QFETCH(QStringList, activations);
        QFETCH(QString, expected);

        QTemporaryDir folder;
        auto bridge = std::make_shared<BrowserBridge>(folder.filePath(u"bridge"_s));
        QVERIFY(bridge->listen());
        auto desktop = std::make_unique<FakeWorkspace>();
        desktop->frontmostApplication = desktopFrontmost;
        desktop->processApplicationIds = {{1, u"firefox"_s}, {2, u"chromium"_s}};
        auto desktopReader = std::make_unique<FakeTabReader>();
        desktopReader->answer(u"firefox"_s, u"https://f.example/file|||F"_s);
        desktopReader->answer(u"chromium"_s, u"https://file.example/|||C"_s);
        auto clock = [secondsLater] { return BridgeBrowserState::Clock::now() + std::chrono::seconds(secondsLater); };
        BridgeWorkspace workspace(std::move(desktop), bridge, clock);
        BridgeTabReader reader(std::move(desktopReader), bridge, clock);
        QSignalSpy activated(&workspace, &Workspace::applicationActivated);

        std::map<QString, std::unique_ptr<QLocalSocket>> hosts;
        int sequence = 0;
        for (const QString &report : std::as_const(reports)) {
            const QStringList words = report.split(u' ');
            std::unique_ptr<QLocalSocket> &host = hosts[words.first()];
            if (!host) {
                host = std::make_unique<QLocalSocket>();
                host->connectToServer(folder.filePath(u"bridge"_s));
                QVERIFY(host->waitForConnected(2000));
                host->write(*NativeMessaging::encode({{u"type"_s, u"hello"_s}, {u"browser"_s, words.first()}}));
            }
            host->write(*NativeMessaging::encode({{u"type"_s, u"state"_s},
                                                  {u"seq"_s, ++sequence},
                                                  {u"focused"_s, words.at(1) == "focused"_L1},
                                                  {u"url"_s, words.last()},
                                                  {u"title"_s, words.first()}}));
            QTRY_COMPARE(bridge->state(words.first()).value_or(BridgeBrowserState{}).sequence, sequence);
            if (words.contains("closed"_L1)) {
                host->disconnectFromServer();
                QTRY_VERIFY(!bridge->state(words.first())->open);
            }
        }

        QStringList seen;
        for (const QList<QVariant> &activation : std::as_const(activated))
            seen.append(activation.first().toString());
        QCOMPARE(seen, activations);

        BrowserTracker tracker;
        tracker.setLastActiveBrowser(tracked);
        const FakeWindowList windows;
        const DetectionRecord record = BrowserDetection::detect(BrowserSituation::observe(workspace, windows, tracker), reader);
        QVERIFY(record.result);
        const auto answered
            = std::find_if(record.candidates.cbegin(), record.candidates.cend(), [&record](const DetectionCandidate &candidate) {
                  return candidate.browser->appName == record.result->browserName;
              });
        const QString readBy = answered->readerReport.value("reader"_L1).toString() == "add-on"_L1 ? u"add-on"_s : u"desktop"_s;
        QCOMPARE(u"%1 %2 %3"_s.arg(record.result->browserName, record.result->url, readBy), expected);
    }
};

QTEST_GUILESS_MAIN(BridgeDetectionTest)
#include "bridgedetectiontest.moc"
