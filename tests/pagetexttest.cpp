#include "pagetextextractor.h"
#include "support/fakeosascript.h"
#include "support/stubserver.h"

#include <QCoroTask>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class PageTextTest : public QObject
{
    Q_OBJECT

private:
    // The text of a page served by the stub server, as a Firefox tab (no script route) sees it.
    QString fetchedText(const StubServer::Response &response, std::chrono::milliseconds timeout = 6s)
    {
        StubServer server;
        server.on("GET", u"/page"_s, response);
        PageTextExtractor extractor(FakeOsascript::reader(), timeout);
        const QString text = QCoro::waitFor(extractor.extractPageText(server.baseUrl() + "/page"_L1, u"Firefox"_s));
        m_requests = server.requests();
        return text;
    }

    QList<StubServer::Request> m_requests;

private Q_SLOTS:
    // Status 0: the server never answers.
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
        row("only five entities decoded", "x&nbsp;y &quot;q&quot; it&#39;s &lt;tag&gt; &amp;lt; &eacute; &#8212;",
            u"x y \"q\" it's <tag> &amp;lt; &eacute; &#8212;"_s);
        row("white space folded and trimmed", "\n\t <div>one</div>\r\n\n<span>two\u00a0\u00a0three</span>  ", u"one two three"_s);
        row("UTF-8", u"<b>caf\u00e9</b>"_s.toUtf8(), u"caf\u00e9"_s);
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
        QCOMPARE(fetchedText(status ? StubServer::text(status, body, contentType) : StubServer::silence(), status ? 6s : 300ms), text);
        QCOMPARE(m_requests.value(0).header("User-Agent"), QByteArray(PageTextExtractor::userAgent.data()));
    }

    void scriptRoute_data()
    {
        QTest::addColumn<QString>("browserName");
        QTest::addColumn<QString>("scriptedApp"); // whose page-text fixture answers
        QTest::addColumn<QByteArray>("scripted");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("calls");

        auto row = [](const char *name, const QString &browser, const QString &scriptedApp, const QByteArray &scripted, const QString &text,
                      const QStringList &calls) { QTest::newRow(name) << browser << scriptedApp << scripted << text << calls; };
        row("Safari answers", u"Safari"_s, u"Safari"_s, "  Words from Safari \n", u"Words from Safari"_s, {u"Safari text"_s});
        row("Technology Preview is read through Safari", u"Safari Technology Preview"_s, u"Safari"_s, "Preview text", u"Preview text"_s,
            {u"Safari text"_s});
        row("blank answer falls back to the fetch", u"Google Chrome"_s, u"Google Chrome"_s, " \n ", u"fetched"_s,
            {u"Google Chrome text"_s});
        row("Chromium without a script family fetches", u"Chromium"_s, u"Chromium"_s, "never asked", u"fetched"_s, {});
    }

    void scriptRoute()
    {
        QFETCH(QString, browserName);
        QFETCH(QString, scriptedApp);
        QFETCH(QByteArray, scripted);
        QFETCH(QString, text);
        QFETCH(QStringList, calls);
        FakeOsascript osascript;
        osascript.answer(scriptedApp, scripted, FakeOsascript::Script::Text);
        StubServer server;
        server.on("GET", u"/page"_s, StubServer::text(200, "<p>fetched</p>", "text/html"));
        PageTextExtractor extractor(FakeOsascript::reader());

        QCOMPARE(QCoro::waitFor(extractor.extractPageText(server.baseUrl() + "/page"_L1, browserName)), text);
        QCOMPARE(osascript.calls(), calls);
        // The page is fetched only when no script gave its text.
        QCOMPARE(server.requests().size(), text == "fetched"_L1 ? 1 : 0);
    }

    void addressesThatAreNotFetched_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("local file") << u"file:///etc/hostname"_s;
        QTest::newRow("not a URL") << u"http://exa mple.com"_s;
    }

    void addressesThatAreNotFetched()
    {
        QFETCH(QString, url);
        PageTextExtractor extractor(FakeOsascript::reader());
        QCOMPARE(QCoro::waitFor(extractor.extractPageText(url, u"Firefox"_s)), QString());
    }
};

QTEST_GUILESS_MAIN(PageTextTest)
#include "pagetexttest.moc"
