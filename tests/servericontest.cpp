#include "iconfetcher.h"
#include "rawhttpclient.h"
#include "serverprocess.h"
#include "support/testdata.h"
#include "testsite.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QTcpServer>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

using Pages = QList<QPair<QString, TestSite::Page>>;
Q_DECLARE_METATYPE(Pages)

namespace
{
using Sockets = std::vector<std::unique_ptr<QTcpSocket>>;

TestSite::Page html(const QByteArray &head)
{
    return StubServer::text(200, "<!DOCTYPE html><html><head>" + head + "</head><body>hi</body></html>", "text/html");
}

// Icon requests sent at once, each on a connection of its own and on the server's desk on return.
void sendIconRequests(const QUrl &server, const QStringList &domains, Sockets &sockets)
{
    for (const QString &domain : domains) {
        auto &socket = sockets.emplace_back(std::make_unique<QTcpSocket>());
        socket->connectToHost(server.host(), quint16(server.port()));
        socket->write("GET /api/icon?domain=" + QUrl::toPercentEncoding(domain) + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        QVERIFY(socket->waitForConnected() && socket->waitForBytesWritten());
    }
}

// Kept out of the test class: moc does not need to read the literals.
void addSiteRows()
{
    const QByteArray red = imageBytes(64, Qt::red);
    const QByteArray blue = imageBytes(32, Qt::blue, "ICO");
    const QString favicon = u"/favicon.ico"_s;
    // Compressed, so that it passes the size limit: only its header gives it away.
    QImage huge(4096, 4096, QImage::Format_RGB32);
    huge.fill(Qt::red);
    QByteArray hugePng;
    QBuffer buffer(&hugePng);
    buffer.open(QIODevice::WriteOnly);
    huge.save(&buffer, "PNG");
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
    row("an image too large by its header", {{favicon, image(hugePng)}});
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
    std::unique_ptr<ApiClient> m_client;
    QString m_token;

    // Saving a website at domain makes its icon fetchable, and starts fetching it.
    static void save(ApiClient &client, const QString &token, const QString &domain)
    {
        QCOMPARE(client.add(token, u"http://%1/page"_s.arg(domain), u"Page"_s).status, 201);
    }

    static HttpAnswer icon(RawHttpClient &client, const QString &domain, const QString &size = {})
    {
        return client.request("GET",
                              u"/api/icon?domain=%1%2"_s.arg(QString::fromLatin1(QUrl::toPercentEncoding(domain)),
                                                             size.isEmpty() ? QString() : u"&sz="_s + size));
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Every test here fetches; the per-client budget has its own test.
        m_server = std::make_unique<ServerProcess>(QStringList{u"--allow-private-icon-hosts"_s, u"--icon-fetches-per-minute"_s, u"1000"_s});
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        m_client = std::make_unique<ApiClient>(m_server->baseUrl());
        m_token = m_client->registerAccount(u"icons@example.com"_s);
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
        save(*m_client, m_token, domain);
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

    // Only saved sites are fetched, at once; later answers, "not found" and every size too, come
    // from the cache.
    void onlySavedSitesAreFetched()
    {
        auto site = std::make_unique<TestSite>();
        site->setPage(u"/favicon.ico"_s, StubServer::text(200, imageBytes(300, Qt::red), "image/png"));
        const QString found = u"localhost:%1"_s.arg(site->port());
        auto other = std::make_unique<TestSite>();
        const QString missing = u"localhost:%1"_s.arg(other->port());
        QCOMPARE(icon(*m_client, found).status, 404);
        QCOMPARE(site->hits(u"/"_s) + site->hits(u"/favicon.ico"_s), 0);
        save(*m_client, m_token, found);
        QTRY_COMPARE(site->hits(u"/favicon.ico"_s), 1);
        save(*m_client, m_token, missing);
        QCOMPARE(icon(*m_client, missing).status, 404);
        // The site gaining an icon later does not show before the "not found" answer expires.
        other->setPage(u"/favicon.ico"_s, StubServer::text(200, imageBytes(32, Qt::red), "image/png"));
        site.reset();
        other.reset();
        const std::pair<QString, int> sizes[] = {{QString(), 128}, {u"16"_s, 16}, {u"1000"_s, 256}};
        for (const auto &[size, side] : sizes) {
            const HttpAnswer again = icon(*m_client, found.toUpper(), size);
            QCOMPARE(again.status, 200);
            QCOMPARE(QImage::fromData(again.body, "PNG").size(), QSize(side, side));
        }
        QCOMPARE(icon(*m_client, missing).status, 404);
    }

    void fetchesAreLimited_data()
    {
        QTest::addColumn<QString>("perClient");
        QTest::addColumn<QString>("ceiling");

        QTest::newRow("per client") << u"2"_s << u"100"_s;
        QTest::newRow("all clients together") << u"100"_s << u"2"_s;
    }

    void fetchesAreLimited()
    {
        QFETCH(QString, perClient);
        QFETCH(QString, ceiling);

        ServerProcess server(
            {u"--allow-private-icon-hosts"_s, u"--icon-fetches-per-minute"_s, perClient, u"--icon-fetch-ceiling"_s, ceiling});
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ApiClient client(server.baseUrl());
        const QString token = client.registerAccount(u"limits@example.com"_s);
        TestSite site;
        site.setPage(u"/favicon.ico"_s, StubServer::text(200, imageBytes(32, Qt::red), "image/png"));
        // Each save fetches while the budget lasts, one at a time here, so that the first two take
        // it; the third site is left for its request.
        QStringList domains;
        for (const char *host : {"localhost", "127.0.0.1", "127.0.0.2"}) {
            domains.append(u"%1:%2"_s.arg(QLatin1StringView(host)).arg(site.port()));
            save(client, token, domains.last());
            QTRY_COMPARE(site.hits(u"/favicon.ico"_s), qMin(int(domains.size()), 2));
        }
        QCOMPARE(icon(client, domains.at(0)).status, 200);
        QCOMPARE(icon(client, domains.at(1)).status, 200);
        const HttpAnswer refused = icon(client, domains.at(2));
        QCOMPARE(refused.status, 429);
        QVERIFY(refused.header("retry-after").toInt() > 0);
        // Cached answers cost nothing.
        QCOMPARE(icon(client, domains.at(0)).status, 200);
    }

    // A fetch slot freed while several requests wait once crashed the server.
    void unansweringSitesNeitherCrashNorMultiply()
    {
        QTcpServer sharedSite;
        QTcpServer silentSite;
        sharedSite.setMaxPendingConnections(1000);
        QVERIFY(sharedSite.listen(QHostAddress::AnyIPv4));
        QVERIFY(silentSite.listen(QHostAddress::AnyIPv4));
        const QString shared = u"127.0.0.1:%1"_s.arg(sharedSite.serverPort());
        save(*m_client, m_token, shared);
        Sockets requests;
        sendIconRequests(m_server->baseUrl(), QStringList(8, shared), requests);
        // More sites than fetch slots, so that requests queue for them.
        QStringList silent;
        for (int host = 1; host <= 6; ++host) {
            silent.append(u"127.0.0.%1:%2"_s.arg(host).arg(silentSite.serverPort()));
            save(*m_client, m_token, silent.last());
        }
        sendIconRequests(m_server->baseUrl(), silent, requests);
        QTRY_VERIFY_WITH_TIMEOUT(
            std::ranges::all_of(requests, [](const auto &socket) { return socket->state() == QAbstractSocket::UnconnectedState; }), 60000);
        for (const auto &socket : requests) {
            const QByteArray status = socket->readAll().mid(9, 3);
            QVERIFY2(status == "404" || status == "503", status.constData());
        }
        QCOMPARE(m_client->request("GET", u"/api/version"_s).status, 200);
        // One fetch for all requests of the shared site: https, then http.
        int connections = 0;
        while (sharedSite.hasPendingConnections())
            connections += sharedSite.nextPendingConnection() != nullptr;
        QCOMPARE(connections, 2);
    }

    void addressPolicy_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<bool>("allowedWithFlag");

        QTest::newRow("public IPv4") << u"93.184.216.34"_s << true << true;
        QTest::newRow("public IPv6") << u"2606:2800:220:1:248:1893:25c8:1946"_s << true << true;
        QTest::newRow("loopback") << u"127.0.0.53"_s << false << true;
        QTest::newRow("172.16/12") << u"172.31.255.1"_s << false << true;
        QTest::newRow("next to 172.16/12") << u"172.32.0.1"_s << true << true;
        QTest::newRow("carrier-grade NAT") << u"100.64.0.1"_s << false << true;
        QTest::newRow("link-local") << u"169.254.169.254"_s << false << true;
        QTest::newRow("unique-local IPv6") << u"fd00::1"_s << false << true;
        QTest::newRow("IPv4-mapped private") << u"::ffff:10.0.0.1"_s << false << true;
        QTest::newRow("unspecified") << u"0.0.0.0"_s << false << false;
        QTest::newRow("unspecified IPv6") << u"::"_s << false << false;
        QTest::newRow("multicast") << u"224.0.0.1"_s << false << false;
        QTest::newRow("this machine's own address") << u"93.184.216.35"_s << false << true;
        QTest::newRow("IPv4-compatible IPv6") << u"::127.0.0.1"_s << false << true;
        QTest::newRow("NAT64") << u"64:ff9b::a00:1"_s << false << true;
        QTest::newRow("6to4") << u"2002:a00:1::1"_s << false << true;
        QTest::newRow("Teredo") << u"2001:0:4136:e378::1"_s << false << true;
        QTest::newRow("benchmarking") << u"198.19.0.1"_s << false << true;
        QTest::newRow("reserved IPv4") << u"240.1.2.3"_s << false << true;
    }

    void addressPolicy()
    {
        QFETCH(QString, address);
        QFETCH(bool, allowed);
        QFETCH(bool, allowedWithFlag);

        const QList<QHostAddress> ownAddresses = {QHostAddress(u"93.184.216.35"_s), QHostAddress::LocalHost};
        QCOMPARE(IconFetcher::isAllowedAddress(QHostAddress(address), false, ownAddresses), allowed);
        QCOMPARE(IconFetcher::isAllowedAddress(QHostAddress(address), true, ownAddresses), allowedWithFlag);
    }
};

QTEST_GUILESS_MAIN(ServerIconTest)
#include "servericontest.moc"
