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

        QTest::newRow("the add-on's focus beats the desktop's frontmost")
            << QStringList{u"chromium focused https://c.example/"_s} << 0 << u"firefox"_s << QString() << QStringList{u"chromium"_s}
            << u"Chromium https://c.example/ add-on"_s;
        QTest::newRow("focus gone to another application: the last browser's tab")
            << QStringList{u"chromium none https://c.example/"_s} << 0 << u"org.gnome.Terminal"_s << u"chromium"_s << QStringList{}
            << u"Chromium https://c.example/ add-on"_s;
        QTest::newRow("two browsers claim the focus: the later report wins")
            << QStringList{u"firefox focused https://f.example/bridge"_s, u"chromium focused https://c.example/"_s} << 0 << u"firefox"_s
            << u"firefox"_s << QStringList{u"firefox"_s, u"chromium"_s} << u"Chromium https://c.example/ add-on"_s;
        QTest::newRow("focus moved to none and on to the other browser")
            << QStringList{u"chromium focused https://c.example/"_s, u"chromium none https://c.example/"_s,
                           u"firefox focused https://f.example/bridge"_s}
            << 0 << u"chromium"_s << u"chromium"_s << QStringList{u"chromium"_s, u"firefox"_s}
            << u"Firefox https://f.example/bridge add-on"_s;
        QTest::newRow("silent for a minute without focus: read from its files")
            << QStringList{u"chromium none https://c.example/"_s} << 61 << u"chromium"_s << QString() << QStringList{}
            << u"Chromium https://file.example/ desktop"_s;
        QTest::newRow("focused, but its host ended a minute ago")
            << QStringList{u"chromium focused closed https://c.example/"_s} << 61 << u"firefox"_s << QString() << QStringList{u"chromium"_s}
            << u"Firefox https://f.example/file desktop"_s;
        QTest::newRow("focused, but its browser just quit")
            << QStringList{u"chromium focused closed https://c.example/"_s} << 0 << u"firefox"_s << QString() << QStringList{u"chromium"_s}
            << u"Firefox https://f.example/file desktop"_s;
        QTest::newRow("focused with its host running, however quiet")
            << QStringList{u"chromium focused https://c.example/"_s} << 61 << u"firefox"_s << QString() << QStringList{u"chromium"_s}
            << u"Chromium https://c.example/ add-on"_s;
        QTest::newRow("a connected browser showing no web page falls through")
            << QStringList{u"chromium focused chrome://newtab/"_s} << 0 << u"chromium"_s << u"firefox"_s << QStringList{u"chromium"_s}
            << u"Firefox https://f.example/file desktop"_s;
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
