#include "browserdetection.h"
#include "scriptanswer.h"
#include "support/faketabreader.h"
#include "support/fakewindowlist.h"
#include "support/fakeworkspace.h"
#include "tabsaverequest.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
const QString chrome = u"chrome"_s;
const QString safari = u"safari"_s;
const QString arc = u"arc"_s;
const QString firefox = u"firefox"_s;

std::optional<QString> present(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

QStringList order(const QList<DetectionCandidate> &candidates)
{
    QStringList ids;
    for (const DetectionCandidate &candidate : candidates)
        ids.append(QString(candidate.browser->id));
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
        row("an editor in front", {arc, firefox, chrome, safari}, u"gedit"_s, safari, chrome, {safari, chrome, arc, firefox});
        row("ties keep table order", {firefox, arc, safari, chrome}, {}, {}, {}, {chrome, safari, arc, firefox});
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
        QTest::addColumn<QString>("chromeAnswer"); // empty for no answer
        QTest::addColumn<QString>("safariAnswer");
        QTest::addColumn<QString>("firefoxAnswer");
        QTest::addColumn<QStringList>("expected"); // title, url, browser; empty for no tab
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("addressPending"); // the browser whose reader has no address yet

        auto row
            = [](const char *name, const QString &chrome, const QString &safari, const QString &firefox, const QStringList &tab, int asked,
                 const QString &pending = {}) { QTest::newRow(name) << chrome << safari << firefox << tab << asked << pending; };
        const QString page = u"https://s.org/a|||Page S"_s;
        const QStringList safariPage{u"Page S"_s, u"https://s.org/a"_s, u"Safari"_s};
        row("new tab, then a later web page", u"chrome://newtab/|||New Tab"_s, page, {}, safariPage, 2);
        row("only internal pages: the first fallback", u"chrome://newtab/|||"_s, u"favorites://|||Favourites"_s, u"about:home|||Home"_s,
            {u"New Tab"_s, QString(), u"Google Chrome"_s}, 3);
        row("bare host gets https", {}, {}, u" example.org/path ||| Ex "_s, {u"Ex"_s, u"https://example.org/path"_s, u"Firefox"_s}, 3);
        row("internal address without a dot stays", u"chrome://settings|||Settings"_s, page, {},
            {u"Settings"_s, u"chrome://settings"_s, u"Google Chrome"_s}, 1);
        row("empty title is the address", {}, u"https://s.org|||"_s, {}, {u"https://s.org"_s, u"https://s.org"_s, u"Safari"_s}, 2);
        row("nobody answers", {}, {}, {}, {}, 3);
        row("new tab, then a pending address: no later page instead", u"chrome://newtab/|||New Tab"_s, u"|||Page S"_s,
            u"https://f.org|||F"_s, {u"Page S"_s, QString(), u"Safari"_s}, 2, safari);
    }

    void answers()
    {
        QFETCH(QString, chromeAnswer);
        QFETCH(QString, safariAnswer);
        QFETCH(QString, firefoxAnswer);
        QFETCH(QStringList, expected);
        QFETCH(int, asked);
        QFETCH(QString, addressPending);
        FakeTabReader reader;
        for (const auto &[id, answer] : {std::pair(chrome, chromeAnswer), {safari, safariAnswer}, {firefox, firefoxAnswer}})
            reader.answer(id, present(answer), id == addressPending);

        const DetectionRecord record = BrowserDetection::detect({.runningApplicationIds = {firefox, safari, chrome}}, reader);
        QCOMPARE(record.result.has_value(), !expected.isEmpty());
        if (record.result) {
            QCOMPARE((QStringList{record.result->title, record.result->url, record.result->browserName}), expected);
            QCOMPARE(record.result->isAddressPending, !addressPending.isEmpty());
        }
        // Asking stops at the first web page.
        QCOMPARE(reader.calls(), QStringList({chrome, safari, firefox}).first(asked));
    }

    // What osascript printed, as every tab reader built on it judges it.
    void scriptAnswer_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<bool>("tab");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("answer");

        auto row = [](const char *name, const QByteArray &output, bool tab, const char *outcome, const QString &answer = {}) {
            QTest::newRow(name) << output << tab << QString::fromLatin1(outcome) << answer;
        };
        row("tab answer trimmed", " https://c.org|||C \n", true, "answered", u"https://c.org|||C"_s);
        row("tab answer without separator", "https://c.org only", true, "the answer held no \"|||\" separator");
        row("blank", " \n\t", false, "the answer was empty");
        row("invalid UTF-8", "https://c.org|||\xff\xfe", true, "the answer was not valid UTF-8");
        row("at the size limit", QByteArray(ScriptAnswer::maximumOutputSize - 3, ' ') + "|||", true, "answered", u"|||"_s);
        row("beyond the size limit", QByteArray(ScriptAnswer::maximumOutputSize - 2, ' ') + "|||", true,
            "the answer was too long and was not read");
    }

    void scriptAnswer()
    {
        QFETCH(QByteArray, output);
        QFETCH(bool, tab);
        QFETCH(QString, outcome);
        QFETCH(QString, answer);
        const ScriptAnswer read = ScriptAnswer::fromOutput(output, tab ? ScriptAnswer::Script::Tab : ScriptAnswer::Script::PageText);
        QCOMPARE(ScriptAnswer::describe(read.outcome), outcome);
        QCOMPARE(read.answer.value_or(QString()), answer);
    }

    void topmostVisibleBrowser_data()
    {
        QTest::addColumn<QVariantList>("windows"); // front to back
        QTest::addColumn<QString>("expected");

        using W = FakeWindowList;
        QTest::newRow("narrow window skipped") << QVariantList{W::window(2, 150, 600), W::window(3)} << safari;
        QTest::newRow("process id beyond 32 bits skipped") << QVariantList{W::window(qint64(1) << 33), W::window(3)} << safari;
        QTest::newRow("other applications skipped") << QVariantList{W::window(1), W::window(9), W::window(2)} << chrome;
        QTest::newRow("no browser window") << QVariantList{W::window(1)} << QString();
    }

    void topmostVisibleBrowser()
    {
        QFETCH(QVariantList, windows);
        QFETCH(QString, expected);
        FakeWorkspace workspace;
        workspace.processApplicationIds = {{1, u"gedit"_s}, {2, chrome}, {3, safari}, {qint64(1) << 33, chrome}};
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
        row("blank typed text saves the tab", tab, u"News"_s, u"   "_s, {tab, u"News"_s, icon.arg("news.site.org")});
        row("empty title is the address", tab, {}, {}, {tab, tab, icon.arg("news.site.org")});
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
