#include "library.h"
#include "backendclient.h"
#include "librarycopies.h"
#include "libraryorder.h"
#include "librarysearchindex.h"
#include "localstoremanager.h"
#include "support/stubserver.h"
#include "support/testdata.h"
#include "support/testenvironment.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{
QByteArray compact(const QList<SavedWebsite> &websites)
{
    return QJsonDocument(SavedWebsite::listToJson(websites)).toJson(QJsonDocument::Compact);
}

// Websites out of library order, so seeding has something to sort.
QList<SavedWebsite> websitesFrom(qint64 firstId, int count)
{
    QList<SavedWebsite> websites;
    for (int offset = 0; offset < count; ++offset) {
        const qint64 id = firstId + offset;
        websites.append({.id = id,
                         .url = u"https://site%1.test/"_s.arg(id),
                         .title = u"Site %1"_s.arg(id),
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
constexpr qint64 kUnknownId = 99;

ino_t inodeOf(const QString &path)
{
    struct stat status {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

StubServer::Response websitesAnswer(const QList<SavedWebsite> &websites)
{
    return StubServer::json(200, WebsitesResponse{websites}.toJson());
}

StubServer::Response websiteAnswer(const SavedWebsite &website)
{
    return StubServer::json(200, SingleWebsiteResponse{website}.toJson());
}

// A library as the panel builds it, signed in to a stub server, its files in a temporary directory.
struct Fixture {
    TestEnvironment environment;
    StubServer server;
    BackendClient backend;
    std::unique_ptr<Preferences> preferences;
    FakeClipboard clipboard;
    FakeSaveDialog saveDialog;
    LocalStoreManager localStore{environment.localStoreDirectory()};
    Library library{{backend, *preferences, clipboard, saveDialog, localStore, pageTextFile()}};

    // prepare writes what the library finds when it is built.
    explicit Fixture(const std::function<void(Preferences &)> &prepare = {})
        : backend(server.baseUrl(), std::chrono::seconds(10))
        , preferences([&] {
            if (prepare)
                prepare(*environment.preferences());
            // As at a real start, before the preferences are opened.
            LibraryCopies::moveCopyOutOfPreferences(environment.path(u"preferences.ini"_s));
            return environment.preferences();
        }())
    {
        backend.setToken(u"token-1"_s);
    }

    // Gives each website a thumbnail at /thumbs/<id>.png on the stub server; the one of slowId
    // takes 300 ms to answer.
    void serveThumbnails(QList<SavedWebsite> &websites, qint64 slowId)
    {
        for (SavedWebsite &website : websites) {
            const QString target = u"/thumbs/%1.png"_s.arg(website.id);
            website.screenshotUrl = server.baseUrl() + target;
            StubServer::Response answer = StubServer::text(200, imageBytes(16), "image/png");
            answer.delay = std::chrono::milliseconds(website.id == slowId ? 300 : 0);
            server.on("GET", target, answer);
        }
    }

    // One fetch with this answer, its local copies on disk.
    void fetch(const StubServer::Response &answer)
    {
        server.queue("GET", u"/api/websites"_s, answer);
        QCoro::waitFor(library.fetchWebsites());
        library.flushLocalCopies();
    }
    void fetch(const QList<SavedWebsite> &websites) { fetch(websitesAnswer(websites)); }

    // True once every reply the library sent has been handled and let go of.
    [[nodiscard]] bool settle()
    {
        const bool settled = QTest::qWaitFor([this] { return backend.network().findChildren<QNetworkReply *>().isEmpty(); });
        library.flushLocalCopies();
        return settled;
    }

    [[nodiscard]] QString cacheFile() const { return LibraryCopies::cacheFileName(environment.localStoreDirectory()); }
    [[nodiscard]] QString pageTextFile() const { return environment.path(u"cache/pagetext"_s); }
    [[nodiscard]] QString preferencesCopyFile() const { return LibraryCopies::preferencesCopyLocation(preferences->location()).fileName; }
    [[nodiscard]] std::optional<QByteArray> preferencesCopy() const
    {
        if (!QFile::exists(preferencesCopyFile()))
            return std::nullopt;
        return Preferences::open(LibraryCopies::preferencesCopyLocation(preferences->location()))->data(Preferences::kSavedWebsites);
    }
    void setPreferencesCopy(const QByteArray &bytes) const
    {
        Preferences::open(LibraryCopies::preferencesCopyLocation(preferences->location()))->setData(Preferences::kSavedWebsites, bytes);
    }
    // Seeds and waits until the local copies have been read.
    void seed() { QCoro::waitFor(library.seedFromLocalCopies()); }

    // Removes both local copies, so that a test sees whether they are written again.
    void removeLocalCopies() const
    {
        QFile::remove(cacheFile());
        QFile::remove(preferencesCopyFile());
    }

    [[nodiscard]] bool localCopiesHold(const QList<SavedWebsite> &websites) const
    {
        return readFile(cacheFile()) == LibraryCopies::encodeCacheFile(websites) && preferencesCopy() == std::optional(compact(websites));
    }

    [[nodiscard]] bool anyLocalCopy() const { return QFile::exists(cacheFile()) || QFile::exists(preferencesCopyFile()); }
};
}

Q_DECLARE_METATYPE(StubServer::Response)

class LibraryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The library starts from its copies. A copy an earlier version kept inside the preferences
    // moves out beside them first, unless one is there already; the other preferences stay.
    void seeding_data()
    {
        QTest::addColumn<QByteArray>("cacheFile");
        QTest::addColumn<QByteArray>("preferencesCopy");
        QTest::addColumn<QByteArray>("inPreferences");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::addColumn<bool>("cacheFileRewritten");

        const QByteArray fromFile = LibraryCopies::encodeCacheFile(websitesFrom(1, 3));
        const QByteArray fromPreferences = compact(websitesFrom(11, 2));
        const QByteArray none;
        QTest::newRow("cache file wins") << fromFile << fromPreferences << none << QList<qint64>{3, 2, 1} << false;
        QTest::newRow("empty cache file list falls back") << "[]"_ba << fromPreferences << none << QList<qint64>{12, 11} << true;
        QTest::newRow("corrupt cache file falls back") << "[{\"id\":"_ba << fromPreferences << none << QList<qint64>{12, 11} << true;
        QTest::newRow("neither copy") << none << none << none << QList<qint64>{} << false;
        QTest::newRow("corrupt preferences copy") << "[]"_ba
                                                  << "[1,2"_ba << none << QList<qint64>{} << false;
        const QByteArray older = compact(websitesFrom(21, 3));
        QTest::newRow("a copy in its new place wins") << none << fromPreferences << older << QList<qint64>{12, 11} << true;
        QTest::newRow("an unreadable one moves too") << none << none << "[1,"_ba << QList<qint64>{} << false;
    }

    void seeding()
    {
        QFETCH(QByteArray, cacheFile);
        QFETCH(QByteArray, preferencesCopy);
        QFETCH(QByteArray, inPreferences);
        QFETCH(QList<qint64>, ids);
        QFETCH(bool, cacheFileRewritten);

        Fixture fixture([&](Preferences &preferences) {
            preferences.setBool(Preferences::kRememberMe, true);
            if (!inPreferences.isEmpty())
                preferences.setData(Preferences::kSavedWebsites, inPreferences);
            preferences.setBool(Preferences::kShowHeaderEmail, true);
            preferences.save();
            if (!preferencesCopy.isEmpty())
                Preferences::open(LibraryCopies::preferencesCopyLocation(preferences.location()))
                    ->setData(Preferences::kSavedWebsites, preferencesCopy);
        });
        if (!cacheFile.isEmpty())
            writeFile(fixture.cacheFile(), cacheFile);
        QSignalSpy loading(&fixture.library, &Library::isLoadingChanged);
        fixture.seed();
        QCOMPARE(idsOf(fixture.library.websites()), ids);
        QCOMPARE(loading.size(), 2);
        QVERIFY(!fixture.library.isLoading());

        fixture.library.flushLocalCopies();
        const QByteArray stored = readFile(fixture.cacheFile());
        QCOMPARE(stored, cacheFileRewritten ? LibraryCopies::encodeCacheFile(fixture.library.websites()) : cacheFile);
        // Seeding never rewrites the preferences copy.
        QCOMPARE(fixture.preferencesCopy().value_or(QByteArray()), preferencesCopy.isEmpty() ? inPreferences : preferencesCopy);
        QCOMPARE(QDir(QFileInfo(fixture.preferencesCopyFile()).path()).entryList(QDir::Files).size(), fixture.preferencesCopy() ? 2 : 1);
        QVERIFY(!fixture.preferences->contains(Preferences::kSavedWebsites));
        const auto reopened = fixture.environment.preferences();
        QVERIFY(!reopened->contains(Preferences::kSavedWebsites));
        QVERIFY(reopened->boolValue(Preferences::kRememberMe) && reopened->boolValue(Preferences::kShowHeaderEmail));
    }

    // The copies are read in the background; a sign-out before they arrive keeps them out.
    void seedingGivesWayToASignOut()
    {
        Fixture fixture;
        fixture.setPreferencesCopy(compact(websitesFrom(1, 3)));
        // The cache file is a pipe: the background read waits in opening it until the test opens
        // the other end, then finds it empty and reads the preferences copy. Nothing may return
        // before that, or the read would wait for ever.
        const QByteArray cacheFile = QFile::encodeName(fixture.cacheFile());
        QCOMPARE(mkfifo(cacheFile.constData(), 0600), 0);
        auto seeding = fixture.library.seedFromLocalCopies();
        const bool loading = fixture.library.isLoading();
        fixture.library.clear();
        ::close(::open(cacheFile.constData(), O_WRONLY));
        QCoro::waitFor(std::move(seeding));
        QVERIFY(loading);
        QVERIFY(fixture.library.websites().isEmpty());
        fixture.library.flushLocalCopies();
        QVERIFY(!fixture.anyLocalCopy());
    }

    // Page text lives in a private file among the caches: used as it is when it holds the
    // library's text, written anew when it is missing or does not, and removed at sign-out.
    void pageTextFile_data()
    {
        QTest::addColumn<QString>("onDisk");
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("missing") << u"missing"_s << true;
        QTest::newRow("matching") << u"matching"_s << false;
        QTest::newRow("other text") << u"other text"_s << true;
        QTest::newRow("not one") << u"not one"_s << true;
    }

    void pageTextFile()
    {
        QFETCH(QString, onDisk);
        QFETCH(bool, rewritten);
        Fixture fixture;
        const QString path = fixture.pageTextFile();
        const QList<SavedWebsite> library = LibraryOrder::sorted(kLibrary);
        writeFile(fixture.cacheFile(), LibraryCopies::encodeCacheFile(library));
        QList<SavedWebsite> other = library;
        other.last().content = u"Other page"_s;
        if (onDisk == u"matching"_s || onDisk == u"other text"_s)
            std::ignore = LibrarySearchIndex::build(onDisk == u"matching"_s ? library : other, nullptr, path);
        else if (onDisk == u"not one"_s)
            writeFile(path, "CVPGTXT1 and then nothing like a table");
        const ino_t before = inodeOf(path);

        fixture.seed();
        fixture.library.flushLocalCopies();
        QCOMPARE(inodeOf(path) != before, rewritten);
        QCOMPARE(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(fixture.library.websites(), library);
        fixture.library.setSearchQuery(u"first PAGE"_s);
        QCOMPARE(idsOf(fixture.library.filteredWebsites()), QList<qint64>{1});

        fixture.library.clear();
        fixture.library.flushLocalCopies();
        QVERIFY(!QFile::exists(path));
    }

    // The newest list wins, and the preferences copy lives beside the preferences without touching
    // them, also where they are found by organisation and application rather than by file name.
    void copiesAreStoredInOrder()
    {
        TestEnvironment environment;
        const LocalStoreManager store(environment.localStoreDirectory());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, environment.path(u"config"_s));
        const auto preferences = std::make_unique<Preferences>(std::make_unique<QSettings>(u"CorvaneTest"_s, u"Library"_s));
        preferences->setBool(Preferences::kRememberMe, true);
        preferences->save();
        const auto copyLocation = LibraryCopies::preferencesCopyLocation(preferences->location());
        QCOMPARE(QFileInfo(copyLocation.fileName).dir(), QFileInfo(preferences->location().fileName).dir());
        QVERIFY(copyLocation.fileName != preferences->location().fileName);

        LibraryCopies copies(preferences->location(), store);
        const QList<SavedWebsite> older = websitesFrom(1, 40);
        const QList<SavedWebsite> newer = websitesFrom(100, 2);
        for (const auto &websites : {older, older, older, newer}) {
            copies.writeCacheFile(websites);
            copies.writePreferencesCopy(websites);
        }
        copies.flush();
        // Indented, as the cache files already on users' disks are.
        const QByteArray cacheFile = readFile(LibraryCopies::cacheFileName(store.baseDirectory()));
        QVERIFY2(cacheFile.startsWith("[\n    {\n") && !cacheFile.contains("null"), cacheFile.left(40).constData());
        QCOMPARE(cacheFile, LibraryCopies::encodeCacheFile(newer));
        QCOMPARE(Preferences::open(copyLocation)->data(Preferences::kSavedWebsites), std::optional(compact(newer)));
        QVERIFY(!preferences->contains(Preferences::kSavedWebsites));
        QVERIFY(preferences->boolValue(Preferences::kRememberMe));
    }

    // A library large enough to be compared and indexed on a worker: show more raises the limit
    // in steps, a search narrows the list and answers for a fetched list as soon as it is
    // published, and neither lowers the limit.
    void searchShowMoreAndFetchShapeTheList()
    {
        Fixture fixture;
        Library &library = fixture.library;
        QList<SavedWebsite> websites = websitesFrom(1, 300);
        fixture.fetch(websites);
        QCOMPARE(library.websiteList()->rowCount(), 5);
        QSignalSpy limitChanged(&library, &Library::visibleLimitChanged);
        QList<int> limits;
        for (int press = 0; press < 4; ++press) {
            library.showMoreWebsites();
            limits.append(library.visibleLimit());
        }
        QCOMPARE(limits, (QList<int>{10, 20, 30, 40}));
        QCOMPARE(limitChanged.size(), 4);
        QCOMPARE(library.websiteList()->rowCount(), 40);

        library.setSearchQuery(u" SITE 29\n"_s);
        const auto sortedIds = [&library] {
            QList<qint64> ids = idsOf(library.filteredWebsites());
            std::sort(ids.begin(), ids.end());
            return ids;
        };
        QCOMPARE(sortedIds(), (QList<qint64>{29, 290, 291, 292, 293, 294, 295, 296, 297, 298, 299}));
        QCOMPARE(library.websiteList()->websites(), library.filteredWebsites());

        websites[6].title = u"Site 29b"_s;
        websites[294].title = u"Gone"_s;
        fixture.fetch(websites);
        QCOMPARE(sortedIds(), (QList<qint64>{7, 29, 290, 291, 292, 293, 294, 296, 297, 298, 299}));
        QCOMPARE(library.websiteList()->websites(), library.filteredWebsites());
        QCOMPARE(library.visibleLimit(), 40);
        library.clear();
        QCOMPARE(library.visibleLimit(), 40);
    }

    // Only a good answer replaces the library; the copies are rewritten only when it changed it.
    void fetch_data()
    {
        QTest::addColumn<StubServer::Response>("answer");
        QTest::addColumn<QList<SavedWebsite>>("expected");
        QTest::addColumn<bool>("rewritten");

        const QList<SavedWebsite> before = LibraryOrder::sorted(kLibrary);
        QList<SavedWebsite> renamed = before;
        renamed[1].title = u"Deux"_s;
        QList<SavedWebsite> explicitlyUnpinned = before;
        explicitlyUnpinned[0].isPinned = false;
        QTest::newRow("same list in library order") << websitesAnswer(before) << before << false;
        QTest::newRow("same list in another order") << websitesAnswer(kLibrary) << before << true;
        QTest::newRow("one title changed") << websitesAnswer(renamed) << renamed << true;
        QTest::newRow("pin flag false instead of absent") << websitesAnswer(explicitlyUnpinned) << explicitlyUnpinned << true;
        QTest::newRow("empty list") << websitesAnswer({}) << QList<SavedWebsite>{} << true;
        // Whatever made the request fail (the client's tests go through each way), the library stays.
        QTest::newRow("server error") << StubServer::text(500, "<html>down</html>"_ba) << before << false;
    }

    void fetch()
    {
        QFETCH(StubServer::Response, answer);
        QFETCH(QList<SavedWebsite>, expected);
        QFETCH(bool, rewritten);

        Fixture fixture;
        fixture.fetch(kLibrary);
        fixture.removeLocalCopies();
        fixture.fetch(answer);
        QCOMPARE(fixture.library.websites(), expected);
        QVERIFY(rewritten ? fixture.localCopiesHold(expected) : !fixture.anyLocalCopy());
    }

    // Missing thumbnails come one at a time in list order; a newer walk stops the one before it,
    // even in the middle of a download, and clear() forgets everything.
    void thumbnailWalkAndClear()
    {
        Fixture fixture;
        auto &store = fixture.localStore;
        QList<SavedWebsite> websites = websitesFrom(1, 6);
        fixture.serveThumbnails(websites, 4);
        fixture.fetch(websites.first(3));
        QTRY_VERIFY(QFile::exists(store.thumbnailFile(1)) && QFile::exists(store.thumbnailFile(2))
                    && QFile::exists(store.thumbnailFile(3)));
        QStringList targets;
        for (const StubServer::Request &request : fixture.server.requests())
            targets.append(request.target);
        QCOMPARE(targets, (QStringList{u"/api/websites"_s, u"/thumbs/1.png"_s, u"/thumbs/2.png"_s, u"/thumbs/3.png"_s}));

        // While 4 is on its way, a list without it starts a walk that takes 5.
        fixture.fetch(websites.first(5));
        QTRY_COMPARE(fixture.server.requestsTo(u"/thumbs/4.png"_s).size(), 1);
        fixture.fetch(websites.first(3) << websites.at(4));
        QTRY_VERIFY(QFile::exists(store.thumbnailFile(5)));
        QTest::qWait(500);
        QVERIFY(!QFile::exists(store.thumbnailFile(4)));

        // Its local copies may still be on their way to disk when clear() comes.
        fixture.server.queue("GET", u"/api/websites"_s, websitesAnswer(websites));
        QCoro::waitFor(fixture.library.fetchWebsites());
        QTRY_COMPARE(fixture.server.requestsTo(u"/thumbs/4.png"_s).size(), 2);
        const qsizetype asked = fixture.server.requests().size();
        fixture.library.clear();
        fixture.library.flushLocalCopies();
        QVERIFY(fixture.library.websites().isEmpty());
        QCOMPARE(fixture.library.websiteList()->rowCount(), 0);
        QVERIFY(!fixture.anyLocalCopy());
        QVERIFY(!QFile::exists(store.thumbnailFile(1)));
        QVERIFY(QFileInfo(store.thumbnailsDirectory()).isDir());
        // The download under way finishes, stores nothing, and no other one (6) starts.
        QTest::qWait(600);
        QCOMPARE(fixture.server.requests().size(), asked);
        QVERIFY(!QFile::exists(store.thumbnailFile(4)));
    }

    void answersFromAnEndedSessionAreDropped_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("fetch") << u"fetch"_s;
        QTest::newRow("pin") << u"pin"_s;
        QTest::newRow("rename") << u"rename"_s;
        QTest::newRow("delete") << u"delete"_s;
    }

    void answersFromAnEndedSessionAreDropped()
    {
        QFETCH(QString, operation);
        Fixture fixture;
        Library &library = fixture.library;
        fixture.fetch(kLibrary);
        fixture.removeLocalCopies();
        // Every answer would change the library if it were taken.
        SavedWebsite renamed = kLibrary[0];
        renamed.title = u"Renamed"_s;
        fixture.server.on("GET", u"/api/websites"_s, websitesAnswer({renamed}));
        fixture.server.on("PATCH", u"/api/websites/1/pin"_s, websiteAnswer(renamed));
        fixture.server.on("PUT", u"/api/websites/1"_s, websiteAnswer(renamed));
        fixture.server.on("DELETE", u"/api/websites/1"_s, StubServer::json(200, QJsonObject{{u"deletedId"_s, 1}}));

        if (operation == u"fetch"_s)
            std::ignore = library.fetchWebsites();
        else if (operation == u"pin"_s)
            library.togglePin(1);
        else if (operation == u"rename"_s)
            library.updateWebsiteTitle(1, u"Renamed"_s);
        else
            library.deleteWebsite(1);
        const QList<SavedWebsite> sent = library.websites();
        // Signed out while the request is on its way; its answer belongs to nobody now.
        fixture.backend.setToken(std::nullopt);
        QVERIFY(fixture.settle());
        QCOMPARE(fixture.server.requests().size(), 2);
        QCOMPARE(library.websites(), sent);
        QVERIFY(!fixture.anyLocalCopy());
    }

    void togglePin_data()
    {
        QTest::addColumn<bool>("twoPinned");
        QTest::addColumn<qint64>("id");
        QTest::addColumn<StubServer::Response>("answer");
        QTest::addColumn<QList<qint64>>("during");
        QTest::addColumn<QList<qint64>>("after");
        QTest::addColumn<bool>("cacheFileWritten");

        SavedWebsite pinned = kLibrary[0];
        pinned.isPinned = true;
        // The rest of the answer is ignored; only the pin state is taken.
        pinned.title = u"Renamed elsewhere"_s;
        const StubServer::Response refused = StubServer::text(500, QByteArray());
        using Ids = QList<qint64>;
        QTest::newRow("backend pins") << false << qint64(1) << websiteAnswer(pinned) << Ids{1, 3, 2} << Ids{1, 3, 2} << true;
        QTest::newRow("answer without isPinned")
            << false << qint64(1) << websiteAnswer(kLibrary[0]) << Ids{1, 3, 2} << Ids{3, 2, 1} << true;
        QTest::newRow("refused unpin jumps back") << true << qint64(2) << refused << Ids{3, 2, 1} << Ids{2, 3, 1} << false;
        QTest::newRow("unknown website") << false << kUnknownId << websiteAnswer(pinned) << Ids{3, 2, 1} << Ids{3, 2, 1} << false;
    }

    void togglePin()
    {
        QFETCH(bool, twoPinned);
        QFETCH(qint64, id);
        QFETCH(StubServer::Response, answer);
        QFETCH(QList<qint64>, during);
        QFETCH(QList<qint64>, after);
        QFETCH(bool, cacheFileWritten);

        Fixture fixture;
        QList<SavedWebsite> websites = kLibrary;
        if (twoPinned)
            websites[1].isPinned = true;
        fixture.fetch(websites);
        fixture.removeLocalCopies();
        const QString target = u"/api/websites/%1/pin"_s.arg(id);
        fixture.server.on("PATCH", target, answer);

        fixture.library.togglePin(id);
        // At once, before the backend has answered.
        QCOMPARE(idsOf(fixture.library.websites()), during);
        QVERIFY(fixture.settle());

        const QList<StubServer::Request> sent = fixture.server.requestsTo(target);
        QCOMPARE(sent.size(), id == kUnknownId ? 0 : 1);
        if (!sent.isEmpty())
            QCOMPARE(QJsonDocument::fromJson(sent.first().body).object(), (QJsonObject{{u"isPinned"_s, !twoPinned}}));
        QCOMPARE(idsOf(fixture.library.websites()), after);
        QCOMPARE(fixture.library.websites().constFirst().title, kLibrary.at(after.first() - 1).title);
        QCOMPARE(readFile(fixture.cacheFile()),
                 cacheFileWritten ? LibraryCopies::encodeCacheFile(fixture.library.websites()) : QByteArray());
        // The preferences copy waits for the next whole-library change.
        QVERIFY(!fixture.preferencesCopy());
    }

    void rename_data()
    {
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<StubServer::Response>("answer");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QList<SavedWebsite>>("expected");
        QTest::addColumn<bool>("written");

        const SavedWebsite news{.id = 2, .url = u"https://two.test/"_s, .title = u"News"_s, .createdAt = u"2024-02-01T00:00:00Z"_s};
        const QList<SavedWebsite> before = LibraryOrder::sorted(kLibrary);
        QList<SavedWebsite> renamed = before;
        renamed[1] = news;
        const StubServer::Response accepted = websiteAnswer(news);
        const StubServer::Response refused = StubServer::json(400, QJsonObject{{u"error"_s, u"Title too long"_s}});
        QTest::newRow("trimmed") << qint64(2) << u" \nNews\t\r\n "_s << accepted << u"News"_s << renamed << true;
        QTest::newRow("white space only") << qint64(2) << u"  \n\r\n\t "_s << accepted << QString() << before << false;
        QTest::newRow("refused") << qint64(2) << u"News"_s << refused << u"News"_s << before << false;
        // Removed by another fetch meanwhile: nothing to replace, but both copies are written.
        QTest::newRow("website gone") << kUnknownId << u"News"_s << websiteAnswer({.id = kUnknownId, .url = u"u"_s, .title = u"News"_s})
                                      << u"News"_s << before << true;
    }

    void rename()
    {
        QFETCH(qint64, id);
        QFETCH(QString, typed);
        QFETCH(StubServer::Response, answer);
        QFETCH(QString, sent);
        QFETCH(QList<SavedWebsite>, expected);
        QFETCH(bool, written);

        Fixture fixture;
        fixture.fetch(kLibrary);
        fixture.removeLocalCopies();
        const QString target = u"/api/websites/%1"_s.arg(id);
        fixture.server.on("PUT", target, answer);

        fixture.library.updateWebsiteTitle(id, typed);
        QVERIFY(fixture.settle());
        const QList<StubServer::Request> requests = fixture.server.requestsTo(target);
        QCOMPARE(requests.size(), sent.isEmpty() ? 0 : 1);
        if (!sent.isEmpty())
            QCOMPARE(QJsonDocument::fromJson(requests.first().body).object(), (QJsonObject{{u"title"_s, sent}}));
        QCOMPARE(fixture.library.websites(), expected);
        QVERIFY(written ? fixture.localCopiesHold(expected) : !fixture.anyLocalCopy());
    }

    void deleteRemovesTheWebsiteAndOnlyItsThumbnail()
    {
        Fixture fixture;
        Library &library = fixture.library;
        QList<SavedWebsite> websites;
        for (const qint64 id : {7, 17, 70})
            websites.append({.id = id, .url = u"https://%1.test/"_s.arg(id), .title = QString::number(id)});
        fixture.fetch(websites);
        auto &store = fixture.localStore;
        for (const qint64 id : {7, 17, 70}) {
            writeFile(store.thumbnailFile(id), imageBytes(16));
            QVERIFY(store.loadCachedThumbnail(id));
        }

        fixture.server.queue("DELETE", u"/api/websites/7"_s, StubServer::text(500, QByteArray()));
        library.deleteWebsite(7);
        QVERIFY(fixture.settle());
        QCOMPARE(idsOf(library.websites()), (QList<qint64>{70, 17, 7}));
        QVERIFY(QFile::exists(store.thumbnailFile(7)));

        // The answer's identifier is not consulted.
        for (const qint64 id : {7, 17, 70})
            fixture.server.on("DELETE", u"/api/websites/%1"_s.arg(id), StubServer::json(200, QJsonObject{{u"deletedId"_s, 5}}));
        library.deleteWebsite(7);
        QVERIFY(fixture.settle());
        QCOMPARE(idsOf(library.websites()), (QList<qint64>{70, 17}));
        // Gone from memory too, so that it cannot come back from there.
        QVERIFY(!QFile::exists(store.thumbnailFile(7)) && !store.loadCachedThumbnail(7));
        QVERIFY(QFile::exists(store.thumbnailFile(17)) && QFile::exists(store.thumbnailFile(70)));
        QVERIFY(fixture.localCopiesHold(library.websites()));

        // Two deletions at once both land; the last one leaves empty copies, not missing ones.
        library.deleteWebsite(17);
        library.deleteWebsite(70);
        QVERIFY(fixture.settle());
        QVERIFY(library.websites().isEmpty());
        QVERIFY(fixture.localCopiesHold({}));
    }

    void exportWritesTheLibrary()
    {
        Fixture fixture;
        const QString path = fixture.environment.path(u"export.json"_s);
        fixture.saveDialog.answer = path;
        fixture.library.exportBookmarksToFile();
        QCOMPARE(readFile(path), "[]"_ba);

        fixture.fetch(kLibrary);
        fixture.library.exportBookmarksToFile();
        QCOMPARE(readFile(path), compact(LibraryOrder::sorted(kLibrary)));
        // The proposed name gives a typed name its suffix.
        QCOMPARE(fixture.saveDialog.questions.first(), u"corvane-bookmarks.json"_s);

        // Files may not grow past 16 bytes for a moment: the export fails half-way, as on a full disk.
        writeFile(path, "earlier backup");
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = previous;
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
        fixture.library.exportBookmarksToFile();
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
        QCOMPARE(readFile(path), "earlier backup"_ba);
        QCOMPARE(QDir(fixture.environment.path(QString())).entryList({u"export.json*"_s}, QDir::Files | QDir::Hidden),
                 QStringList{u"export.json"_s});
        QVERIFY(fixture.library.exportError());

        // Cancelled: the earlier file stays too, and the earlier failure is forgotten.
        fixture.saveDialog.answer.reset();
        fixture.library.exportBookmarksToFile();
        QCOMPARE(readFile(path), "earlier backup"_ba);
        QVERIFY(!fixture.library.exportError());
    }
};

QTEST_MAIN(LibraryTest)
#include "librarytest.moc"
