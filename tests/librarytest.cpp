#include "support/testenvironment.h"

#include "library/librarycopieswriter.h"
#include "library/libraryorder.h"
#include "library/localstoremanager.h"

#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

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

// A signed-in session with the given local copies (absent when empty), then a model over it.
std::unique_ptr<AppViewModel> restore(TestEnvironment &environment, const QByteArray &cacheFile, const QByteArray &preferencesCopy)
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
    return environment.makeViewModel();
}
}

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
        LibraryCopiesWriter writer([&environment] { return environment.preferences(); });

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
};

QTEST_MAIN(LibraryTest)
#include "librarytest.moc"
