#include "iconfetcher.h"
#include "rawhttpclient.h"
#include "serverprocess.h"
#include "support/testdata.h"
#include "testsite.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
using Pages = QList<QPair<QString, TestSite::Page>>;

TestSite::Page html(const QByteArray &head)
{
    return StubServer::text(200, "<!DOCTYPE html><html><head>" + head + "</head><body>hi</body></html>", "text/html");
}
}

Q_DECLARE_METATYPE(Pages)

namespace
{
// Kept out of the test class: moc does not need to read the literals.
void addSiteRows()
{
    const QByteArray red = imageBytes(64, Qt::red);
    const QByteArray blue = imageBytes(32, Qt::blue, "ICO");
    const QString favicon = u"/favicon.ico"_s;
    // An invalid colour: no icon, a 404.
    auto row = [](const char *name, const Pages &pages, QColor colour = {}) { QTest::newRow(name) << pages << colour; };
    auto image = [](const QByteArray &bytes, const QByteArray &type = "image/png") { return StubServer::text(200, bytes, type); };
    auto redirect = [](const QByteArray &location, int status = 302) { return TestSite::redirect(location, status); };
    row("favicon.ico when the page links none", {{u"/"_s, html("<title>x</title>")}, {favicon, image(blue, "image/x-icon")}}, Qt::blue);
    row("a linked icon before favicon.ico",
        {{u"/"_s, html(R"(<link rel="stylesheet" href="/a.css"><link href='/img/i.png?v=1&amp;x=2' rel="shortcut icon" sizes="64x64">)")},
         {u"/img/i.png?v=1&x=2"_s, image(red)},
         {favicon, image(blue)}},
        Qt::red);
    row("apple-touch-icon before a small icon",
        {{u"/"_s, html(R"(<link rel=icon href=/small.png sizes=16x16><LINK REL="apple-touch-icon" HREF="/touch.png">)")},
         {u"/small.png"_s, image(imageBytes(16, Qt::green))},
         {u"/touch.png"_s, image(red)}},
        Qt::red);
    row("a linked icon that fails falls back", {{u"/"_s, html(R"(<link rel="icon" href="/gone.png">)")}, {favicon, image(blue)}}, Qt::blue);
    row("redirects are followed",
        {{u"/"_s, redirect("/home", 301)}, {u"/home"_s, html(R"(<link rel="icon" href="i.png">)")}, {u"/i.png"_s, image(red)}}, Qt::red);
    row("no icon anywhere", {{u"/"_s, html("")}});
    row("an image that is not an image", {{favicon, image("<html>this is not an icon</html>", "image/x-icon")}});
    row("an SVG is not decoded",
        {{favicon, image(R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16"/>)", "image/svg+xml")}});
    row("an endless body is cut off",
        {{favicon,
          {.status = 200, .body = "icon", .headers = {{"Content-Type", "image/x-icon"}}, .delivery = StubServer::Delivery::Endless}}});
    row("more than three redirects",
        {{favicon, redirect("/1")},
         {u"/1"_s, redirect("/2")},
         {u"/2"_s, redirect("/3")},
         {u"/3"_s, redirect("/4")},
         {u"/4"_s, image(red)}});
    // Linux connects 0.0.0.0 to this very machine, so only the check keeps the icon away.
    row("a redirect to the unspecified address", {{favicon, redirect("http://0.0.0.0:{port}/real.ico")}, {u"/real.ico"_s, image(red)}});
}
}

// GET /api/icon against small sites served by the test itself.
class ServerIconTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<RawHttpClient> m_client;
    std::unique_ptr<TestSite> m_largeIconSite;

    HttpAnswer icon(RawHttpClient &client, const QString &domain, const QString &size = {})
    {
        return client.request("GET",
                              u"/api/icon?domain=%1%2"_s.arg(QString::fromLatin1(QUrl::toPercentEncoding(domain)),
                                                             size.isEmpty() ? QString() : u"&sz="_s + size));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = std::make_unique<ServerProcess>(QStringList{u"--allow-private-icon-hosts"_s});
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        m_client = std::make_unique<RawHttpClient>(m_server->baseUrl());
        m_largeIconSite = std::make_unique<TestSite>();
        m_largeIconSite->setPage(u"/favicon.ico"_s, StubServer::text(200, imageBytes(300, Qt::red), "image/png"));
    }

    void findsTheSitesIcon_data()
    {
        QTest::addColumn<Pages>("pages");
        QTest::addColumn<QColor>("colour");

        addSiteRows();
    }

    void findsTheSitesIcon()
    {
        QFETCH(Pages, pages);
        QFETCH(QColor, colour);
        const int status = colour.isValid() ? 200 : 404;

        TestSite site;
        const QString domain = u"localhost:%1"_s.arg(site.port());
        for (auto [path, page] : pages) {
            for (auto &[name, value] : page.headers)
                value.replace("{port}", QByteArray::number(site.port()));
            site.setPage(path, page);
        }
        QElapsedTimer timer;
        timer.start();
        const HttpAnswer answer = icon(*m_client, domain);
        QCOMPARE(answer.status, status);
        // Well inside the time limit: the size limit, not the clock, ends an endless body.
        QVERIFY(timer.elapsed() < 4000);
        // The fetcher connects to the address it checked, but names the site as asked.
        QCOMPARE(site.lastHost(), domain.toLatin1());
        if (status != 200) {
            QVERIFY(!answer.error().isEmpty());
            QCOMPARE(site.hits(u"/real.ico"_s), 0);
            QCOMPARE(site.hits(u"/4"_s), 0);
            return;
        }
        QCOMPARE(answer.header("content-type"), "image/png");
        const QImage image = QImage::fromData(answer.body, "PNG");
        QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), colour);
    }

    void answerSize_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("side");

        QTest::newRow("default") << QString() << 128;
        QTest::newRow("smaller") << u"16"_s << 16;
        QTest::newRow("capped") << u"1000"_s << 256;
    }

    void answerSize()
    {
        QFETCH(QString, size);
        QFETCH(int, side);

        const HttpAnswer answer = icon(*m_client, u"127.0.0.1:%1"_s.arg(m_largeIconSite->port()), size);
        QCOMPARE(answer.status, 200);
        QCOMPARE(QImage::fromData(answer.body, "PNG").size(), QSize(side, side));
        // Later sizes come from the cache.
        QCOMPARE(m_largeIconSite->hits(u"/favicon.ico"_s), 1);
    }

    void answersComeFromTheCache()
    {
        auto site = std::make_unique<TestSite>();
        const QString found = u"localhost:%1"_s.arg(site->port());
        site->setPage(u"/favicon.ico"_s, StubServer::text(200, imageBytes(32, Qt::red), "image/png"));
        auto other = std::make_unique<TestSite>();
        const QString missing = u"localhost:%1"_s.arg(other->port());
        QCOMPARE(icon(*m_client, found).status, 200);
        QCOMPARE(icon(*m_client, missing).status, 404);
        // The site gaining an icon later does not show before the "not found" answer expires.
        other->setPage(u"/favicon.ico"_s, StubServer::text(200, imageBytes(32, Qt::red), "image/png"));
        site.reset();
        other.reset();
        const HttpAnswer again = icon(*m_client, found.toUpper());
        QCOMPARE(again.status, 200);
        QCOMPARE(QImage::fromData(again.body, "PNG").size(), QSize(32, 32));
        QCOMPARE(icon(*m_client, missing).status, 404);
    }

    void fetchesPerClientAreLimited()
    {
        ServerProcess server({u"--allow-private-icon-hosts"_s, u"--icon-fetches-per-minute"_s, u"2"_s});
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        RawHttpClient client(server.baseUrl());
        TestSite site;
        site.setPage(u"/favicon.ico"_s, StubServer::text(200, imageBytes(32, Qt::red), "image/png"));
        QCOMPARE(icon(client, u"localhost:%1"_s.arg(site.port())).status, 200);
        QCOMPARE(icon(client, u"127.0.0.1:%1"_s.arg(site.port())).status, 200);
        const HttpAnswer refused = icon(client, u"127.0.0.2:%1"_s.arg(site.port()));
        QCOMPARE(refused.status, 429);
        QVERIFY(refused.header("retry-after").toInt() > 0);
        QVERIFY(!refused.error().isEmpty());
        // Cached answers cost nothing.
        QCOMPARE(icon(client, u"localhost:%1"_s.arg(site.port())).status, 200);
    }

    void addressPolicy_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<bool>("allowedWithFlag");

        QTest::newRow("public IPv4") << u"93.184.216.34"_s << true << true;
        QTest::newRow("public IPv6") << u"2606:2800:220:1:248:1893:25c8:1946"_s << true << true;
        QTest::newRow("loopback") << u"127.0.0.53"_s << false << true;
        QTest::newRow("10/8") << u"10.20.30.40"_s << false << true;
        QTest::newRow("172.16/12") << u"172.31.255.1"_s << false << true;
        QTest::newRow("next to 172.16/12") << u"172.32.0.1"_s << true << true;
        QTest::newRow("carrier-grade NAT") << u"100.64.0.1"_s << false << true;
        QTest::newRow("link-local") << u"169.254.169.254"_s << false << true;
        QTest::newRow("unique-local IPv6") << u"fd00::1"_s << false << true;
        QTest::newRow("link-local IPv6") << u"fe80::1"_s << false << true;
        QTest::newRow("IPv4-mapped private") << u"::ffff:10.0.0.1"_s << false << true;
        QTest::newRow("unspecified") << u"0.0.0.0"_s << false << false;
        QTest::newRow("unspecified IPv6") << u"::"_s << false << false;
        QTest::newRow("multicast") << u"224.0.0.1"_s << false << false;
        QTest::newRow("IPv6 multicast") << u"ff02::1"_s << false << false;
    }

    void addressPolicy()
    {
        QFETCH(QString, address);
        QFETCH(bool, allowed);
        QFETCH(bool, allowedWithFlag);

        QCOMPARE(IconFetcher::isAllowedAddress(QHostAddress(address), false), allowed);
        QCOMPARE(IconFetcher::isAllowedAddress(QHostAddress(address), true), allowedWithFlag);
    }
};

QTEST_GUILESS_MAIN(ServerIconTest)
#include "servericontest.moc"
