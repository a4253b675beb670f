#include "capture/browserdetection.h"
#include "capture/osascripttabreader.h"
#include "support/fakeosascript.h"
#include "support/fakewindowlist.h"
#include "support/fakeworkspace.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
const QString chrome = u"com.google.Chrome"_s;
const QString safari = u"com.apple.Safari"_s;
const QString arc = u"company.thebrowser.Browser"_s;
const QString firefox = u"org.mozilla.firefox"_s;

std::optional<QString> present(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

QStringList order(const QList<DetectionCandidate> &candidates)
{
    QStringList ids;
    for (const DetectionCandidate &candidate : candidates)
        ids.append(QString(candidate.browser->bundleId));
    return ids;
}
}

class BrowserDetectionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ranking_data()
    {
        QTest::addColumn<QStringList>("running");
        QTest::addColumn<QString>("frontmost");
        QTest::addColumn<QString>("tracked");
        QTest::addColumn<QString>("topmost");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("frontmost, then last activated, then topmost")
            << QStringList{firefox, safari, chrome, arc} << firefox << safari << chrome << QStringList{firefox, safari, chrome, arc};
        QTest::newRow("last activated and topmost together lose to frontmost")
            << QStringList{safari, chrome} << chrome << safari << safari << QStringList{chrome, safari};
        QTest::newRow("an editor in front") << QStringList{arc, firefox, chrome, safari} << u"com.apple.TextEdit"_s << safari
                                            << chrome << QStringList{safari, chrome, arc, firefox};
        QTest::newRow("ties keep table order") << QStringList{firefox, arc, safari, chrome} << QString() << QString() << QString()
                                               << QStringList{chrome, safari, arc, firefox};
        QTest::newRow("identifiers compare case-sensitively")
            << QStringList{u"com.google.chrome"_s} << u"com.google.chrome"_s << QString() << QString() << QStringList();
    }

    void ranking()
    {
        QFETCH(QStringList, running);
        QFETCH(QString, frontmost);
        QFETCH(QString, tracked);
        QFETCH(QString, topmost);
        QFETCH(QStringList, expected);
        const BrowserSituation situation{running, present(frontmost), present(tracked), present(topmost)};
        QCOMPARE(order(BrowserDetection::rankCandidates(situation)), expected);
    }

    // Chrome, Safari and Firefox run with equal rank, so they are asked in that order.
    void answers_data()
    {
        QTest::addColumn<QByteArray>("chromeAnswer");
        QTest::addColumn<QByteArray>("safariAnswer");
        QTest::addColumn<QByteArray>("firefoxAnswer");
        QTest::addColumn<QStringList>("expected"); // title, url, browser; empty for no tab
        QTest::addColumn<int>("asked");

        const QByteArray page = "https://s.org/a|||Page S";
        const QStringList safariPage{u"Page S"_s, u"https://s.org/a"_s, u"Safari"_s};
        QTest::newRow("first web page wins") << QByteArray("https://c.org/x|||Page C\n") << page << QByteArray()
                                             << QStringList{u"Page C"_s, u"https://c.org/x"_s, u"Google Chrome"_s} << 1;
        QTest::newRow("new tab, then a later web page") << QByteArray("chrome://newtab/|||New Tab") << page << QByteArray() << safariPage << 2;
        QTest::newRow("only internal pages: the first fallback")
            << QByteArray("chrome://newtab/|||") << QByteArray("favorites://|||Favourites") << QByteArray("about:home|||Home")
            << QStringList{u"New Tab"_s, QString(), u"Google Chrome"_s} << 3;
        QTest::newRow("no separator is no answer") << QByteArray("https://c.org Page C") << page << QByteArray() << safariPage << 2;
        QTest::newRow("invalid UTF-8 is no answer") << QByteArray("https://c.org|||\xff\xfe") << page << QByteArray() << safariPage << 2;
        QTest::newRow("bare host gets https") << QByteArray() << QByteArray() << QByteArray(" example.org/path ||| Ex ")
                                              << QStringList{u"Ex"_s, u"https://example.org/path"_s, u"Firefox"_s} << 3;
        QTest::newRow("internal address without a dot stays") << QByteArray("chrome://settings|||Settings") << page << QByteArray()
                                                               << QStringList{u"Settings"_s, u"chrome://settings"_s, u"Google Chrome"_s} << 1;
        QTest::newRow("em-dash Firefox suffix removed, nothing else")
            << QByteArray() << QByteArray() << u"https://f.org|||Firefox \u2014 tips \u2014 Mozilla Firefox"_s.toUtf8()
            << QStringList{u"Firefox \u2014 tips"_s, u"https://f.org"_s, u"Firefox"_s} << 3;
        QTest::newRow("hyphen Firefox suffix removed") << QByteArray() << QByteArray() << QByteArray("https://f.org|||Docs - Mozilla Firefox|||x")
                                                       << QStringList{u"Docs"_s, u"https://f.org"_s, u"Firefox"_s} << 3;
        QTest::newRow("empty title is the address") << QByteArray() << QByteArray("https://s.org|||") << QByteArray()
                                                    << QStringList{u"https://s.org"_s, u"https://s.org"_s, u"Safari"_s} << 2;
        QTest::newRow("nobody answers") << QByteArray() << QByteArray("\n") << QByteArray() << QStringList() << 3;
    }

    void answers()
    {
        QFETCH(QByteArray, chromeAnswer);
        QFETCH(QByteArray, safariAnswer);
        QFETCH(QByteArray, firefoxAnswer);
        QFETCH(QStringList, expected);
        QFETCH(int, asked);
        FakeOsascript osascript;
        osascript.answer(u"Google Chrome"_s, chromeAnswer);
        osascript.answer(u"Safari"_s, safariAnswer);
        osascript.answer(u"Firefox"_s, firefoxAnswer);
        const auto reader = FakeOsascript::reader();

        const DetectionRecord record = BrowserDetection::detect({.runningBundleIds = {firefox, safari, chrome}}, *reader);
        QCOMPARE(record.result.has_value(), !expected.isEmpty());
        if (record.result)
            QCOMPARE((QStringList{record.result->title, record.result->url, record.result->browserName}), expected);
        // Asking stops at the first web page.
        QCOMPARE(osascript.calls().size(), asked);
    }

    void hungScriptTimesOutAndTheNextBrowserAnswers()
    {
        FakeOsascript osascript;
        osascript.hang(u"Google Chrome"_s);
        osascript.answer(u"Safari"_s, "https://s.org|||S");
        const auto reader = FakeOsascript::reader(1s);

        QElapsedTimer elapsed;
        elapsed.start();
        const DetectionRecord record = BrowserDetection::detect({.runningBundleIds = {chrome, safari}}, *reader);
        QVERIFY(elapsed.elapsed() < 4000);
        QCOMPARE(record.result->url, u"https://s.org"_s);
        QCOMPARE(record.candidates.first().readerReport.value("outcome"_L1).toString(),
                 ScriptRunner::describe(ScriptRunner::Outcome::TimedOut));
    }

    void topmostVisibleBrowser_data()
    {
        QTest::addColumn<QVariantList>("windows"); // front to back
        QTest::addColumn<QString>("expected");

        using W = FakeWindowList;
        QTest::newRow("narrow window skipped") << QVariantList{W::window(2, 150, 600), W::window(3)} << safari;
        QTest::newRow("other layer skipped") << QVariantList{W::window(2, 800, 600, 25), W::window(3)} << safari;
        QTest::newRow("process id as text skipped") << QVariantList{W::window(u"2"_s), W::window(3)} << safari;
        QTest::newRow("process id beyond 32 bits skipped") << QVariantList{W::window(qint64(1) << 33), W::window(3)} << safari;
        QTest::newRow("other applications skipped") << QVariantList{W::window(1), W::window(9), W::window(2)} << chrome;
        QTest::newRow("no browser window") << QVariantList{W::window(1)} << QString();
    }

    void topmostVisibleBrowser()
    {
        QFETCH(QVariantList, windows);
        QFETCH(QString, expected);
        FakeWorkspace workspace;
        workspace.processBundleIds = {{1, u"com.apple.TextEdit"_s}, {2, chrome}, {3, safari}, {qint64(1) << 33, chrome}};
        FakeWindowList windowList;
        windowList.windows->clear();
        for (const QVariant &window : windows)
            windowList.windows->append(window.toMap());
        QCOMPARE(BrowserSituation::findTopmostVisibleBrowser(workspace, windowList).value_or(QString()), expected);

        windowList.windows.reset();
        QCOMPARE(BrowserSituation::findTopmostVisibleBrowser(workspace, windowList), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(BrowserDetectionTest)
#include "browserdetectiontest.moc"
