#include "capture/desktopsessiontabreader.h"
#include "platform/linuxprocess.h"
#include "support/sessionfixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace SessionFixtures;

namespace {
const KnownBrowser &browserRow(QLatin1StringView bundleId)
{
    return *std::find_if(knownBrowsers.cbegin(), knownBrowsers.cend(),
                         [&](const KnownBrowser &row) { return row.bundleId == bundleId; });
}
const KnownBrowser &firefox = browserRow(QLatin1StringView("org.mozilla.firefox"));
const KnownBrowser &chromium = browserRow(QLatin1StringView("org.chromium.Chromium"));

// "url|title|days ago" per visit.
QList<Visit> visits(const QStringList &rows)
{
    QList<Visit> result;
    for (const QString &row : rows) {
        const QStringList fields = row.split(QLatin1Char('|'));
        result.append({fields.at(0), fields.at(1), QDateTime::currentDateTimeUtc().addDays(-fields.at(2).toInt())});
    }
    return result;
}

// Holds a database the way a running browser does: exclusive locking with a write in progress.
class LockedDatabase
{
public:
    explicit LockedDatabase(const QString &path)
        : m_database(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("browser")))
    {
        m_database.setDatabaseName(path);
        m_database.open();
        QSqlQuery query(m_database);
        query.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
        query.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    }
    ~LockedDatabase()
    {
        m_database.rollback();
        m_database.close();
        m_database = {};
        QSqlDatabase::removeDatabase(QStringLiteral("browser"));
    }

private:
    QSqlDatabase m_database;
};
}

class DesktopSessionTabReaderTest : public QObject
{
    Q_OBJECT

private:
    QString path(const QString &relative) const { return m_home->filePath(relative); }
    QString firefoxRoot() const { return path(QStringLiteral(".config/mozilla/firefox")); }
    QString firefoxProfile() const { return firefoxRoot() + QLatin1StringView("/xyz.default-esr"); }
    QString chromiumProfile() const { return path(QStringLiteral(".config/chromium/Profile 1")); }

    void showWindow(const KnownBrowser &browser, const QString &title, qint64 processId = QCoreApplication::applicationPid(),
                    const QString &classInstance = {})
    {
        m_windows->windows.insert(QString(browser.bundleId), {7, title, processId, classInstance});
    }

    QString m_systemTemp;
    std::unique_ptr<QTemporaryDir> m_home;
    std::shared_ptr<FakeBrowserWindows> m_windows;

private Q_SLOTS:
    void initTestCase() { m_systemTemp = QDir::tempPath(); }

    void init()
    {
        // Each case gets a fresh home; TMPDIR points into it, so the next one is made elsewhere.
        m_home.reset();
        m_home = std::make_unique<QTemporaryDir>(m_systemTemp + QLatin1StringView("/corvane-home-XXXXXX"));
        qputenv("HOME", m_home->path().toUtf8());
        qputenv("XDG_CONFIG_HOME", path(QStringLiteral(".config")).toUtf8());
        QDir().mkpath(path(QStringLiteral("tmp")));
        qputenv("TMPDIR", path(QStringLiteral("tmp")).toUtf8());
        m_windows = std::make_shared<FakeBrowserWindows>();

        // Two profiles: the install's default is in use, the one marked default holds a tab
        // with the same title that must never be answered.
        writeFirefoxProfiles(firefoxRoot(), {QStringLiteral("abc.default"), QStringLiteral("xyz.default-esr")},
                             QStringLiteral("xyz.default-esr"));
        writeFile(firefoxRoot() + QLatin1StringView("/abc.default/sessionstore-backups/recovery.jsonlz4"),
                  mozLz4(firefoxSessionJson({{QStringLiteral("https://wrong-profile.example/"), QStringLiteral("Example Domain")},
                                             {QStringLiteral("https://wrong-profile.example/2"), QStringLiteral("New Page")}},
                                            0)));
        writeFirefoxHistory(firefoxRoot() + QLatin1StringView("/abc.default"),
                            visits({QStringLiteral("https://wrong-profile.example/|New Page|0"),
                                    QStringLiteral("https://wrong-profile.example/r|Remaining|0")}));
        writeFile(path(QStringLiteral(".config/chromium/Local State")), R"({"profile":{"last_used":"Profile 1"}})");
    }

    void firefoxAnswer_data()
    {
        QTest::addColumn<QString>("windowTitle");
        QTest::addColumn<QByteArray>("sessionFile");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("expected");

        const QByteArray example = mozLz4(firefoxSessionJson(
            {{QStringLiteral("https://first.example/"), QStringLiteral("First")},
             {QStringLiteral("https://example.org/"), QStringLiteral("Example Domain")}},
            1));
        const QString exampleAnswer = QStringLiteral("https://example.org/|||Example Domain");
        QTest::newRow("em-dash suffix") << QStringLiteral("Example Domain — Mozilla Firefox") << example << QStringList() << exampleAnswer;
        QTest::newRow("hyphen suffix") << QStringLiteral("Example Domain - Mozilla Firefox") << example << QStringList() << exampleAnswer;
        QTest::newRow("no suffix") << QStringLiteral("Example Domain") << example << QStringList() << exampleAnswer;
        QTest::newRow("another tab's title is no match")
            << QStringLiteral("First — Mozilla Firefox") << example << QStringList() << QStringLiteral("|||First");

        const QByteArray stale = mozLz4(
            firefoxSessionJson({{QStringLiteral("https://old.example/"), QStringLiteral("Old Page")}}, 0));
        QTest::newRow("stale session, newest visit from history")
            << QStringLiteral("New Page — Mozilla Firefox") << stale
            << QStringList{QStringLiteral("https://older.example/|New Page|3"), QStringLiteral("https://new.example/|New Page|0"),
                           QStringLiteral("https://other.example/|Other|0")}
            << QStringLiteral("https://new.example/|||New Page");
        QTest::newRow("tab closed since") << QStringLiteral("Remaining — Mozilla Firefox") << stale
                                          << QStringList{QStringLiteral("https://old.example/|Old Page|0")}
                                          << QStringLiteral("|||Remaining");
        QTest::newRow("a visit months ago is not recent")
            << QStringLiteral("New Page") << stale << QStringList{QStringLiteral("https://ancient.example/|New Page|90")}
            << QStringLiteral("|||New Page");
        QTest::newRow("no session written yet") << QStringLiteral("New Page") << QByteArray()
                                                << QStringList{QStringLiteral("https://new.example/|New Page|0")}
                                                << QStringLiteral("https://new.example/|||New Page");

        QByteArray truncated = example;
        truncated.chop(20);
        QByteArray hugeSize = example;
        hugeSize[11] = char(0x7f);
        QByteArray badMagic = example;
        badMagic[0] = 'n';
        const QString titleOnly = QStringLiteral("|||Example Domain");
        QTest::newRow("truncated lz4 block") << QStringLiteral("Example Domain") << truncated << QStringList() << titleOnly;
        QTest::newRow("declared size beyond the cap") << QStringLiteral("Example Domain") << hugeSize << QStringList() << titleOnly;
        QTest::newRow("not mozlz4") << QStringLiteral("Example Domain") << badMagic << QStringList() << titleOnly;
        QTest::newRow("not json") << QStringLiteral("Example Domain") << mozLz4("{\"windows\": [") << QStringList() << titleOnly;
        QTest::newRow("selection out of range")
            << QStringLiteral("Example Domain")
            << mozLz4(firefoxSessionJson({{QStringLiteral("https://example.org/"), QStringLiteral("Example Domain")}}, 4))
            << QStringList() << titleOnly;
        QTest::newRow("window titled only with the browser's name")
            << QStringLiteral("Mozilla Firefox") << example << QStringList() << QStringLiteral("|||");
    }

    void firefoxAnswer()
    {
        QFETCH(QString, windowTitle);
        QFETCH(QByteArray, sessionFile);
        QFETCH(QStringList, history);
        QFETCH(QString, expected);

        if (!sessionFile.isEmpty())
            writeFile(firefoxProfile() + QLatin1StringView("/sessionstore-backups/recovery.jsonlz4"), sessionFile);
        writeFirefoxHistory(firefoxProfile(), visits(history));
        showWindow(firefox, windowTitle);

        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(firefox), std::optional(expected));
        QCOMPARE(reader.lastReadReport().value(QStringLiteral("profile")).toString(), firefoxProfile());
        // The history copy is gone once the query is done.
        QCOMPARE(QDir(path(QStringLiteral("tmp"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void chromiumAnswer_data()
    {
        QTest::addColumn<QByteArray>("sessionFile");
        QTest::addColumn<bool>("writtenAfterTitle");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("expected");

        const auto twoTabs = [] {
            return SnssWriter()
                .tabInWindow(1, 10, 0)
                .navigation(10, 0, QStringLiteral("https://first.example/"))
                .selectedNavigation(10, 0)
                .tabInWindow(1, 11, 1)
                .navigation(11, 0, QStringLiteral("https://old.example/"))
                .navigation(11, 1, QStringLiteral("https://page.example/"))
                .selectedNavigation(11, 1)
                .selectedTab(1, 1)
                .activeWindow(1);
        };
        const QByteArray session = twoTabs().bytes();
        const QString fromSession = QStringLiteral("https://page.example/|||Page");
        const QString titleOnly = QStringLiteral("|||Page");
        const QStringList pageVisit{QStringLiteral("https://visited.example/|Page|0")};

        QTest::newRow("written after the title changed") << session << true << pageVisit << fromSession;
        QTest::newRow("written before: history") << session << false << pageVisit
                                                 << QStringLiteral("https://visited.example/|||Page");
        QTest::newRow("written before, nothing in history") << session << false << QStringList() << titleOnly;
        QTest::newRow("record carries the title")
            << SnssWriter().tabInWindow(1, 10, 0).navigation(10, 0, QStringLiteral("https://titled.example/"), QStringLiteral("Page"))
                   .selectedNavigation(10, 0).selectedTab(1, 0).activeWindow(1).bytes()
            << false << pageVisit << QStringLiteral("https://titled.example/|||Page");
        QTest::newRow("second window active")
            << twoTabs().tabInWindow(2, 20, 0).navigation(20, 0, QStringLiteral("https://second.example/"))
                   .selectedNavigation(20, 0).selectedTab(2, 0).activeWindow(2).bytes()
            << true << QStringList() << QStringLiteral("https://second.example/|||Page");
        QTest::newRow("selected tab closed") << twoTabs().tabClosed(11).bytes() << true << QStringList() << titleOnly;
        QTest::newRow("record longer than the file")
            << twoTabs().raw(QByteArray::fromHex("f401") + char(6) + QByteArray(40, 'x')).bytes() << true << QStringList()
            << titleOnly;
        QTest::newRow("navigation string longer than its record")
            << twoTabs().raw(QByteArray::fromHex("0d00") + char(6) + QByteArray::fromHex("0c000000 0b000000 02000000 ffffff7f"))
                   .bytes()
            << true << QStringList() << titleOnly;
        QTest::newRow("not snss") << QByteArray("SNSX") + session.mid(4) << true << QStringList() << titleOnly;
    }

    void chromiumAnswer()
    {
        QFETCH(QByteArray, sessionFile);
        QFETCH(bool, writtenAfterTitle);
        QFETCH(QStringList, history);
        QFETCH(QString, expected);

        const QString sessionPath = chromiumProfile() + QLatin1StringView("/Sessions/Session_13340000000000000");
        writeFile(sessionPath, sessionFile);
        setModified(sessionPath, QDateTime::currentDateTime().addSecs(writtenAfterTitle ? 30 : -30));
        writeChromiumHistory(chromiumProfile(), visits(history));
        showWindow(chromium, QStringLiteral("Page - Chromium"));

        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(chromium), std::optional(expected));
    }

    void profileOnTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("-P names the other profile")
            << QStringList{QStringLiteral("-P"), QStringLiteral("abc.default")}
            << QStringLiteral("https://wrong-profile.example/|||Example Domain");
        QTest::newRow("-P names an unknown profile") << QStringList{QStringLiteral("-P"), QStringLiteral("nobody")}
                                                     << QStringLiteral("|||Example Domain");
        QTest::newRow("--profile gives the folder")
            << QStringList{QStringLiteral("--profile"), QStringLiteral("ROOT/abc.default")}
            << QStringLiteral("https://wrong-profile.example/|||Example Domain");
    }

    void profileOnTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        arguments.replaceInStrings(QStringLiteral("ROOT"), firefoxRoot());
        QProcess browser;
        browser.start(QStringLiteral("/bin/sh"),
                      QStringList{QStringLiteral("-c"), QStringLiteral("sleep 30; :"), QStringLiteral("firefox")} + arguments);
        QVERIFY(browser.waitForStarted());
        // Until the child has exec'd, /proc shows the test's own command line.
        QTRY_VERIFY(LinuxProcess::commandLine(browser.processId()).contains(arguments.constFirst()));
        showWindow(firefox, QStringLiteral("Example Domain — Mozilla Firefox"), browser.processId());

        DesktopSessionTabReader reader(m_windows);
        const std::optional<QString> answer = reader.readActiveTab(firefox);
        browser.kill();
        browser.waitForFinished();
        QCOMPARE(answer, std::optional(expected));
    }

    void chromiumUserDataFolderFromWindowClass()
    {
        const QString folder = path(QStringLiteral("elsewhere"));
        writeFile(folder + QLatin1StringView("/Default/Sessions/Session_1"),
                  SnssWriter().tabInWindow(1, 1, 0).navigation(1, 0, QStringLiteral("https://elsewhere.example/"), QStringLiteral("Page"))
                      .selectedNavigation(1, 0).selectedTab(1, 0).activeWindow(1).bytes());
        showWindow(chromium, QStringLiteral("Page - Chromium"), QCoreApplication::applicationPid(),
                   QStringLiteral("chromium (%1)").arg(folder));

        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(chromium), std::optional(QStringLiteral("https://elsewhere.example/|||Page")));
    }

    void lockedHistory_data()
    {
        QTest::addColumn<bool>("isFirefox");
        QTest::newRow("firefox places.sqlite") << true;
        QTest::newRow("chromium History") << false;
    }

    void lockedHistory()
    {
        QFETCH(bool, isFirefox);
        const KnownBrowser &browser = isFirefox ? firefox : chromium;
        const QList<Visit> visit = visits({QStringLiteral("https://visited.example/|Page|0")});
        isFirefox ? writeFirefoxHistory(firefoxProfile(), visit) : writeChromiumHistory(chromiumProfile(), visit);
        const QString historyFile = isFirefox ? firefoxProfile() + QLatin1StringView("/places.sqlite")
                                              : chromiumProfile() + QLatin1StringView("/History");
        const LockedDatabase lock(historyFile);
        {
            QSqlDatabase plain = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
            plain.setDatabaseName(historyFile);
            plain.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(plain.open());
            QSqlQuery query(plain);
            QVERIFY2(!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")), "the fixture is not locked");
        }
        QSqlDatabase::removeDatabase(QStringLiteral("plain"));
        showWindow(browser, QStringLiteral("Page"));

        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(browser), std::optional(QStringLiteral("https://visited.example/|||Page")));
    }

    void unchangedFilesAreNotReadAgain()
    {
        const QString sessionPath = firefoxProfile() + QLatin1StringView("/sessionstore-backups/recovery.jsonlz4");
        const auto session = [](const char *host) {
            return mozLz4(firefoxSessionJson({{QStringLiteral("https://%1.example/").arg(QLatin1StringView(host)), QStringLiteral("Page")}}, 0));
        };
        writeFile(sessionPath, session("one"));
        const QDateTime written = QDateTime::currentDateTime().addSecs(-5);
        setModified(sessionPath, written);
        showWindow(firefox, QStringLiteral("Page"));
        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(firefox), std::optional(QStringLiteral("https://one.example/|||Page")));

        // Same size and time: the cached answer stands.
        writeFile(sessionPath, session("two"));
        setModified(sessionPath, written);
        QCOMPARE(reader.readActiveTab(firefox), std::optional(QStringLiteral("https://one.example/|||Page")));
        setModified(sessionPath, written.addSecs(1));
        QCOMPARE(reader.readActiveTab(firefox), std::optional(QStringLiteral("https://two.example/|||Page")));
    }

    void withoutWindowsTheSessionIsAGuess()
    {
        writeFile(firefoxProfile() + QLatin1StringView("/sessionstore-backups/recovery.jsonlz4"),
                  mozLz4(firefoxSessionJson({{QStringLiteral("https://example.org/"), QStringLiteral("Example Domain")}}, 0)));
        m_windows->known = false;
        showWindow(firefox, QString());
        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(firefox), std::optional(QStringLiteral("https://example.org/|||Example Domain")));
        QVERIFY(reader.lastReadReport().value(QStringLiteral("focus")).toString().startsWith(QLatin1StringView("guess")));

        m_windows->windows.clear();
        QCOMPARE(reader.readActiveTab(firefox), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(DesktopSessionTabReaderTest)
#include "desktopsessiontabreadertest.moc"
