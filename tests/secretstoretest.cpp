#include "support/fakesecretstore.h"
#include "support/stubserver.h"
#include "support/testdata.h"
#include "support/testenvironment.h"

#include "authenticationcard.h"
#include "backendclient.h"
#include "librarycopies.h"

#include <QJsonArray>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace
{
const User kUser{.id = 7, .email = u"ada@example.org"_s};

// The permission bits of path, or -1 when it does not exist.
int modeOf(const QString &path)
{
    struct stat status {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

void create(const QString &path, bool folder, int mode)
{
    QVERIFY(folder ? QDir().mkpath(path) : QFile(path).open(QIODevice::WriteOnly));
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
}
}

// Where the session token and the remembered password live, and who may read the files that hold
// the rest.
class SecretStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Plain secrets left by an earlier version move to a running secret store at start; later
    // sessions go there too. Without one, they stay in the preferences (appviewmodeltest).
    void secretsStayOutOfThePreferences()
    {
        StubServer backend;
        backend.on("POST", u"/api/auth/login"_s, StubServer::json(200, QJsonObject{{u"token"_s, u"fresh"_s}, {u"user"_s, kUser.toJson()}}));
        backend.on("GET", u"/api/websites"_s, StubServer::json(200, QJsonObject{{u"websites"_s, QJsonArray()}}));
        TestEnvironment environment;
        environment.storeSession(kUser, u"old-token"_s);
        {
            const auto preferences = environment.preferences();
            preferences->setText(Preferences::kRememberedEmail, u"ada@example.org"_s);
            preferences->setText(Preferences::kRememberedPassword, u"s3cret"_s);
        }
        QHash<QString, QString> secrets;
        environment.setSecretStore(std::make_unique<FakeSecretStore>(secrets));

        const auto model = environment.makeViewModel(backend.baseUrl());
        QVERIFY(model->isAuthenticated());
        QCOMPARE(model->backend().token(), std::optional(u"old-token"_s));
        QCOMPARE(model->account()->passwordInput(), u"s3cret"_s);
        const QByteArray onDisk = readFile(environment.path(u"preferences.ini"_s));
        QVERIFY(onDisk.contains("ada@example.org") && !onDisk.contains("old-token") && !onDisk.contains("s3cret"));
        QCOMPARE(secrets,
                 (QHash<QString, QString>{{u"corvane.jwtToken"_s, u"old-token"_s}, {u"corvane.rememberedPassword"_s, u"s3cret"_s}}));

        model->logout();
        QVERIFY(!secrets.contains(u"corvane.jwtToken"_s));
        model->account()->submitAuth();
        QTRY_VERIFY(model->isAuthenticated() && !model->account()->isAuthLoading());
        QVERIFY(!environment.preferences()->contains(Preferences::kJWTToken));
        QCOMPARE(secrets.value(u"corvane.jwtToken"_s), u"fresh"_s);
    }

    // Files and folders an earlier version left open to everyone, and the ones made now.
    void storedFilesAreTheUsersAlone()
    {
        TestEnvironment environment;
        const QString store = environment.localStoreDirectory();
        const QString thumbnails = store + u"/Thumbnails"_s;
        const QString preferencesFile = environment.path(u"preferences.ini"_s);
        create(thumbnails, true, 0755);
        create(store, true, 0755);
        create(thumbnails + u"/thumb_1.png"_s, false, 0644);
        create(preferencesFile, false, 0644);
        {
            const auto model = environment.makeViewModel();
            QCOMPARE(modeOf(store), 0700);
            QCOMPARE(modeOf(thumbnails), 0700);
            QTRY_COMPARE(modeOf(thumbnails + u"/thumb_1.png"_s), 0600);
            QCOMPARE(modeOf(preferencesFile), 0600);

            // Removed while the application runs: the next cache write makes both folders again.
            QVERIFY(QDir(store).removeRecursively());
            LibraryCopies copies(environment.preferences()->location(), model->localStore());
            copies.writeCacheFile({});
            copies.flush();
            QCOMPARE(modeOf(store), 0700);
            QCOMPARE(modeOf(thumbnails), 0700);
            QCOMPARE(modeOf(LibraryCopies::cacheFileName(store)), 0600);
        }
        QFile::remove(preferencesFile);
        Preferences(std::make_unique<QSettings>(preferencesFile, QSettings::IniFormat)).setBool(Preferences::kShowHeaderEmail, true);
        QCOMPARE(modeOf(preferencesFile), 0600);
    }

    void linksAreReplacedNotFollowed_data()
    {
        QTest::addColumn<QString>("link");
        for (const char *link : {"preferences.ini", "preferences.library.ini", "Corvane/websites_cache.json", "Corvane/Thumbnails",
                                 "Corvane/Thumbnails/thumb_1.png"})
            QTest::newRow(link) << QString::fromLatin1(link);
    }

    // A link planted where a private file belongs points at an empty file (or folder) anyone may
    // read. Signing in and fetching the library write the session, both copies and a thumbnail.
    void linksAreReplacedNotFollowed()
    {
        QFETCH(QString, link);
        const bool folder = link.endsWith(u"Thumbnails"_s);
        const QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(u"target"_s);
        create(target, folder, folder ? 0755 : 0644);
        TestEnvironment environment;
        const QString planted = environment.path(link);
        QVERIFY(QDir().mkpath(environment.path(u"Corvane/Thumbnails"_s)) && QDir().rmdir(planted) == folder);
        QVERIFY(QFile::link(target, planted));
        const SavedWebsite website{.id = 1,
                                   .url = u"https://example.org/"_s,
                                   .title = u"Example"_s,
                                   .screenshotUrl = u"data:image/png;base64,"_s + QString::fromLatin1(imageBytes(8).toBase64())};
        StubServer backend;
        backend.on("POST", u"/api/auth/login"_s, StubServer::json(200, QJsonObject{{u"token"_s, u"fresh"_s}, {u"user"_s, kUser.toJson()}}));
        backend.on("GET", u"/api/websites"_s, StubServer::json(200, WebsitesResponse{{website}}.toJson()));
        {
            const auto model = environment.makeViewModel(backend.baseUrl());
            model->account()->setEmailInput(kUser.email);
            model->account()->setPasswordInput(u"s3cret"_s);
            model->account()->submitAuth();
            // Sizes through the link, so a write into the target ends the wait as well.
            QTRY_VERIFY(std::ranges::all_of(QStringList{u"preferences.ini"_s, u"preferences.library.ini"_s,
                                                        u"Corvane/websites_cache.json"_s, u"Corvane/Thumbnails/thumb_1.png"_s},
                                            [&](const QString &file) { return QFileInfo(environment.path(file)).size() > 0; }));
        }
        QCOMPARE(modeOf(target), folder ? 0755 : 0644);
        QVERIFY(folder ? QDir(target).isEmpty() : QFileInfo(target).size() == 0);
        QVERIFY(!QFileInfo(planted).isSymLink());
        QCOMPARE(modeOf(planted), folder ? 0700 : 0600);
    }

    // A session found through a link was written by whoever controls its target: it is not taken.
    void sessionBehindALinkIsNotTaken()
    {
        TestEnvironment environment;
        environment.storeSession(kUser);
        environment.preferences()->setData(Preferences::kSavedWebsites, "[]");
        const QTemporaryDir elsewhere;
        const QString planted = elsewhere.filePath(u"preferences.ini"_s);
        QVERIFY(QFile::rename(environment.path(u"preferences.ini"_s), planted));
        QVERIFY(QFile::link(planted, environment.path(u"preferences.ini"_s)));
        QVERIFY(!environment.makeViewModel()->isAuthenticated());
    }
};

QTEST_MAIN(SecretStoreTest)
#include "secretstoretest.moc"
