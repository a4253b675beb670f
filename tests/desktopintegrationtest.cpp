#include "addonidentity.h"
#include "browserbridge.h"
#include "browserconnections.h"
#include "hostregistration.h"
#include "loginstart.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

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
}

// The desktop around the app, over real folders: the host manifests the browsers read, each
// browser's bridge as settings show it, and the log-in entry.
class DesktopIntegrationTest : public QObject
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

        QCOMPARE(outcomeFor(registration.connectBrowsers(), foreignPath), HostRegistration::Outcome::Foreign);
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
        QCOMPARE(outcomeFor(registration.connectBrowsers(), path), HostRegistration::Outcome::Unchanged);
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

    void bridgeStates_data()
    {
        QTest::addColumn<QString>("chromiumFolder");
        QTest::addColumn<QString>("manifestFolder");
        QTest::addColumn<qint64>("quietForMs");
        QTest::addColumn<QVariantList>("expected");

        const auto connected = QVariant::fromValue(BrowserConnections::State::Connected);
        const auto addonMissing = QVariant::fromValue(BrowserConnections::State::AddonMissing);
        const auto notRegistered = QVariant::fromValue(BrowserConnections::State::HostNotRegistered);
        const QString profile = u"home/.config/chromium"_s;
        const QString perUser = u"home/.config/chromium/NativeMessagingHosts"_s;
        const QString systemWide = u"system/etc/chromium/native-messaging-hosts"_s;
        // quietForMs < 0: the add-on never spoke.
        QTest::newRow("no browser, nothing spoke") << QString() << QString() << qint64(-1) << QVariantList{};
        QTest::newRow("browser, host not registered") << profile << QString() << qint64(-1) << QVariantList{notRegistered};
        QTest::newRow("registered, add-on silent") << profile << perUser << qint64(-1) << QVariantList{addonMissing};
        QTest::newRow("installed system-wide") << profile << systemWide << qint64(-1) << QVariantList{addonMissing};
        QTest::newRow("registered and speaking") << profile << perUser << qint64(1'000) << QVariantList{connected};
        QTest::newRow("quiet past the limit") << profile << perUser << qint64(61'000) << QVariantList{addonMissing};
        QTest::newRow("speaking, registered elsewhere") << QString() << QString() << qint64(1'000) << QVariantList{connected};
    }

    void bridgeStates()
    {
        QFETCH(QString, chromiumFolder);
        QFETCH(QString, manifestFolder);
        QFETCH(qint64, quietForMs);
        QFETCH(QVariantList, expected);

        const QTemporaryDir root;
        const QDir folder(root.path());
        QVERIFY(chromiumFolder.isEmpty() || folder.mkpath(chromiumFolder));
        const HostRegistration registration(folder.filePath(u"home"_s), u"/usr/bin/corvane"_s, folder.filePath(u"system"_s));
        if (!manifestFolder.isEmpty()) {
            QVERIFY(writeFile(folder.filePath(manifestFolder + u"/%1.json"_s.arg(AddonIdentity::hostName)),
                              registration.manifest(HostRegistration::Family::Chromium)));
        }
        QJsonArray report;
        if (quietForMs >= 0)
            report.append(QJsonObject{{u"browser"_s, u"chromium"_s}, {u"lastMessageAgeMs"_s, quietForMs}});

        const BrowserConnections connections(BrowserBridge::fromReport(report), registration);

        QVariantList shown;
        for (const BrowserConnections::Browser &browser : connections.browsers()) {
            QCOMPARE(browser.browserId, u"chromium"_s);
            shown.append(QVariant::fromValue(browser.state));
        }
        QCOMPARE(shown, expected);
        QCOMPARE(connections.summary(),
                 expected.isEmpty() ? BrowserConnections::State::HostNotRegistered : expected.first().value<BrowserConnections::State>());
    }

    void logInEntry()
    {
        const QTemporaryDir config;
        const QString folder = config.filePath(u"autostart"_s);
        LogInStart start(folder, u"/opt/My Apps/corvane"_s);
        QSignalSpy changed(&start, &LogInStart::isEnabledChanged);
        QVERIFY(!start.isEnabled());

        start.setEnabled(true);
        QVERIFY(start.isEnabled());
        QCOMPARE(changed.count(), 1);
        const QByteArray written = readAll(QDir(folder).filePath(u"corvane.desktop"_s));
        QVERIFY(written.startsWith("[Desktop Entry]\n"));
        QVERIFY(written.contains("\nExec=\"/opt/My Apps/corvane\"\n"));

        start.setEnabled(false);
        QVERIFY(!start.isEnabled());
        QVERIFY(!QFile::exists(QDir(folder).filePath(u"corvane.desktop"_s)));

        // An entry the user's desktop wrote shows as on once settings look again.
        QVERIFY(writeFile(QDir(folder).filePath(u"corvane.desktop"_s), "[Desktop Entry]\nExec=corvane\n"));
        QVERIFY(!start.isEnabled());
        start.refresh();
        QVERIFY(start.isEnabled());
        QCOMPARE(changed.count(), 3);
    }
};

QTEST_GUILESS_MAIN(DesktopIntegrationTest)
#include "desktopintegrationtest.moc"
