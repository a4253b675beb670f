#include "addonidentity.h"
#include "browserbridge.h"
#include "browserconnections.h"
#include "hostregistration.h"
#include "loginstart.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
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
}

// What settings show of the desktop: each browser's bridge and the log-in entry, over real
// folders and a real bridge.
class DesktopIntegrationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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

    // Connecting from settings writes what --connect-browsers writes, and the state follows.
    void connectingRegisters()
    {
        const QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(u".mozilla"_s));
        BrowserConnections connections(nullptr, HostRegistration(home.path(), u"/usr/bin/corvane"_s, home.filePath(u"none"_s)));
        QSignalSpy changed(&connections, &BrowserConnections::browsersChanged);
        QCOMPARE(connections.summary(), BrowserConnections::State::HostNotRegistered);

        connections.connectBrowsers();

        QCOMPARE(changed.count(), 1);
        QCOMPARE(connections.browsers(), (QList<BrowserConnections::Browser>{{u"firefox"_s, BrowserConnections::State::AddonMissing}}));
        QVERIFY(QFile::exists(home.filePath(u".mozilla/native-messaging-hosts/%1.json"_s.arg(AddonIdentity::hostName))));
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
        QVERIFY(written.contains("\nType=Application\n"));

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

    void logInFolder_data()
    {
        QTest::addColumn<QByteArray>("configHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("set") << QByteArray("/tmp/cfg") << u"/tmp/cfg/autostart"_s;
        QTest::newRow("unset") << QByteArray() << QDir::home().filePath(u".config/autostart"_s);
        QTest::newRow("relative is ignored") << QByteArray("cfg") << QDir::home().filePath(u".config/autostart"_s);
    }

    void logInFolder()
    {
        QFETCH(QByteArray, configHome);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", configHome);
        const QString folder = LogInStart::defaultFolder();
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(folder, expected);
    }
};

QTEST_GUILESS_MAIN(DesktopIntegrationTest)
#include "desktopintegrationtest.moc"
