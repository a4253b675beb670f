#include "support/fakesecretstore.h"
#include "support/stubserver.h"
#include "support/testenvironment.h"

#include "account/authenticationcard.h"
#include "api/backendclient.h"
#include "library/localstoremanager.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace
{
const QJsonObject kUserJson{{u"id"_s, 7}, {u"email"_s, u"ada@example.org"_s}};

// The permission bits of path, or -1 when it does not exist.
int modeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

void makeFile(const QString &path, const QByteArray &bytes, int mode)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
}

void makeFolder(const QString &path, int mode)
{
    QVERIFY(QDir().mkpath(path));
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
}

QString inlinePng()
{
    QImage image(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 8, y * 8, (x * y) % 256));
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.save(&png, "PNG");
    return u"data:image/png;base64,"_s + QString::fromLatin1(png.data().toBase64());
}
}

// Where the session token and the remembered password live, and who may read the files that hold
// the rest.
class SecretStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plainSecretsMoveToTheSecretStore_data()
    {
        QTest::addColumn<bool>("secretStoreRuns");
        QTest::newRow("secret store") << true;
        QTest::newRow("none: the preferences file") << false;
    }

    void plainSecretsMoveToTheSecretStore()
    {
        QFETCH(bool, secretStoreRuns);
        TestEnvironment environment;
        {
            const auto preferences = environment.preferences();
            preferences->setText(Preferences::kJWTToken, u"old-token"_s);
            preferences->setData(Preferences::kCurrentUser, QJsonDocument(kUserJson).toJson(QJsonDocument::Compact));
            preferences->setText(Preferences::kRememberedEmail, u"ada@example.org"_s);
            preferences->setText(Preferences::kRememberedPassword, u"s3cret"_s);
        }
        QHash<QString, QString> secrets;
        if (secretStoreRuns)
            environment.setSecretStore(std::make_unique<FakeSecretStore>(secrets));

        const auto model = environment.makeViewModel();
        QVERIFY(model->isAuthenticated());
        QCOMPARE(model->backend().token(), std::optional(u"old-token"_s));
        QCOMPARE(model->account()->passwordInput(), u"s3cret"_s);

        QFile file(environment.path(u"preferences.ini"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        QCOMPARE(stored.contains("old-token"), !secretStoreRuns);
        QCOMPARE(stored.contains("s3cret"), !secretStoreRuns);
        QCOMPARE(stored.contains("ada@example.org"), true);
        if (secretStoreRuns)
            QCOMPARE(secrets, (QHash<QString, QString>{{u"corvane.jwtToken"_s, u"old-token"_s}, {u"corvane.rememberedPassword"_s, u"s3cret"_s}}));
    }

    void signInAndSignOutUseTheSecretStore()
    {
        StubServer backend;
        backend.on("POST", u"/api/auth/login"_s, StubServer::json(200, QJsonObject{{u"token"_s, u"fresh"_s}, {u"user"_s, kUserJson}}));
        backend.on("GET", u"/api/websites"_s, StubServer::json(200, QJsonObject{{u"websites"_s, QJsonArray()}}));
        TestEnvironment environment;
        QHash<QString, QString> secrets;
        environment.setSecretStore(std::make_unique<FakeSecretStore>(secrets));
        const auto model = environment.makeViewModel(backend.baseUrl());

        model->account()->setEmailInput(u"ada@example.org"_s);
        model->account()->setPasswordInput(u"s3cret"_s);
        model->account()->submitAuth();
        QTRY_VERIFY(model->isAuthenticated() && !model->account()->isAuthLoading());
        QCOMPARE(secrets.value(u"corvane.jwtToken"_s), u"fresh"_s);
        QCOMPARE(secrets.value(u"corvane.rememberedPassword"_s), u"s3cret"_s);
        QVERIFY(!environment.preferences()->contains(Preferences::kJWTToken));
        QVERIFY(!environment.preferences()->contains(Preferences::kRememberedPassword));

        model->logout();
        QVERIFY(!secrets.contains(u"corvane.jwtToken"_s));
        QCOMPARE(model->account()->passwordInput(), u"s3cret"_s);
    }

    // Files and folders an earlier version left open to everyone, and the ones made now.
    void storedFilesAreTheUsersAlone()
    {
        TestEnvironment environment;
        const QString store = environment.localStoreDirectory();
        makeFolder(store + u"/Thumbnails"_s, 0755);
        makeFolder(store, 0755);
        makeFile(store + u"/websites_cache.json"_s, "[]", 0644);
        makeFile(store + u"/Thumbnails/thumb_1.png"_s, "png", 0644);
        makeFile(environment.path(u"preferences.ini"_s), "", 0644);

        {
            const auto model = environment.makeViewModel();
            model->setShowHeaderEmail(false);
            QCOMPARE(modeOf(store), 0700);
            QCOMPARE(modeOf(store + u"/Thumbnails"_s), 0700);
            QCOMPARE(modeOf(store + u"/websites_cache.json"_s), 0600);
            QCOMPARE(modeOf(store + u"/Thumbnails/thumb_1.png"_s), 0600);

            LocalStoreManager &local = LocalStoreManager::shared();
            local.clearWebsitesCache();
            local.writeWebsitesToDisk({});
            QVERIFY(local.cacheThumbnailAsync(2, inlinePng()).result().has_value());
            QCOMPARE(modeOf(local.websitesCacheFile()), 0600);
            QCOMPARE(modeOf(local.thumbnailFile(2)), 0600);

            QVERIFY(QDir(store).removeRecursively());
            local.ensureDirectoriesExist();
            QCOMPARE(modeOf(store), 0700);
            QCOMPARE(modeOf(local.thumbnailsDirectory()), 0700);
        }
        // Saved when the model lets go of its preferences.
        QCOMPARE(modeOf(environment.path(u"preferences.ini"_s)), 0600);

        QFile::remove(environment.path(u"preferences.ini"_s));
        Preferences(std::make_unique<QSettings>(environment.path(u"preferences.ini"_s), QSettings::IniFormat))
            .setBool(Preferences::kShowHeaderEmail, true);
        QCOMPARE(modeOf(environment.path(u"preferences.ini"_s)), 0600);
    }
};

QTEST_MAIN(SecretStoreTest)
#include "secretstoretest.moc"
