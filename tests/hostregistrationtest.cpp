#include "hostregistration.h"
#include "addonidentity.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

HostRegistration::Outcome outcomeFor(const QList<HostRegistration::Result> &results, const QString &path)
{
    const auto found = std::find_if(results.cbegin(), results.cend(), [&path](const auto &result) { return result.path == path; });
    return found == results.cend() ? HostRegistration::Outcome::Failed : found->outcome;
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}
}

class HostRegistrationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The host manifests must name the add-on the build packs: the Chromium family derives its id
    // from the key in the add-on's manifest.
    void namesTheAddOnThatIsBuilt()
    {
        const QJsonObject manifest = QJsonDocument::fromJson(readAll(QStringLiteral(CORVANE_ADDON_MANIFEST))).object();
        const QByteArray digest
            = QCryptographicHash::hash(QByteArray::fromBase64(manifest.value("key"_L1).toString().toLatin1()), QCryptographicHash::Sha256)
                  .toHex()
                  .left(32);
        QByteArray extensionId;
        for (const char digit : digest)
            extensionId.append(char('a' + QByteArray(1, digit).toInt(nullptr, 16)));
        QCOMPARE(QLatin1StringView(extensionId), AddonIdentity::chromiumExtensionId);
        QCOMPARE(AddonIdentity::chromiumOrigin, u"chrome-extension://%1/"_s.arg(QLatin1StringView(extensionId)));
        QCOMPARE(manifest.value("browser_specific_settings"_L1)["gecko"_L1]["id"_L1].toString(), AddonIdentity::geckoId);
    }

    void registersPerBrowser_data()
    {
        QTest::addColumn<QString>("browserFolder");
        QTest::addColumn<QString>("manifestPath");
        QTest::addColumn<QString>("allowedKey");
        QTest::addColumn<QString>("allowed");

        // One browser of each family: the others differ only in the folder their table entry names.
        QTest::newRow("firefox") << u".mozilla"_s << u".mozilla/native-messaging-hosts/app.corvane.bridge.json"_s << u"allowed_extensions"_s
                                 << u"bridge@corvane.app"_s;
        QTest::newRow("chromium") << u".config/chromium"_s << u".config/chromium/NativeMessagingHosts/app.corvane.bridge.json"_s
                                  << u"allowed_origins"_s << u"chrome-extension://mffkcdpkadofjmldljloenbbppnbogie/"_s;
    }
    void registersPerBrowser()
    {
        QFETCH(QString, browserFolder);
        QFETCH(QString, manifestPath);
        QFETCH(QString, allowedKey);
        QFETCH(QString, allowed);

        QTemporaryDir home;
        const QDir homeFolder(home.path());
        QVERIFY(homeFolder.mkpath(browserFolder));
        // Another browser whose folder already holds a file of that name that Corvane did not write.
        const QString foreignPath = homeFolder.filePath(u".config/vivaldi/NativeMessagingHosts/app.corvane.bridge.json"_s);
        const QByteArray foreign = R"({"name":"app.corvane.bridge","path":"/usr/bin/someone-else"})";
        QVERIFY(writeFile(foreignPath, foreign));
        const HostRegistration registration(home.path(), u"/opt/corvane/bin/corvane"_s);

        const QList<HostRegistration::Result> written = registration.connectBrowsers();
        QCOMPARE(written.size(), 2);
        const QString path = homeFolder.filePath(manifestPath);
        const QJsonObject manifest = QJsonDocument::fromJson(readAll(path)).object();
        QCOMPARE(manifest.value("name"_L1).toString(), u"app.corvane.bridge"_s);
        QCOMPARE(manifest.value("path"_L1).toString(), u"/opt/corvane/bin/corvane"_s);
        QCOMPARE(manifest.value("type"_L1).toString(), u"stdio"_s);
        QCOMPARE(manifest.value(allowedKey).toArray(), QJsonArray{allowed});
        QCOMPARE(manifest.keys().size(), 5);
        QCOMPARE(readAll(foreignPath), foreign);

        const QDateTime firstWrite = QFileInfo(path).lastModified();
        QTest::qWait(20);
        const QList<HostRegistration::Result> again = registration.connectBrowsers();
        QCOMPARE(again.size(), 2);
        QCOMPARE(outcomeFor(again, path), HostRegistration::Outcome::Unchanged);
        QCOMPARE(outcomeFor(again, foreignPath), HostRegistration::Outcome::Foreign);
        QCOMPARE(QFileInfo(path).lastModified(), firstWrite);

        // A moved program rewrites its own manifest.
        QCOMPARE(outcomeFor(HostRegistration(home.path(), u"/usr/bin/corvane"_s).connectBrowsers(), path),
                 HostRegistration::Outcome::Written);
        QCOMPARE(QJsonDocument::fromJson(readAll(path)).object().value("path"_L1).toString(), u"/usr/bin/corvane"_s);

        QCOMPARE(outcomeFor(registration.disconnectBrowsers(), path), HostRegistration::Outcome::Removed);
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(QFileInfo::exists(homeFolder.filePath(browserFolder)));
        QCOMPARE(readAll(foreignPath), foreign);
        QCOMPARE(outcomeFor(registration.disconnectBrowsers(), foreignPath), HostRegistration::Outcome::Foreign);
    }
};

QTEST_GUILESS_MAIN(HostRegistrationTest)
#include "hostregistrationtest.moc"
