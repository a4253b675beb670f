#include "support/stubserver.h"
#include "support/testenvironment.h"

#include "library/librarycopieswriter.h"
#include "library/libraryorder.h"
#include "library/localstoremanager.h"

#include <QBuffer>
#include <QCoroTask>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace
{
const User kUser{.id = 42, .email = u"ada@example.org"_s};

QByteArray compact(const QList<SavedWebsite> &websites)
{
    return QJsonDocument(SavedWebsite::listToJson(websites)).toJson(QJsonDocument::Compact);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray pngBytes()
{
    // Noise, so it does not compress below the size a thumbnail must have.
    QImage image(16, 16, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, random.generate());
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QList<qint64> idsOf(const QList<SavedWebsite> &websites)
{
    QList<qint64> ids;
    for (const SavedWebsite &website : websites)
        ids.append(website.id);
    return ids;
}

// Websites out of library order, so seeding has something to sort.
QList<SavedWebsite> websitesFrom(qint64 firstId, int count)
{
    QList<SavedWebsite> websites;
    for (int offset = 0; offset < count; ++offset) {
        const qint64 id = firstId + offset;
        websites.append({.id = id, .url = u"https://site%1.test/"_s.arg(id), .title = u"Site %1"_s.arg(id),
                         .createdAt = u"2024-01-%1"_s.arg(10 + offset)});
    }
    return websites;
}

// Three websites; in library order they are 3, 2, 1.
const QList<SavedWebsite> kLibrary{
    {.id = 1, .url = u"https://one.test/"_s, .title = u"One"_s, .content = u"First page"_s, .createdAt = u"2024-01-01T00:00:00Z"_s},
    {.id = 2, .url = u"https://two.test/"_s, .title = u"Two"_s, .createdAt = u"2024-02-01T00:00:00Z"_s},
    {.id = 3, .url = u"https://three.test/"_s, .title = u"Three"_s, .createdAt = u"2024-03-01T00:00:00Z"_s},
};

StubServer::Response websitesAnswer(const QList<SavedWebsite> &websites)
{
    return StubServer::json(200, WebsitesResponse{websites}.toJson());
}

StubServer::Response websiteAnswer(const SavedWebsite &website)
{
    return StubServer::json(200, SingleWebsiteResponse{website}.toJson());
}

// A model over a stored token but no restored session, so that no fetch starts by itself, whose
// library came from one awaited fetch of websites.
std::unique_ptr<AppViewModel> fetchedModel(TestEnvironment &environment, StubServer &server, const QList<SavedWebsite> &websites)
{
    environment.preferences()->setText(Preferences::kJWTToken, u"token-1"_s);
    auto model = environment.makeViewModel(server.baseUrl());
    server.queue("GET", u"/api/websites"_s, websitesAnswer(websites));
    QCoro::waitFor(model->fetchWebsites());
    model->flushLibraryWrites();
    return model;
}

// Removes both local copies, so that a test sees whether they are written again.
void removeLocalCopies(TestEnvironment &environment)
{
    QFile::remove(LocalStoreManager::shared().websitesCacheFile());
    environment.preferences()->remove(Preferences::kSavedWebsites);
}

bool localCopiesHold(TestEnvironment &environment, const QList<SavedWebsite> &websites)
{
    return readFile(LocalStoreManager::shared().websitesCacheFile()) == LocalStoreManager::encodeWebsitesCache(websites)
        && environment.preferences()->data(Preferences::kSavedWebsites) == std::optional(compact(websites));
}

QJsonObject requestBody(const StubServer::Request &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

// A signed-in session with the given local copies (absent when empty), then a model over it.
std::unique_ptr<AppViewModel> restore(TestEnvironment &environment, const QByteArray &cacheFile, const QByteArray &preferencesCopy,
                                      const QString &portalUrl = StubServer::refusingBaseUrl())
{
    {
        const auto preferences = environment.preferences();
        preferences->setText(Preferences::kJWTToken, u"token-1"_s);
        preferences->setData(Preferences::kCurrentUser, QJsonDocument(kUser.toJson()).toJson());
        if (!preferencesCopy.isEmpty())
            preferences->setData(Preferences::kSavedWebsites, preferencesCopy);
    }
    if (!cacheFile.isEmpty()) {
        LocalStoreManager::shared().setBaseDirectory(environment.localStoreDirectory());
        writeFile(LocalStoreManager::shared().websitesCacheFile(), cacheFile);
    }
    return environment.makeViewModel(portalUrl);
}
}

Q_DECLARE_METATYPE(StubServer::Response)

class LibraryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void seeding_data()
    {
        QTest::addColumn<QByteArray>("cacheFile");
        QTest::addColumn<QByteArray>("preferencesCopy");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::addColumn<bool>("cacheFileRewritten");

        const QByteArray fromFile = LocalStoreManager::encodeWebsitesCache(websitesFrom(1, 3));
        const QByteArray fromPreferences = compact(websitesFrom(11, 2));
        QTest::newRow("cache file wins") << fromFile << fromPreferences << QList<qint64>{3, 2, 1} << false;
        QTest::newRow("empty cache file list falls back") << "[]"_ba << fromPreferences << QList<qint64>{12, 11} << true;
        QTest::newRow("corrupt cache file falls back") << "[{\"id\":"_ba << fromPreferences << QList<qint64>{12, 11} << true;
        QTest::newRow("cache file holds an object") << "{\"websites\":[]}"_ba << fromPreferences << QList<qint64>{12, 11} << true;
        QTest::newRow("no cache file") << QByteArray() << fromPreferences << QList<qint64>{12, 11} << true;
        QTest::newRow("neither copy") << QByteArray() << QByteArray() << QList<qint64>{} << false;
        QTest::newRow("corrupt preferences copy") << "[]"_ba << "[1,2"_ba << QList<qint64>{} << false;
    }

    void seeding()
    {
        QFETCH(QByteArray, cacheFile);
        QFETCH(QByteArray, preferencesCopy);
        QFETCH(QList<qint64>, ids);
        QFETCH(bool, cacheFileRewritten);

        TestEnvironment environment;
        const auto model = restore(environment, cacheFile, preferencesCopy);
        QVERIFY(model->isAuthenticated());
        QCOMPARE(idsOf(model->websites()), ids);

        model->flushLibraryWrites();
        const QByteArray stored = readFile(LocalStoreManager::shared().websitesCacheFile());
        if (cacheFileRewritten)
            QCOMPARE(stored, LocalStoreManager::encodeWebsitesCache(model->websites()));
        else
            QCOMPARE(stored, cacheFile);
        // Seeding never rewrites the preferences copy.
        QCOMPARE(environment.preferences()->data(Preferences::kSavedWebsites).value_or(QByteArray()), preferencesCopy);
    }

    void signOutRemovesEveryLocalCopy()
    {
        TestEnvironment environment;
        const auto model = restore(environment, QByteArray(), compact(websitesFrom(1, 3)));
        auto &store = LocalStoreManager::shared();
        writeFile(store.thumbnailFile(1), "thumbnail");
        // The cache file written from the preferences copy may still be on its way to disk.
        model->logout();
        model->flushLibraryWrites();

        QVERIFY(model->websites().isEmpty());
        QVERIFY(!QFile::exists(store.websitesCacheFile()));
        QVERIFY(!QFile::exists(store.thumbnailFile(1)));
        QVERIFY(QFileInfo(store.thumbnailsDirectory()).isDir());
        QVERIFY(!environment.preferences()->contains(Preferences::kSavedWebsites));
    }

    void writerStoresTheNewestListExactly()
    {
        TestEnvironment environment;
        LocalStoreManager::shared().setBaseDirectory(environment.localStoreDirectory());
        const auto preferences = environment.preferences();
        LibraryCopiesWriter writer(preferences->location());

        const QList<SavedWebsite> older = websitesFrom(1, 40);
        const QList<SavedWebsite> newer = websitesFrom(100, 2);
        for (int round = 0; round < 5; ++round) {
            writer.writeCacheFile(older);
            writer.writePreferencesCopy(older);
        }
        writer.writeCacheFile(newer);
        writer.writePreferencesCopy(newer);
        writer.flush();
        QCOMPARE(readFile(LocalStoreManager::shared().websitesCacheFile()), LocalStoreManager::encodeWebsitesCache(newer));
        // The other handle on the store sees the background write at once.
        QCOMPARE(preferences->data(Preferences::kSavedWebsites), std::optional(compact(newer)));

        writer.writeCacheFile(older);
        writer.writePreferencesCopy(older);
        writer.discardPending();
        writer.flush();
        QCOMPARE(readFile(LocalStoreManager::shared().websitesCacheFile()), LocalStoreManager::encodeWebsitesCache(newer));
        QCOMPARE(preferences->data(Preferences::kSavedWebsites), std::optional(compact(newer)));

        // The two copies are written independently: the file may move on without the preferences.
        writer.writeCacheFile(older);
        writer.flush();
        QCOMPARE(readFile(LocalStoreManager::shared().websitesCacheFile()), LocalStoreManager::encodeWebsitesCache(older));
        QCOMPARE(preferences->data(Preferences::kSavedWebsites), std::optional(compact(newer)));
    }

    void writerOpensTheSameStoreOnItsOwn_data()
    {
        QTest::addColumn<bool>("byName");
        QTest::newRow("settings file") << false;
        QTest::newRow("organisation and application") << true;
    }

    // The writer's thread gets only where the store is, never the handle of the main thread.
    void writerOpensTheSameStoreOnItsOwn()
    {
        QFETCH(bool, byName);
        TestEnvironment environment;
        LocalStoreManager::shared().setBaseDirectory(environment.localStoreDirectory());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, environment.path(u"config"_s));
        auto openMain = [&] {
            return byName ? std::make_unique<Preferences>(std::make_unique<QSettings>(u"CorvaneTest"_s, u"Library"_s))
                          : environment.preferences();
        };
        auto preferences = openMain();
        const Preferences::Location location = preferences->location();
        QVERIFY(location.fileName.startsWith(environment.path({})));
        LibraryCopiesWriter writer(location);

        writer.writePreferencesCopy(kLibrary);
        writer.flush();
        QCOMPARE(preferences->data(Preferences::kSavedWebsites), std::optional(compact(kLibrary)));

        // The main handle may be gone before the writer is.
        preferences.reset();
        writer.writePreferencesCopy(websitesFrom(7, 1));
        writer.flush();
        QCOMPARE(openMain()->data(Preferences::kSavedWebsites), std::optional(compact(websitesFrom(7, 1))));
    }

    void filter_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<qint64>>("ids");

        QTest::newRow("empty") << QString() << QList<qint64>{4, 3, 2, 1};
        QTest::newRow("spaces and line breaks only") << u"  \n\t "_s << QList<qint64>{4, 3, 2, 1};
        QTest::newRow("mixed case with spaces around") << u"  KoTLiN \n"_s << QList<qint64>{3, 1};
        QTest::newRow("title only") << u"notes"_s << QList<qint64>{2};
        QTest::newRow("missing content is only missed") << u"gradle"_s << QList<qint64>{};
        QTest::newRow("inner spaces are kept") << u"kotlin notes"_s << QList<qint64>{};
        QTest::newRow("the address is searched whole") << u"blog.test/k"_s << QList<qint64>{3};
        QTest::newRow("createdAt is not searched") << u"2024"_s << QList<qint64>{};
        QTest::newRow("thumbnail address is not searched") << u"thumbs"_s << QList<qint64>{};
        QTest::newRow("no match") << u"zebra"_s << QList<qint64>{};
    }

    void filter()
    {
        QFETCH(QString, query);
        QFETCH(QList<qint64>, ids);

        const QList<SavedWebsite> websites{
            {.id = 1, .url = u"https://lang.test"_s, .title = u"Languages"_s, .content = u"Why KOTLIN?"_s, .createdAt = u"2024-01-01"_s},
            {.id = 2, .url = u"https://n.test"_s, .title = u"My Notes"_s, .screenshotUrl = u"https://thumbs.test/2.png"_s,
             .createdAt = u"2024-01-02"_s},
            {.id = 3, .url = u"https://blog.test/kotlin"_s, .title = u"Blog"_s, .createdAt = u"2024-01-03"_s},
            {.id = 4, .url = u"https://x.test"_s, .title = u"Build"_s, .content = std::nullopt, .createdAt = u"2024-01-04"_s},
        };
        TestEnvironment environment;
        const auto model = restore(environment, QByteArray(), compact(websites));
        QSignalSpy changed(model.get(), &AppViewModel::filteredWebsitesChanged);
        model->setSearchQuery(query);
        QCOMPARE(idsOf(model->filteredWebsites()), ids);
        QCOMPARE(changed.size(), query.isEmpty() ? 0 : 1);
        QCOMPARE(model->visibleLimit(), 5);
    }

    void showMore()
    {
        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        QSignalSpy changed(model.get(), &AppViewModel::visibleLimitChanged);
        QList<int> limits;
        for (int press = 0; press < 4; ++press) {
            model->showMoreWebsites();
            limits.append(model->visibleLimit());
        }
        QCOMPARE(limits, (QList<int>{10, 20, 30, 40}));
        QCOMPARE(changed.size(), 4);
        // Neither a new search nor a sign-out lowers it again.
        model->setSearchQuery(u"x"_s);
        model->logout();
        QCOMPARE(model->visibleLimit(), 40);
    }

    void fetchRewritesOnlyWhenTheAnswerDiffers_data()
    {
        QTest::addColumn<QList<SavedWebsite>>("answer");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::addColumn<bool>("rewritten");

        const QList<SavedWebsite> inLibraryOrder = LibraryOrder::sorted(kLibrary);
        QList<SavedWebsite> renamed = inLibraryOrder;
        renamed[1].title = u"Deux"_s;
        QList<SavedWebsite> explicitlyUnpinned = inLibraryOrder;
        explicitlyUnpinned[0].isPinned = false;
        QTest::newRow("same list in library order") << inLibraryOrder << QList<qint64>{3, 2, 1} << false;
        QTest::newRow("same list in another order") << kLibrary << QList<qint64>{3, 2, 1} << true;
        QTest::newRow("one title changed") << renamed << QList<qint64>{3, 2, 1} << true;
        QTest::newRow("pin flag false instead of absent") << explicitlyUnpinned << QList<qint64>{3, 2, 1} << true;
        QTest::newRow("empty list") << QList<SavedWebsite>{} << QList<qint64>{} << true;
    }

    void fetchRewritesOnlyWhenTheAnswerDiffers()
    {
        QFETCH(QList<SavedWebsite>, answer);
        QFETCH(QList<qint64>, ids);
        QFETCH(bool, rewritten);

        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, LibraryOrder::sorted(kLibrary));
        QVERIFY(localCopiesHold(environment, model->websites()));
        removeLocalCopies(environment);

        server.queue("GET", u"/api/websites"_s, websitesAnswer(answer));
        QCoro::waitFor(model->fetchWebsites());
        model->flushLibraryWrites();
        QCOMPARE(idsOf(model->websites()), ids);
        QCOMPARE(model->websites(), LibraryOrder::sorted(answer));
        if (rewritten)
            QVERIFY(localCopiesHold(environment, model->websites()));
        else
            QVERIFY(!QFile::exists(LocalStoreManager::shared().websitesCacheFile()) && !environment.preferences()->contains(Preferences::kSavedWebsites));
        QCOMPARE(server.requests().last().header("Authorization"), "Bearer token-1"_ba);
    }

    void failedFetchChangesNothing_data()
    {
        QTest::addColumn<StubServer::Response>("answer");
        QTest::newRow("server error") << StubServer::text(500, "<html>down</html>"_ba);
        QTest::newRow("not found with a message") << StubServer::json(404, QJsonObject{{u"error"_s, u"gone"_s}});
        QTest::newRow("not JSON") << StubServer::text(200, "websites"_ba);
        QTest::newRow("one website with a text id")
            << StubServer::json(200, QJsonObject{{u"websites"_s, QJsonArray{kLibrary[0].toJson(), QJsonObject{{u"id"_s, u"2"_s}, {u"url"_s, u"u"_s}, {u"title"_s, u"t"_s}}}}});
        QTest::newRow("array instead of an object") << StubServer::json(200, SavedWebsite::listToJson(kLibrary));
    }

    void failedFetchChangesNothing()
    {
        QFETCH(StubServer::Response, answer);
        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, kLibrary);
        const QList<SavedWebsite> before = model->websites();

        server.queue("GET", u"/api/websites"_s, answer);
        QCoro::waitFor(model->fetchWebsites());
        model->flushLibraryWrites();
        QCOMPARE(model->websites(), before);
        QVERIFY(localCopiesHold(environment, before));
    }

    void offlineFetchKeepsTheSeededList()
    {
        TestEnvironment environment;
        LocalStoreManager::shared().setBaseDirectory(environment.localStoreDirectory());
        const QByteArray cacheFile = LocalStoreManager::encodeWebsitesCache(kLibrary);
        const auto model = restore(environment, cacheFile, QByteArray(), StubServer::refusingBaseUrl());
        QCOMPARE(idsOf(model->websites()), (QList<qint64>{3, 2, 1}));
        QCoro::waitFor(model->fetchWebsites());
        model->flushLibraryWrites();
        QCOMPARE(idsOf(model->websites()), (QList<qint64>{3, 2, 1}));
        QCOMPARE(readFile(LocalStoreManager::shared().websitesCacheFile()), cacheFile);
    }

    void fetchCachesThumbnailsInTheOrderReceived()
    {
        TestEnvironment environment;
        StubServer server;
        QList<SavedWebsite> websites = kLibrary;
        for (SavedWebsite &website : websites) {
            const QString target = u"/thumbs/%1.png"_s.arg(website.id);
            website.screenshotUrl = server.baseUrl() + target;
            server.on("GET", target, StubServer::text(200, pngBytes(), "image/png"));
        }
        const auto model = fetchedModel(environment, server, websites);
        auto &store = LocalStoreManager::shared();
        QTRY_VERIFY(QFile::exists(store.thumbnailFile(1)) && QFile::exists(store.thumbnailFile(2)) && QFile::exists(store.thumbnailFile(3)));
        QStringList thumbnailTargets;
        for (const StubServer::Request &request : server.requests()) {
            if (request.target.startsWith(u"/thumbs/"_s))
                thumbnailTargets.append(request.target);
        }
        QCOMPARE(thumbnailTargets, (QStringList{u"/thumbs/1.png"_s, u"/thumbs/2.png"_s, u"/thumbs/3.png"_s}));

        // Already on disk: the next walk asks only for the website that is new, which comes last.
        const QString newTarget = u"/thumbs/4.png"_s;
        websites.append({.id = 4, .url = u"https://four.test/"_s, .title = u"Four"_s, .screenshotUrl = server.baseUrl() + newTarget});
        server.on("GET", newTarget, StubServer::text(200, pngBytes(), "image/png"));
        server.queue("GET", u"/api/websites"_s, websitesAnswer(websites));
        const qsizetype requestsBefore = server.requests().size();
        QCoro::waitFor(model->fetchWebsites());
        QTRY_VERIFY(QFile::exists(store.thumbnailFile(4)));
        QCOMPARE(server.requests().size(), requestsBefore + 2);
        QCOMPARE(server.requests().last().target, newTarget);
    }

    void answersAfterSignOutAreDropped_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("fetch") << u"fetch"_s;
        QTest::newRow("pin") << u"pin"_s;
        QTest::newRow("rename") << u"rename"_s;
        QTest::newRow("delete") << u"delete"_s;
    }

    void answersAfterSignOutAreDropped()
    {
        QFETCH(QString, operation);
        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, kLibrary);
        SavedWebsite renamed = kLibrary[0];
        renamed.title = u"Renamed"_s;
        server.on("GET", u"/api/websites"_s, websitesAnswer(kLibrary));
        server.on("PATCH", u"/api/websites/1/pin"_s, websiteAnswer(renamed));
        server.on("PUT", u"/api/websites/1"_s, websiteAnswer(renamed));
        server.on("DELETE", u"/api/websites/1"_s, StubServer::json(200, QJsonObject{{u"deletedId"_s, 1}}));

        QCoro::Task<> running = operation == u"fetch"_s ? model->fetchWebsites()
            : operation == u"pin"_s                     ? model->togglePin(1)
            : operation == u"rename"_s                  ? model->updateWebsiteTitle(1, u"Renamed"_s)
                                                        : model->deleteWebsite(1);
        // Signed out while the request is on its way; its answer belongs to nobody now.
        model->logout();
        QCoro::waitFor(std::move(running));
        model->flushLibraryWrites();
        QCOMPARE(server.requests().size(), 2);
        QVERIFY(model->websites().isEmpty());
        QVERIFY(!QFile::exists(LocalStoreManager::shared().websitesCacheFile()));
        QVERIFY(!environment.preferences()->contains(Preferences::kSavedWebsites));
    }

    void signOutStopsTheThumbnailWalk()
    {
        TestEnvironment environment;
        StubServer server;
        QList<SavedWebsite> websites = kLibrary;
        for (SavedWebsite &website : websites) {
            const QString target = u"/thumbs/%1.png"_s.arg(website.id);
            website.screenshotUrl = server.baseUrl() + target;
            StubServer::Response answer = StubServer::text(200, pngBytes(), "image/png");
            answer.delay = std::chrono::milliseconds(website.id == 1 ? 300 : 0);
            server.on("GET", target, answer);
        }
        const auto model = fetchedModel(environment, server, websites);
        QTRY_COMPARE(server.requestsTo(u"/thumbs/1.png"_s).size(), 1);
        model->logout();
        // The download under way finishes, stores nothing, and no other one starts.
        QTest::qWait(600);
        QCOMPARE(server.requestsTo(u"/thumbs/2.png"_s).size(), 0);
        QVERIFY(!QFile::exists(LocalStoreManager::shared().thumbnailFile(1)));
    }

    void togglePin_data()
    {
        QTest::addColumn<StubServer::Response>("answer");
        QTest::addColumn<bool>("pinnedAfter");
        QTest::addColumn<bool>("cacheFileWritten");

        SavedWebsite pinned = kLibrary[0];
        pinned.isPinned = true;
        // The rest of the answer is ignored; only the pin state is taken.
        pinned.title = u"Renamed elsewhere"_s;
        SavedWebsite withoutFlag = kLibrary[0];
        QTest::newRow("backend pins") << websiteAnswer(pinned) << true << true;
        QTest::newRow("answer without isPinned") << websiteAnswer(withoutFlag) << false << true;
        QTest::newRow("server error") << StubServer::text(500, QByteArray()) << false << false;
        QTest::newRow("answer does not decode") << StubServer::json(200, QJsonObject{}) << false << false;
    }

    void togglePin()
    {
        QFETCH(StubServer::Response, answer);
        QFETCH(bool, pinnedAfter);
        QFETCH(bool, cacheFileWritten);

        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, kLibrary);
        removeLocalCopies(environment);
        server.on("PATCH", u"/api/websites/1/pin"_s, answer);

        auto pinning = model->togglePin(1);
        // At once, before the backend has answered: website 1 (no pin flag yet) leads the list.
        QCOMPARE(idsOf(model->websites()), (QList<qint64>{1, 3, 2}));
        QCoro::waitFor(std::move(pinning));
        model->flushLibraryWrites();

        QCOMPARE(requestBody(server.requests().last()), (QJsonObject{{u"isPinned"_s, true}}));
        QCOMPARE(idsOf(model->websites()), (pinnedAfter ? QList<qint64>{1, 3, 2} : QList<qint64>{3, 2, 1}));
        QCOMPARE(model->websites().constFirst().title, pinnedAfter ? u"One"_s : u"Three"_s);
        if (cacheFileWritten)
            QCOMPARE(readFile(LocalStoreManager::shared().websitesCacheFile()), LocalStoreManager::encodeWebsitesCache(model->websites()));
        else
            QVERIFY(!QFile::exists(LocalStoreManager::shared().websitesCacheFile()));
        // The preferences copy waits for the next cacheWebsites.
        QVERIFY(!environment.preferences()->contains(Preferences::kSavedWebsites));
    }

    void pinWhileOfflineJumpsBack()
    {
        TestEnvironment environment;
        LocalStoreManager::shared().setBaseDirectory(environment.localStoreDirectory());
        QList<SavedWebsite> stored = kLibrary;
        stored[1].isPinned = true;
        const QByteArray cacheFile = LocalStoreManager::encodeWebsitesCache(stored);
        const auto model = restore(environment, cacheFile, QByteArray(), StubServer::refusingBaseUrl());
        QCOMPARE(idsOf(model->websites()), (QList<qint64>{2, 3, 1}));

        auto unpinning = model->togglePin(2);
        QCOMPARE(idsOf(model->websites()), (QList<qint64>{3, 2, 1}));
        QCoro::waitFor(std::move(unpinning));
        model->flushLibraryWrites();
        QCOMPARE(idsOf(model->websites()), (QList<qint64>{2, 3, 1}));
        QCOMPARE(readFile(LocalStoreManager::shared().websitesCacheFile()), cacheFile);
    }

    void pinningAnUnknownWebsiteSendsNothing()
    {
        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, kLibrary);
        QCoro::waitFor(model->togglePin(99));
        QCOMPARE(server.requests().size(), 1);
    }

    void rename_data()
    {
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("sent");

        QTest::newRow("trimmed") << qint64(2) << u"  News  "_s << u"News"_s;
        QTest::newRow("line breaks trimmed") << qint64(2) << u"\nNews\t\r\n"_s << u"News"_s;
        QTest::newRow("only spaces") << qint64(2) << u"    "_s << QString();
        QTest::newRow("only line breaks") << qint64(2) << u"\n\r\n\t"_s << QString();
        QTest::newRow("empty") << qint64(2) << QString() << QString();
        // Removed by another fetch meanwhile: nothing to replace, but both copies are written.
        QTest::newRow("website gone") << qint64(99) << u"News"_s << u"News"_s;
    }

    void rename()
    {
        QFETCH(qint64, id);
        QFETCH(QString, title);
        QFETCH(QString, sent);

        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, kLibrary);
        const QList<SavedWebsite> before = model->websites();
        removeLocalCopies(environment);
        const QString target = u"/api/websites/%1"_s.arg(id);
        server.on("PUT", target, websiteAnswer({.id = id, .url = u"https://two.test/"_s, .title = sent, .createdAt = u"2024-02-01T00:00:00Z"_s}));

        QCoro::waitFor(model->updateWebsiteTitle(id, title));
        model->flushLibraryWrites();
        if (sent.isEmpty()) {
            QCOMPARE(server.requests().size(), 1);
            QCOMPARE(model->websites(), before);
            QVERIFY(!QFile::exists(LocalStoreManager::shared().websitesCacheFile()));
            return;
        }
        QCOMPARE(server.requests().last().target, target);
        QCOMPARE(requestBody(server.requests().last()), (QJsonObject{{u"title"_s, sent}}));
        QList<SavedWebsite> expected = before;
        if (id == 2)
            expected[1] = {.id = 2, .url = u"https://two.test/"_s, .title = sent, .createdAt = u"2024-02-01T00:00:00Z"_s};
        QCOMPARE(model->websites(), expected);
        QVERIFY(localCopiesHold(environment, expected));
    }

    void failedRenameChangesNothing()
    {
        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, kLibrary);
        const QList<SavedWebsite> before = model->websites();
        server.on("PUT", u"/api/websites/2"_s, StubServer::json(400, QJsonObject{{u"error"_s, u"Title too long"_s}}));
        QCoro::waitFor(model->updateWebsiteTitle(2, u"News"_s));
        model->flushLibraryWrites();
        QCOMPARE(model->websites(), before);
        QVERIFY(localCopiesHold(environment, before));
    }

    void deleteRemovesTheWebsiteAndOnlyItsThumbnail()
    {
        TestEnvironment environment;
        StubServer server;
        QList<SavedWebsite> websites;
        for (const qint64 id : {7, 17, 70})
            websites.append({.id = id, .url = u"https://%1.test/"_s.arg(id), .title = QString::number(id)});
        const auto model = fetchedModel(environment, server, websites);
        auto &store = LocalStoreManager::shared();
        for (const qint64 id : {7, 17, 70})
            writeFile(store.thumbnailFile(id), "thumbnail");

        server.queue("DELETE", u"/api/websites/7"_s, StubServer::text(500, QByteArray()));
        QCoro::waitFor(model->deleteWebsite(7));
        QCOMPARE(idsOf(model->websites()), (QList<qint64>{70, 17, 7}));
        QVERIFY(QFile::exists(store.thumbnailFile(7)));

        server.on("DELETE", u"/api/websites/7"_s, StubServer::json(200, QJsonObject{{u"deletedId"_s, 7}}));
        QCoro::waitFor(model->deleteWebsite(7));
        model->flushLibraryWrites();
        QCOMPARE(idsOf(model->websites()), (QList<qint64>{70, 17}));
        QVERIFY(!QFile::exists(store.thumbnailFile(7)));
        QVERIFY(QFile::exists(store.thumbnailFile(17)));
        QVERIFY(QFile::exists(store.thumbnailFile(70)));
        QVERIFY(localCopiesHold(environment, model->websites()));
    }

    void deletingTheLastWebsiteLeavesEmptyCopies()
    {
        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, {kLibrary[0]});
        // The answer's identifier is not consulted.
        server.on("DELETE", u"/api/websites/1"_s, StubServer::json(200, QJsonObject{{u"deletedId"_s, 5}}));
        QCoro::waitFor(model->deleteWebsite(1));
        model->flushLibraryWrites();
        QVERIFY(model->websites().isEmpty());
        QCOMPARE(environment.preferences()->data(Preferences::kSavedWebsites), std::optional("[]"_ba));
        QCOMPARE(LocalStoreManager::shared().loadWebsitesFromDisk(), std::optional(QList<SavedWebsite>()));
    }

    void shareAndCopyLink_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("shared");
        QTest::newRow("address") << u"https://example.org/a?b=c"_s << true;
        QTest::newRow("bare host") << u"example.org"_s << true;
        QTest::newRow("space in the host") << u"https://exa mple.org"_s << false;
        QTest::newRow("empty") << QString() << false;
    }

    void shareAndCopyLink()
    {
        QFETCH(QString, url);
        QFETCH(bool, shared);
        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        const SavedWebsite website{.id = 1, .url = url, .title = u"Title"_s};
        model->shareWebsite(website);
        QCOMPARE(environment.clipboard()->texts, shared ? QStringList{url} : QStringList{});
        // Copying does not judge the address.
        model->copyWebsiteLink(website);
        QCOMPARE(environment.clipboard()->texts.last(), url);
    }

    void exportWritesTheLibrary()
    {
        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, kLibrary);
        const QString path = environment.path(u"export.json"_s);
        environment.saveDialog()->answer = path;
        model->exportBookmarksToFile();
        QCOMPARE(readFile(path), compact(model->websites()));
        QVERIFY(readFile(path).contains("First page"));
        const auto &question = environment.saveDialog()->questions.first();
        QCOMPARE(question.title, u"Export Saved Websites"_s);
        QCOMPARE(question.proposedFileName, u"corvane-bookmarks.json"_s);
        QVERIFY(question.nameFilter.contains(u"*.json"_s));

        environment.saveDialog()->answer.reset();
        writeFile(path, "earlier");
        model->exportBookmarksToFile();
        QCOMPARE(readFile(path), "earlier"_ba);
    }

    void exportOfAnEmptyLibrary()
    {
        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        environment.saveDialog()->answer = environment.path(u"empty.json"_s);
        model->exportBookmarksToFile();
        QCOMPARE(readFile(environment.path(u"empty.json"_s)), "[]"_ba);
    }

    void failedExportKeepsTheEarlierFile()
    {
        TestEnvironment environment;
        StubServer server;
        const auto model = fetchedModel(environment, server, kLibrary);
        const QString path = environment.path(u"backup.json"_s);
        writeFile(path, "earlier backup");
        environment.saveDialog()->answer = path;

        // Files may not grow past 16 bytes for a moment: the export fails half-way, as on a full disk.
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = previous;
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
        model->exportBookmarksToFile();
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(readFile(path), "earlier backup"_ba);
        QCOMPARE(QDir(environment.path(QString())).entryList({u"backup.json*"_s}, QDir::Files | QDir::Hidden), QStringList{u"backup.json"_s});
    }
};

QTEST_MAIN(LibraryTest)
#include "librarytest.moc"
