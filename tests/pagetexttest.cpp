#include "capture/pagetextextractor.h"
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
    void markup_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("text");

        QTest::newRow("scripts, styles, noscript and svg removed one by one")
            << QByteArray("<p>a</p><SCRIPT type=x>if (a<b) {}\n</script>b<script>c</script>d<style>p{}</style>e"
                          "<noscript><p>f</p></noscript>g<svg><text>h</text></svg>i")
            << u"a b d e g i"_s;
        QTest::newRow("only five entities decoded")
            << QByteArray("x&nbsp;y &quot;q&quot; it&#39;s &lt;tag&gt; &amp;lt; &eacute; &#8212;") << u"x y \"q\" it's <tag> &amp;lt; &eacute; &#8212;"_s;
        QTest::newRow("white space folded and trimmed") << QByteArray("\n\t <div>one</div>\r\n\n<span>two\u00a0\u00a0three</span>  ")
                                                        << u"one two three"_s;
    }

    void markup()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, text);
        QCOMPARE(fetchedText(StubServer::text(200, html, "text/html")), text);
        QCOMPARE(m_requests.first().header("User-Agent"), QByteArray(PageTextExtractor::userAgent.data()));
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");

        QTest::newRow("UTF-8") << QByteArray("text/html") << u"<b>caf\u00e9</b>"_s.toUtf8() << u"caf\u00e9"_s;
        QTest::newRow("charset in the header") << QByteArray("text/html; charset=ISO-8859-1") << QByteArray("<b>caf\xe9</b>") << u"caf\u00e9"_s;
        QTest::newRow("charset in a meta tag") << QByteArray("text/html")
                                               << QByteArray("<meta charset=\"windows-1252\"><b>caf\xe9 \x80</b>") << u"caf\u00e9 \u20ac"_s;
        QTest::newRow("undeclared and not UTF-8") << QByteArray("text/html") << QByteArray("<b>caf\xe9</b>") << QString();
    }

    void decoding()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QCOMPARE(fetchedText(StubServer::text(200, body, contentType)), text);
    }

    void onlyStatus200Counts()
    {
        QCOMPARE(fetchedText(StubServer::text(404, "<p>not here</p>", "text/html")), QString());
    }

    void silentServerGivesUpAtTheTimeout()
    {
        QCOMPARE(fetchedText(StubServer::silence(), 300ms), QString());
    }

    // What lies beyond the download cap is never read.
    void hugeBodyStopsAtTheCap()
    {
        const QByteArray body = "<p>head</p>" + QByteArray(PageTextExtractor::maximumDownloadSize + 1024, ' ') + "tail";
        QCOMPARE(fetchedText(StubServer::text(200, body, "text/html")), u"head"_s);
    }

    // A thumb with a skin-tone modifier is one character of four UTF-16 units.
    void capCountsUserPerceivedCharacters()
    {
        const QString thumb = u"\U0001F44D\U0001F3FD"_s;
        const QString text = fetchedText(StubServer::text(200, thumb.repeated(PageTextExtractor::pageTextLimit + 7).toUtf8(), "text/plain"));
        QCOMPARE(text.size(), PageTextExtractor::pageTextLimit * thumb.size());
        QVERIFY(text.endsWith(thumb));
    }

    void scriptRoute_data()
    {
        QTest::addColumn<QString>("browserName");
        QTest::addColumn<QString>("scriptedApp"); // whose page-text fixture answers
        QTest::addColumn<QByteArray>("scripted");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("fetches");

        QTest::newRow("Safari answers") << u"Safari"_s << u"Safari"_s << QByteArray("  Words from Safari \n") << u"Words from Safari"_s
                                        << QStringList{u"Safari text"_s} << 0;
        QTest::newRow("Technology Preview is read through Safari") << u"Safari Technology Preview"_s << u"Safari"_s << QByteArray("Preview text")
                                                                   << u"Preview text"_s << QStringList{u"Safari text"_s} << 0;
        QTest::newRow("blank answer falls back to the fetch") << u"Google Chrome"_s << u"Google Chrome"_s << QByteArray(" \n ")
                                                              << u"fetched"_s << QStringList{u"Google Chrome text"_s} << 1;
        QTest::newRow("Chromium without a script family fetches") << u"Chromium"_s << u"Chromium"_s << QByteArray("never asked")
                                                                  << u"fetched"_s << QStringList() << 1;
        QTest::newRow("Firefox fetches") << u"Firefox"_s << u"Firefox"_s << QByteArray("never asked") << u"fetched"_s << QStringList() << 1;
    }

    void scriptRoute()
    {
        QFETCH(QString, browserName);
        QFETCH(QString, scriptedApp);
        QFETCH(QByteArray, scripted);
        QFETCH(QString, text);
        QFETCH(QStringList, calls);
        QFETCH(int, fetches);
        FakeOsascript osascript;
        osascript.answer(scriptedApp, scripted, FakeOsascript::Script::Text);
        StubServer server;
        server.on("GET", u"/page"_s, StubServer::text(200, "<p>fetched</p>", "text/html"));
        PageTextExtractor extractor(FakeOsascript::reader());

        QCOMPARE(QCoro::waitFor(extractor.extractPageText(server.baseUrl() + "/page"_L1, browserName)), text);
        QCOMPARE(osascript.calls(), calls);
        QCOMPARE(server.requests().size(), fetches);
    }

    void addressesThatAreNotFetched_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("empty") << QString();
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
