#include "support/fakesecretstore.h"
#include "support/stubserver.h"
#include "support/testenvironment.h"

#include "account/authenticationcard.h"
#include "api/backendclient.h"
#include "library/localstoremanager.h"

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
    void secretsStayOutOfThePreferences_data()
    {
        QTest::addColumn<bool>("secretStoreRuns");
        QTest::newRow("secret store") << true;
        QTest::newRow("none: the preferences file") << false;
    }

    // Plain secrets left by an earlier version move at start; later sessions go there too.
    void secretsStayOutOfThePreferences()
    {
        QFETCH(bool, secretStoreRuns);
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
        if (secretStoreRuns)
            environment.setSecretStore(std::make_unique<FakeSecretStore>(secrets));

        const auto model = environment.makeViewModel(backend.baseUrl());
        QVERIFY(model->isAuthenticated());
        QCOMPARE(model->backend().token(), std::optional(u"old-token"_s));
        QCOMPARE(model->account()->passwordInput(), u"s3cret"_s);
        QFile file(environment.path(u"preferences.ini"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray onDisk = file.readAll();
        QCOMPARE(onDisk.contains("old-token") || onDisk.contains("s3cret"), !secretStoreRuns);
        if (secretStoreRuns)
            QCOMPARE(secrets,
                     (QHash<QString, QString>{{u"corvane.jwtToken"_s, u"old-token"_s}, {u"corvane.rememberedPassword"_s, u"s3cret"_s}}));

        model->logout();
        QVERIFY(!secrets.contains(u"corvane.jwtToken"_s));
        model->account()->submitAuth();
        QTRY_VERIFY(model->isAuthenticated() && !model->account()->isAuthLoading());
        QCOMPARE(environment.preferences()->text(Preferences::kJWTToken), secretStoreRuns ? std::nullopt : std::optional(u"fresh"_s));
        QCOMPARE(secrets.value(u"corvane.jwtToken"_s), secretStoreRuns ? u"fresh"_s : QString());
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

            LocalStoreManager &local = LocalStoreManager::shared();
            QVERIFY(QDir(store).removeRecursively());
            local.ensureDirectoriesExist();
            local.writeWebsitesToDisk({});
            QCOMPARE(modeOf(store), 0700);
            QCOMPARE(modeOf(thumbnails), 0700);
            QCOMPARE(modeOf(local.websitesCacheFile()), 0600);
        }
        QFile::remove(preferencesFile);
        Preferences(std::make_unique<QSettings>(preferencesFile, QSettings::IniFormat)).setBool(Preferences::kShowHeaderEmail, true);
        QCOMPARE(modeOf(preferencesFile), 0600);
    }
};

QTEST_MAIN(SecretStoreTest)
#include "secretstoretest.moc"
