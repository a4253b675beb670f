#include "browserdetection.h"
#include "osascripttabreader.h"
#include "support/fakeosascript.h"
#include "support/fakewindowlist.h"
#include "support/fakeworkspace.h"
#include "tabsaverequest.h"

#include <QTest>

using namespace Qt::StringLiterals;

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

        auto row
            = [](const char *name, const QStringList &running, const QString &frontmost, const QString &tracked, const QString &topmost,
                 const QStringList &expected) { QTest::newRow(name) << running << frontmost << tracked << topmost << expected; };
        row("frontmost, then last activated, then topmost", {firefox, safari, chrome, arc}, firefox, safari, chrome,
            {firefox, safari, chrome, arc});
        row("last activated and topmost together lose to frontmost", {safari, chrome}, chrome, safari, safari, {chrome, safari});
        row("an editor in front", {arc, firefox, chrome, safari}, u"com.apple.TextEdit"_s, safari, chrome, {safari, chrome, arc, firefox});
        row("ties keep table order", {firefox, arc, safari, chrome}, {}, {}, {}, {chrome, safari, arc, firefox});
        row("identifiers compare case-sensitively", {u"com.google.chrome"_s}, u"com.google.chrome"_s, {}, {}, {});
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

        auto row = [](const char *name, const char *chrome, const char *safari, const QByteArray &firefox, const QStringList &tab,
                      int asked) { QTest::newRow(name) << QByteArray(chrome) << QByteArray(safari) << firefox << tab << asked; };
        const char *page = "https://s.org/a|||Page S";
        const QStringList safariPage{u"Page S"_s, u"https://s.org/a"_s, u"Safari"_s};
        row("new tab, then a later web page", "chrome://newtab/|||New Tab", page, {}, safariPage, 2);
        row("only internal pages: the first fallback", "chrome://newtab/|||", "favorites://|||Favourites", "about:home|||Home",
            {u"New Tab"_s, QString(), u"Google Chrome"_s}, 3);
        row("invalid UTF-8 is no answer", "https://c.org|||\xff\xfe", page, {}, safariPage, 2);
        row("bare host gets https", "", "", " example.org/path ||| Ex ", {u"Ex"_s, u"https://example.org/path"_s, u"Firefox"_s}, 3);
        row("internal address without a dot stays", "chrome://settings|||Settings", page, {},
            {u"Settings"_s, u"chrome://settings"_s, u"Google Chrome"_s}, 1);
        row("em-dash Firefox suffix removed, nothing else", "", "",
            u"https://f.org|||Firefox \u2014 tips \u2014 Mozilla Firefox"_s.toUtf8(),
            {u"Firefox \u2014 tips"_s, u"https://f.org"_s, u"Firefox"_s}, 3);
        row("hyphen Firefox suffix removed", "", "", "https://f.org|||Docs - Mozilla Firefox|||x",
            {u"Docs"_s, u"https://f.org"_s, u"Firefox"_s}, 3);
        row("empty title is the address", "", "https://s.org|||", {}, {u"https://s.org"_s, u"https://s.org"_s, u"Safari"_s}, 2);
        row("nobody answers", "", "\n", {}, {}, 3);
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

    // What saving a detected (or typed) tab sends.
    void saveRequest_data()
    {
        QTest::addColumn<QString>("tabUrl");
        QTest::addColumn<QString>("tabTitle");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected"); // url, title, screenshotUrl; empty when nothing is saved

        const QString tab = u"https://news.site.org/a"_s;
        const QString icon = u"https://api.test/api/icon?domain=%1&sz=128"_s;
        auto row = [](const char *name, const QString &url, const QString &title, const QString &typed, const QStringList &expected) {
            QTest::newRow(name) << url << title << typed << expected;
        };
        row("detected tab", u" https://www.site.org/a \n"_s, u" Site "_s, {},
            {u"https://www.site.org/a"_s, u"Site"_s, icon.arg("www.site.org")});
        row("typed host wins", tab, u"News"_s, u"  example.com/x "_s,
            {u"https://example.com/x"_s, u"example.com"_s, icon.arg("example.com")});
        row("blank typed text saves the tab", tab, u"News"_s, u"   "_s, {tab, u"News"_s, icon.arg("news.site.org")});
        row("empty title is the address", tab, {}, {}, {tab, tab, icon.arg("news.site.org")});
        row("no host, no icon", u"about:reader"_s, u"Reader"_s, {}, {u"about:reader"_s, u"Reader"_s, QString()});
        row("placeholder tab saves nothing", {}, u"Reading active browser tab..."_s, {}, {});
    }

    void saveRequest()
    {
        QFETCH(QString, tabUrl);
        QFETCH(QString, tabTitle);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        const ActiveBrowserTab tab{.title = tabTitle, .url = tabUrl, .browserName = u"Safari"_s};
        const auto request = TabSaveRequest::build(tab, typed, TabSaveRequest::faviconServiceBase(u"https://api.test/api"_s));
        QCOMPARE(request.has_value(), !expected.isEmpty());
        if (request)
            QCOMPARE((QStringList{request->url, request->title, request->screenshotUrl}), expected);
    }
};

QTEST_GUILESS_MAIN(BrowserDetectionTest)
#include "browserdetectiontest.moc"
