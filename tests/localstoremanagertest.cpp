#include "localstoremanager.h"
#include "support/stubserver.h"
#include "support/testdata.h"
#include "thumbnaildownload.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
QString dataAddress(const QByteArray &bytes)
{
    return u"data:image/png;base64,"_s + QString::fromLatin1(bytes.toBase64());
}

// Waits with the event loop running, so a stub server on this thread can answer.
std::optional<QImage> cacheThumbnail(LocalStoreManager &store, qint64 id, const std::optional<QString> &address)
{
    auto future = store.cacheThumbnailAsync(id, address);
    if (!QTest::qWaitFor([&future] { return future.isFinished(); }, 20000))
        qFatal("the thumbnail never finished");
    return future.result();
}
}

Q_DECLARE_METATYPE(StubServer::Response)

class LocalStoreManagerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_directory = std::make_unique<QTemporaryDir>();
        QVERIFY(m_directory->isValid());
        m_base = m_directory->filePath(u"Application Support/Corvane"_s);
        m_store = std::make_unique<LocalStoreManager>(m_base);
    }

    void cleanup() { m_store.reset(); }

    // A null address is none at all. "{server}" stands for a stub server that gives the row's answer.
    void thumbnail_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<StubServer::Response>("answer");
        QTest::addColumn<bool>("stored");

        const QString good = dataAddress(imageBytes(16));
        QString withLineBreak = good;
        withLineBreak.insert(good.indexOf(u',') + 20, u'\n');
        const auto unserved = [](const char *name, const QString &address, bool stored) {
            QTest::newRow(name) << address << StubServer::Response() << stored;
        };
        unserved("inline image", good, true);
        unserved("line break in the Base64", withLineBreak, false);
        unserved("no comma", u"data:image/png;base64"_s, false);
        unserved("HTML instead of an image",
                 u"data:image/png;base64,"_s + QString::fromLatin1("<html><body>nope</body></html>"_ba.toBase64()), false);
        unserved("no address", QString(), false);
        unserved("relative address", u"images/thumb.png"_s, false);
        unserved("local file", QUrl::fromLocalFile(QDir::tempPath()).toString(), false);
        unserved("unreachable server", StubServer::refusingBaseUrl() + u"/thumb.png"_s, false);

        const QByteArray png = imageBytes(16);
        const QByteArray tinyPng = imageBytes(1);
        QVERIFY(png.size() > 100 && tinyPng.size() <= 100);
        const auto served = [](const char *name, const StubServer::Response &answer, bool stored) {
            QTest::newRow(name) << u"{server}/thumb.png"_s << answer << stored;
        };
        auto image = [](int status, const QByteArray &body) { return StubServer::text(status, body, "image/png"); };
        served("image", image(200, png), true);
        served("tiny image", image(200, tinyPng), false);
        served("101 bytes that are no image", image(200, QByteArray(101, 'x')), false);
        // Only 200 counts, not merely a success.
        served("created, image body", image(201, png), false);
        served("beyond the size cap", image(200, png + QByteArray(ThumbnailDownloader::maximumBodySize, '\0')), false);
        // A redirect is followed.
        served("redirect to an image", StubServer::Response{.status = 302, .headers = {{"Location", "/final.png"}}}, true);
    }

    void thumbnail()
    {
        QFETCH(QString, address);
        QFETCH(StubServer::Response, answer);
        QFETCH(bool, stored);
        StubServer server;
        server.on("GET", u"/thumb.png"_s, answer);
        server.on("GET", u"/final.png"_s, StubServer::text(200, imageBytes(16), "image/png"));
        const auto given = address.isNull() ? std::nullopt : std::optional(address.replace(u"{server}"_s, server.baseUrl()));

        const auto image = cacheThumbnail(*m_store, 7, given);
        QCOMPARE(image.has_value(), stored);
        QCOMPARE(readFile(m_base + u"/Thumbnails/thumb_7.png"_s), stored ? imageBytes(16) : QByteArray());
        QCOMPARE(m_store->loadCachedThumbnail(7).has_value(), stored);
        if (stored)
            QCOMPARE(image->size(), QSize(16, 16));
        if (server.requests().isEmpty())
            return;
        const StubServer::Request &request = server.requests().first();
        QCOMPARE(request.header("User-Agent"), "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15"_ba);
        QVERIFY(!request.hasHeader("Authorization"));
        // Stored means never asked again; anything else is asked again next time.
        QCOMPARE(cacheThumbnail(*m_store, 7, given).has_value(), stored);
        QCOMPARE(server.requestsTo(u"/thumb.png"_s).size(), stored ? 1 : 2);
    }

    void clearWhileAThumbnailIsKeptLeavesNothing_data()
    {
        QTest::addColumn<bool>("onDisk");
        QTest::newRow("downloaded image being stored") << false;
        QTest::newRow("file being read into memory") << true;
    }

    // Sign-out clears on the main thread while the download pool may be keeping a thumbnail of
    // the account that is leaving.
    void clearWhileAThumbnailIsKeptLeavesNothing()
    {
        QFETCH(bool, onDisk);
        LocalStoreManager &store = *m_store;
        const QByteArray png = imageBytes(16);
        if (onDisk)
            writeFile(store.thumbnailFile(7), png);

        QSemaphore keeping;
        QSemaphore cleared;
        std::atomic<bool> clearedMeanwhile = false;
        store.setKeepingThumbnailHook([&] {
            keeping.release();
            // The clear may only run before or after keeping a thumbnail, never in the middle.
            clearedMeanwhile = cleared.tryAcquire(1, 200);
        });
        auto future = store.cacheThumbnailAsync(7, onDisk ? std::nullopt : std::optional(dataAddress(png)));
        const auto cleanUp = qScopeGuard([&] {
            cleared.release();
            future.waitForFinished();
            store.setKeepingThumbnailHook({});
        });
        QVERIFY(keeping.tryAcquire(1, 10000));
        store.clearAllThumbnails();
        cleared.release();
        future.waitForFinished();

        QVERIFY(future.result());
        QVERIFY(!QFile::exists(store.thumbnailFile(7)));
        QVERIFY(!store.loadCachedThumbnail(7));
        QVERIFY(!clearedMeanwhile);
    }

private:
    std::unique_ptr<QTemporaryDir> m_directory;
    QString m_base;
    std::unique_ptr<LocalStoreManager> m_store;
};

QTEST_GUILESS_MAIN(LocalStoreManagerTest)
#include "localstoremanagertest.moc"
