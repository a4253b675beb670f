#include "browsercapture.h"
#include "backendclient.h"
#include "browsertracker.h"
#include "preferences.h"
#include "support/fakeosascript.h"
#include "support/fakewindowlist.h"
#include "support/fakeworkspace.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <array>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
const QString chrome = u"com.google.Chrome"_s;
const QString safari = u"com.apple.Safari"_s;

// A capture subsystem over fakes, with browser access stored as allowed or not.
struct Capture {
    explicit Capture(bool allowed, std::chrono::milliseconds scriptTimeout = ScriptRunner::defaultTimeout)
    {
        preferences->setBool(Preferences::kBrowserPermission, allowed);
        capture = std::make_unique<BrowserCapture>(workspace, windowList, FakeOsascript::reader(scriptTimeout), *preferences, backend);
    }

    [[nodiscard]] QStringList tab() const
    {
        const ActiveBrowserTab &tab = capture->activeTab();
        return {tab.title, tab.url, tab.browserName};
    }

    QTemporaryDir directory;
    FakeOsascript osascript;
    FakeWorkspace workspace;
    FakeWindowList windowList;
    std::unique_ptr<Preferences> preferences
        = std::make_unique<Preferences>(std::make_unique<QSettings>(directory.filePath(u"preferences.ini"_s), QSettings::IniFormat));
    BackendClient backend{u"https://portal.test"_s, 1s};
    std::unique_ptr<BrowserCapture> capture;
};

const QStringList initialTab{u"Current Tab"_s, QString(), u"Google Chrome"_s};
const QStringList readingTab{u"Reading active browser tab..."_s, QString(), u"Browser"_s};
const QStringList pausedTab{u"Allow Open Browser Access"_s, QString(), u"Privacy"_s};
}

class BrowserCaptureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // First, while the process-wide tracker is still empty.
    void startSeedsTheTrackerAndActivationsMoveIt()
    {
        Capture setup(true);
        setup.workspace.processBundleIds = {{1, u"com.apple.TextEdit"_s}, {2, chrome}, {3, safari}};
        setup.workspace.frontmostBundleId = u"com.apple.TextEdit"_s;
        setup.windowList.windows = {FakeWindowList::window(1), FakeWindowList::window(3)};
        setup.osascript.answer(u"Google Chrome"_s, "https://c.org|||C");
        setup.osascript.answer(u"Safari"_s, "https://s.org|||S");

        setup.capture->start();
        QCOMPARE(BrowserTracker::shared().lastActiveBrowserBundleId(), safari);
        QTRY_COMPARE(setup.tab(), (QStringList{u"S"_s, u"https://s.org"_s, u"Safari"_s}));

        Q_EMIT setup.workspace.applicationActivated(u"com.google.chrome"_s);
        Q_EMIT setup.workspace.applicationActivated(u"com.apple.TextEdit"_s);
        QCOMPARE(BrowserTracker::shared().lastActiveBrowserBundleId(), safari);
        Q_EMIT setup.workspace.applicationActivated(chrome);
        QCOMPARE(BrowserTracker::shared().lastActiveBrowserBundleId(), chrome);
        QTRY_COMPARE(setup.tab(), (QStringList{u"C"_s, u"https://c.org"_s, u"Google Chrome"_s}));
    }

    void requestWhileDetectingIsDropped()
    {
        Capture setup(true);
        setup.workspace.processBundleIds = {{2, chrome}};
        setup.osascript.delay(u"Google Chrome"_s, 0.5);
        QSignalSpy finished(setup.capture.get(), &BrowserCapture::detectionFinished);
        setup.capture->refreshActiveBrowserTab();
        setup.capture->refreshActiveBrowserTab();
        QVERIFY(finished.wait());
        QVERIFY(!finished.wait(1000));
        QCOMPARE(setup.osascript.calls().size(), 1);
        // Idle again: the next request runs.
        setup.capture->refreshActiveBrowserTab();
        QVERIFY(finished.wait());
        QCOMPARE(setup.osascript.calls().size(), 2);
    }

    void hungScriptTimesOutAndTheNextTickDetects()
    {
        Capture setup(true, 1s);
        setup.workspace.processBundleIds = {{2, chrome}};
        setup.workspace.frontmostBundleId = chrome;
        setup.osascript.hang(u"Google Chrome"_s);
        QSignalSpy finished(setup.capture.get(), &BrowserCapture::detectionFinished);
        QSignalSpy changed(setup.capture.get(), &BrowserCapture::activeTabChanged);
        setup.capture->start();
        QVERIFY(finished.wait(4000));
        // No answer leaves the tab as it was.
        QCOMPARE(setup.tab(), initialTab);
        QCOMPARE(changed.count(), 0);

        setup.osascript.hang(u"Google Chrome"_s, false);
        setup.osascript.answer(u"Google Chrome"_s, "https://c.org|||C");
        QTRY_COMPARE_WITH_TIMEOUT(setup.tab(), (QStringList{u"C"_s, u"https://c.org"_s, u"Google Chrome"_s}), 4000);
    }

    // Without start() there is no polling: every script run comes from the grant and its retries.
    void pausingDropsTheRunningResultAndTheRemainingRetries()
    {
        Capture setup(false);
        setup.workspace.processBundleIds = {{2, chrome}};
        setup.osascript.answer(u"Google Chrome"_s, "https://c.org|||C");
        setup.osascript.delay(u"Google Chrome"_s, 0.5);
        QSignalSpy finished(setup.capture.get(), &BrowserCapture::detectionFinished);

        setup.capture->setBrowserPermission(true);
        QCOMPARE(setup.tab(), readingTab);
        QTest::qWait(200);
        setup.capture->setBrowserPermission(false);
        QCOMPARE(setup.tab(), pausedTab);
        QVERIFY(finished.wait());
        QTest::qWait(7000);
        QCOMPARE(setup.tab(), pausedTab);
        QCOMPARE(setup.osascript.calls().size(), 1);
        QCOMPARE(setup.preferences->boolValue(Preferences::kBrowserPermission), false);
    }

    void grantRetriesOnScheduleAndKeepsThePlaceholderWhenNothingAnswers()
    {
        Capture setup(false);
        setup.workspace.processBundleIds = {{2, chrome}};
        QElapsedTimer sinceGrant;
        sinceGrant.start();
        setup.capture->setBrowserPermission(true);
        QVERIFY(setup.capture->hasBrowserPermission());
        QCOMPARE(setup.preferences->boolValue(Preferences::kBrowserPermission), true);

        // Detections at once and about 0.4, 1.4, 3.4 and 6.9 seconds after the grant.
        static constexpr std::array<std::pair<qint64, qsizetype>, 4> checkpoints{{{1000, 2}, {2400, 3}, {5000, 4}, {7800, 5}}};
        for (const auto &[at, calls] : checkpoints) {
            QTest::qWait(int(at - sinceGrant.elapsed()));
            QCOMPARE(setup.osascript.calls().size(), calls);
        }
        QCOMPARE(setup.tab(), readingTab);
    }
};

QTEST_MAIN(BrowserCaptureTest)
#include "browsercapturetest.moc"
