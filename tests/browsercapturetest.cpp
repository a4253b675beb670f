#include "browsercapture.h"
#include "backendclient.h"
#include "preferences.h"
#include "support/faketabreader.h"
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
const QString chrome = u"chrome"_s;
const QString safari = u"safari"_s;

// A capture subsystem over fakes, with browser access stored as allowed or not.
struct Capture {
    explicit Capture(bool allowed)
    {
        preferences->setBool(Preferences::kBrowserPermission, allowed);
        auto fakeReader = std::make_unique<FakeTabReader>();
        reader = fakeReader.get();
        capture = std::make_unique<BrowserCapture>(workspace, windowList, std::move(fakeReader), *preferences, backend);
    }

    [[nodiscard]] QStringList tab() const
    {
        const ActiveBrowserTab &tab = capture->activeTab();
        return {tab.title, tab.url, tab.browserName};
    }

    QTemporaryDir directory;
    FakeWorkspace workspace;
    FakeWindowList windowList;
    std::unique_ptr<Preferences> preferences
        = std::make_unique<Preferences>(std::make_unique<QSettings>(directory.filePath(u"preferences.ini"_s), QSettings::IniFormat));
    BackendClient backend{u"https://portal.test"_s, 1s};
    FakeTabReader *reader = nullptr;
    std::unique_ptr<BrowserCapture> capture;
};

const QStringList initialTab{u"Current Tab"_s, QString(), u"Google Chrome"_s};
const QStringList readingTab{u"Reading active browser tab..."_s, QString(), u"Browser"_s};
const QStringList pausedTab{u"Allow Open Browser Access"_s, QString(), u"Privacy"_s};
const QStringList chromeTab{u"C"_s, u"https://c.org"_s, u"Google Chrome"_s};
}

class BrowserCaptureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The topmost visible browser seeds the tracker and only a supported browser's activation
    // moves it.
    void startSeedsTheTrackerAndActivationsMoveIt()
    {
        const QStringList safariTab{u"S"_s, u"https://s.org"_s, u"Safari"_s};
        Capture setup(true);
        setup.workspace.processApplicationIds = {{1, u"gedit"_s}, {2, chrome}, {3, safari}};
        setup.workspace.frontmostApplication = u"gedit"_s;
        setup.windowList.windows = {FakeWindowList::window(1), FakeWindowList::window(3)};
        setup.reader->answer(chrome, u"https://c.org|||C"_s);
        setup.reader->answer(safari, u"https://s.org|||S"_s);
        setup.capture->start();
        QTRY_COMPARE(setup.tab(), safariTab);
        setup.windowList.windows->clear();
        for (const QString &other : {u"Safari"_s, u"gedit"_s}) {
            Q_EMIT setup.workspace.applicationActivated(other);
            QTest::qWait(1200);
            QCOMPARE(setup.tab(), safariTab);
        }
        Q_EMIT setup.workspace.applicationActivated(chrome);
        QTRY_COMPARE(setup.tab(), chromeTab);
        Q_EMIT setup.workspace.applicationActivated(safari);
        QTRY_COMPARE(setup.tab(), safariTab);
    }

    void requestWhileDetectingIsDropped()
    {
        Capture setup(true);
        setup.workspace.processApplicationIds = {{2, chrome}};
        setup.reader->hold();
        QSignalSpy finished(setup.capture.get(), &BrowserCapture::detectionFinished);
        setup.capture->refreshActiveBrowserTab();
        setup.capture->refreshActiveBrowserTab();
        setup.reader->release();
        QVERIFY(finished.wait());
        QVERIFY(!finished.wait(300));
        QCOMPARE(setup.reader->calls().size(), 1);
        // Idle again: the next request runs, and may be done before the call returns.
        setup.capture->refreshActiveBrowserTab();
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(setup.reader->calls().size(), 2);
    }

    void noAnswerKeepsTheTabAndTheNextTickDetects()
    {
        Capture setup(true);
        setup.workspace.processApplicationIds = {{2, chrome}};
        setup.workspace.frontmostApplication = chrome;
        QSignalSpy finished(setup.capture.get(), &BrowserCapture::detectionFinished);
        QSignalSpy changed(setup.capture.get(), &BrowserCapture::activeTabChanged);
        setup.capture->start();
        QTRY_VERIFY(!finished.isEmpty());
        QCOMPARE(setup.tab(), initialTab);
        QCOMPARE(changed.count(), 0);

        setup.reader->answer(chrome, u"https://c.org|||C"_s);
        QTRY_COMPARE_WITH_TIMEOUT(setup.tab(), chromeTab, 2500);
    }

    // Without start() there is no polling: every read comes from the grant and its retries.
    void pausingDropsTheRunningResultAndTheRemainingRetries()
    {
        Capture setup(false);
        setup.workspace.processApplicationIds = {{2, chrome}};
        setup.reader->answer(chrome, u"https://c.org|||C"_s);
        setup.reader->hold();
        QSignalSpy finished(setup.capture.get(), &BrowserCapture::detectionFinished);

        setup.capture->setBrowserPermission(true);
        QCOMPARE(setup.tab(), readingTab);
        setup.capture->setBrowserPermission(false);
        QCOMPARE(setup.tab(), pausedTab);
        setup.reader->release();
        QVERIFY(finished.wait());
        QTest::qWait(7000);
        QCOMPARE(setup.tab(), pausedTab);
        QCOMPARE(setup.reader->calls().size(), 1);
        QCOMPARE(setup.preferences->boolValue(Preferences::kBrowserPermission), false);
    }

    void grantRetriesOnScheduleAndKeepsThePlaceholderWhenNothingAnswers()
    {
        Capture setup(false);
        setup.workspace.processApplicationIds = {{2, chrome}};
        QElapsedTimer sinceGrant;
        sinceGrant.start();
        setup.capture->setBrowserPermission(true);
        QVERIFY(setup.capture->hasBrowserPermission());
        QCOMPARE(setup.preferences->boolValue(Preferences::kBrowserPermission), true);

        // Detections at once and about 0.4, 1.4, 3.4 and 6.9 seconds after the grant.
        static constexpr std::array<std::pair<qint64, qsizetype>, 4> checkpoints{{{1000, 2}, {2400, 3}, {5000, 4}, {7800, 5}}};
        for (const auto &[at, calls] : checkpoints) {
            QTest::qWait(int(at - sinceGrant.elapsed()));
            QCOMPARE(setup.reader->calls().size(), calls);
        }
        QCOMPARE(setup.tab(), readingTab);
    }
};

QTEST_MAIN(BrowserCaptureTest)
#include "browsercapturetest.moc"
