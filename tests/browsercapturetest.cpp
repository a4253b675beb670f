#include "browsercapture.h"
#include "backendclient.h"
#include "pagetextextractor.h"
#include "preferences.h"
#include "support/faketabreader.h"
#include "support/fakewindowlist.h"
#include "support/fakeworkspace.h"
#include "support/stubserver.h"

#include <QCoroTask>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
        Q_EMIT setup.workspace.applicationActivated(u"Safari"_s);
        Q_EMIT setup.workspace.applicationActivated(u"gedit"_s);
        QTest::qWait(1200);
        QCOMPARE(setup.tab(), safariTab);
        Q_EMIT setup.workspace.applicationActivated(chrome);
        QTRY_COMPARE(setup.tab(), chromeTab);
        Q_EMIT setup.workspace.applicationActivated(safari);
        QTRY_COMPARE(setup.tab(), safariTab);
    }

    void requestWhileDetectingIsDropped()
    {
        Capture setup(true);
        setup.workspace.processApplicationIds = {{2, chrome}};
        setup.reader->setHeld(true);
        QSignalSpy finished(setup.capture.get(), &BrowserCapture::detectionFinished);
        setup.capture->refreshActiveBrowserTab();
        setup.capture->refreshActiveBrowserTab();
        setup.reader->setHeld(false);
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

    void pausingDropsTheRunningResultAndReadsNoMore()
    {
        Capture setup(false);
        setup.workspace.processApplicationIds = {{2, chrome}};
        setup.reader->answer(chrome, u"https://c.org|||C"_s);
        setup.reader->setHeld(true);
        QSignalSpy finished(setup.capture.get(), &BrowserCapture::detectionFinished);

        setup.capture->setBrowserPermission(true);
        QCOMPARE(setup.tab(), readingTab);
        setup.capture->setBrowserPermission(false);
        QCOMPARE(setup.tab(), pausedTab);
        setup.reader->setHeld(false);
        QVERIFY(finished.wait());
        QCOMPARE(setup.tab(), pausedTab);
        // Paused, nothing reads the browser: not the poll, not the grant's retries.
        setup.capture->refreshActiveBrowserTab();
        QCOMPARE(setup.reader->calls().size(), 1);
    }

    // Pages fetched for a browser that cannot give their text itself; status 0: the server never answers.
    void fetchedPage_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        auto row = [](const char *name, const QByteArray &body, const QString &text, const QByteArray &type = "text/html",
                      int status = 200) { QTest::newRow(name) << status << type << body << text; };
        row("scripts, styles, noscript and svg removed one by one",
            "<p>a</p><SCRIPT type=x>if (a<b) "
            "{}\n</script>b<script>c</script>d<style>p{}</style>e<noscript><p>f</p></noscript>g<svg><text>h</text></svg>i",
            u"a b d e g i"_s);
        row("white space folded and trimmed", "\n\t <div>one</div>\r\n\n<span>two\u00a0\u00a0three</span>  ", u"one two three"_s);
        row("charset in the header", "<b>caf\xe9</b>", u"caf\u00e9"_s, "text/html; charset=ISO-8859-1");
        row("charset in a meta tag", "<meta charset=\"windows-1252\"><b>caf\xe9 \x80</b>", u"caf\u00e9 \u20ac"_s);
        row("undeclared and not UTF-8", "<b>caf\xe9</b>", QString());
        row("only status 200 counts", "<p>not here</p>", QString(), "text/html", 404);
        row("a silent server is given up at the time-out", {}, QString(), {}, 0);
        // What lies beyond the download cap is never read.
        row("a huge body stops at the cap", "<p>head</p>" + QByteArray(PageTextExtractor::maximumDownloadSize + 1024, ' ') + "tail",
            u"head"_s);
        // A thumb with a skin-tone modifier is one character of four UTF-16 units.
        const QString thumb = u"\U0001F44D\U0001F3FD"_s;
        row("the text cap counts characters", thumb.repeated(PageTextExtractor::pageTextLimit + 7).toUtf8(),
            thumb.repeated(PageTextExtractor::pageTextLimit), "text/plain");
    }

    void fetchedPage()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        StubServer server;
        server.on("GET", u"/page"_s, status ? StubServer::text(status, body, contentType) : StubServer::silence());
        PageTextExtractor extractor(std::make_shared<FakeTabReader>(), status ? 6s : 300ms);
        QCOMPARE(QCoro::waitFor(extractor.extractPageText(server.baseUrl() + "/page"_L1, u"Firefox"_s)), text);
        QCOMPARE(server.requests().value(0).header("User-Agent"), QByteArray(PageTextExtractor::userAgent.data()));
    }

    // The browser's own text comes first; without it the page is fetched, but only from the web.
    void browserRoute_data()
    {
        QTest::addColumn<std::optional<QString>>("fromBrowser");
        QTest::addColumn<QString>("url"); // "{server}" stands for the stub server
        QTest::addColumn<QString>("text");
        const QString page = u"{server}/page"_s;
        QTest::newRow("the browser's text") << std::optional(u" Words from Safari \n"_s) << page << u" Words from Safari \n"_s;
        QTest::newRow("blank text falls back to the fetch") << std::optional(u" \n "_s) << page << u"fetched"_s;
        QTest::newRow("no text falls back to the fetch") << std::optional<QString>() << page << u"fetched"_s;
        QTest::newRow("a local file is not fetched") << std::optional<QString>() << u"file:///etc/hostname"_s << QString();
        QTest::newRow("nor what is not a URL") << std::optional<QString>() << u"http://exa mple.com"_s << QString();
    }

    void browserRoute()
    {
        QFETCH(std::optional<QString>, fromBrowser);
        QFETCH(QString, url);
        QFETCH(QString, text);
        auto reader = std::make_shared<FakeTabReader>();
        if (fromBrowser)
            reader->answerPageText(u"Safari"_s, *fromBrowser);
        StubServer server;
        server.on("GET", u"/page"_s, StubServer::text(200, "<p>fetched</p>", "text/html"));
        PageTextExtractor extractor(reader);

        QCOMPARE(QCoro::waitFor(extractor.extractPageText(url.replace(u"{server}"_s, server.baseUrl()), u"Safari"_s)), text);
        QCOMPARE(reader->calls(), QStringList{u"text Safari"_s});
        // The page is fetched only when the browser gave no text.
        QCOMPARE(server.requests().size(), text == "fetched"_L1 ? 1 : 0);
    }
};

QTEST_MAIN(BrowserCaptureTest)
#include "browsercapturetest.moc"
