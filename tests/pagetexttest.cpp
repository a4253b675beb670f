#include "pagetextextractor.h"
#include "support/faketabreader.h"
#include "support/stubserver.h"

#include <QCoroTask>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class PageTextTest : public QObject
{
    Q_OBJECT

private:
    // The text of a page served by the stub server, for a browser that cannot give it itself.
    QString fetchedText(const StubServer::Response &response, std::chrono::milliseconds timeout = 6s)
    {
        StubServer server;
        server.on("GET", u"/page"_s, response);
        PageTextExtractor extractor(std::make_shared<FakeTabReader>(), timeout);
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

QTEST_GUILESS_MAIN(PageTextTest)
#include "pagetexttest.moc"
