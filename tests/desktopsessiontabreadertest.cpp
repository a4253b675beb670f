#include "linux/desktopsessiontabreader.h"
#include "linux/linuxprocess.h"
#include "support/sessionfixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace SessionFixtures;

namespace
{
const KnownBrowser &firefox = *findBrowser(u"firefox");
const KnownBrowser &chromium = *findBrowser(u"chromium");

QByteArray session(const QList<SessionTab> &tabs, qsizetype selected)
{
    return mozLz4(firefoxSessionJson(tabs, selected));
}

// "url|title|days ago" per visit.
QList<Visit> visits(const QStringList &rows)
{
    QList<Visit> result;
    for (const QString &row : rows) {
        const QStringList fields = row.split(u'|');
        result.append({fields.at(0), fields.at(1), QDateTime::currentDateTimeUtc().addDays(-fields.at(2).toInt())});
    }
    return result;
}

// Holds a database the way a running browser does: exclusive locking with a write in progress.
class LockedDatabase
{
public:
    explicit LockedDatabase(const QString &path)
        : m_database(QSqlDatabase::addDatabase(u"QSQLITE"_s, u"browser"_s))
    {
        m_database.setDatabaseName(path);
        m_database.open();
        QSqlQuery query(m_database);
        query.exec(u"PRAGMA locking_mode=EXCLUSIVE"_s);
        query.exec(u"BEGIN EXCLUSIVE"_s);
    }
    ~LockedDatabase()
    {
        m_database.rollback();
        m_database.close();
        m_database = {};
        QSqlDatabase::removeDatabase(u"browser"_s);
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
    QString firefoxRoot() const { return path(u".config/mozilla/firefox"_s); }
    QString firefoxProfile() const { return firefoxRoot() + u"/xyz.default-esr"_s; }
    QString firefoxSession() const { return firefoxProfile() + u"/sessionstore-backups/recovery.jsonlz4"_s; }
    QString chromiumProfile() const { return path(u".config/chromium/Profile 1"_s); }

    void showWindow(const KnownBrowser &browser, const QString &title, qint64 processId = QCoreApplication::applicationPid())
    {
        m_windows->windows.insert(QString(browser.id), {7, title, processId, {}});
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
        m_home = std::make_unique<QTemporaryDir>(m_systemTemp + u"/corvane-home-XXXXXX"_s);
        qputenv("HOME", m_home->path().toUtf8());
        qputenv("XDG_CONFIG_HOME", path(u".config"_s).toUtf8());
        QDir().mkpath(path(u"tmp"_s));
        qputenv("TMPDIR", path(u"tmp"_s).toUtf8());
        m_windows = std::make_shared<FakeBrowserWindows>();

        // Two profiles: the install's default is in use, the one marked default holds a tab
        // with the same title that must never be answered.
        writeFirefoxProfiles(firefoxRoot(), {u"abc.default"_s, u"xyz.default-esr"_s}, u"xyz.default-esr"_s);
        writeFile(
            firefoxRoot() + u"/abc.default/sessionstore-backups/recovery.jsonlz4"_s,
            session({{u"https://wrong-profile.example/"_s, u"Example Domain"_s}, {u"https://wrong-profile.example/2"_s, u"New Page"_s}},
                    0));
        writeFirefoxHistory(firefoxRoot() + u"/abc.default"_s,
                            visits({u"https://wrong-profile.example/|New Page|0"_s, u"https://wrong-profile.example/r|Remaining|0"_s}));
        writeFile(path(u".config/chromium/Local State"_s), R"({"profile":{"last_used":"Profile 1"}})");
    }

    void firefoxAnswer_data()
    {
        QTest::addColumn<QString>("windowTitle");
        QTest::addColumn<QByteArray>("sessionFile");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const QString &title, const QByteArray &session, const QString &expected,
                      const QStringList &history = {}) { QTest::newRow(name) << title << session << history << expected; };

        const QByteArray example
            = session({{u"https://first.example/"_s, u"First"_s}, {u"https://example.org/"_s, u"Example Domain"_s}}, 1);
        row("em-dash suffix", u"Example Domain — Mozilla Firefox"_s, example, u"https://example.org/|||Example Domain"_s);
        row("another tab's title is no match", u"First — Mozilla Firefox"_s, example, u"|||First"_s);
        row("window titled only with the browser's name", u"Mozilla Firefox"_s, example, u"|||"_s);

        const QByteArray stale = session({{u"https://old.example/"_s, u"Old Page"_s}}, 0);
        const QStringList visited{u"https://older.example/|New Page|3"_s, u"https://new.example/|New Page|0"_s,
                                  u"https://o.example/|Other|0"_s};
        row("stale session, newest visit from history", u"New Page — Mozilla Firefox"_s, stale, u"https://new.example/|||New Page"_s,
            visited);
        row("tab closed since", u"Remaining — Mozilla Firefox"_s, stale, u"|||Remaining"_s, {u"https://old.example/|Old Page|0"_s});
        row("a visit months ago is not recent", u"New Page"_s, stale, u"|||New Page"_s, {u"https://ancient.example/|New Page|90"_s});
        row("no session written yet", u"New Page"_s, {}, u"https://new.example/|||New Page"_s, {u"https://new.example/|New Page|0"_s});

        // Broken files: the title alone.
        const auto broken = [&](int at, char byte) { return QByteArray(example).replace(at, 1, &byte, 1); };
        row("truncated lz4 block", u"Example Domain"_s, example.chopped(20), u"|||Example Domain"_s);
        row("declared size beyond the cap", u"Example Domain"_s, broken(11, 0x7f), u"|||Example Domain"_s);
        row("not json", u"Example Domain"_s, mozLz4("{\"windows\": ["), u"|||Example Domain"_s);
        row("selection out of range", u"Example Domain"_s, session({{u"https://example.org/"_s, u"Example Domain"_s}}, 4),
            u"|||Example Domain"_s);
    }

    void firefoxAnswer()
    {
        QFETCH(QString, windowTitle);
        QFETCH(QByteArray, sessionFile);
        QFETCH(QStringList, history);
        QFETCH(QString, expected);

        if (!sessionFile.isEmpty())
            writeFile(firefoxSession(), sessionFile);
        writeFirefoxHistory(firefoxProfile(), visits(history));
        // The browser runs, so its history is locked.
        const LockedDatabase lock(firefoxProfile() + u"/places.sqlite"_s);
        showWindow(firefox, windowTitle);

        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(firefox), std::optional(expected));
        // The first title the reader sees may be old, so its address is never awaited.
        QVERIFY(!reader.lastAddressPending());
        // The history copy is gone once the query is done.
        QCOMPARE(QDir(path(u"tmp"_s)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void chromiumAnswer_data()
    {
        QTest::addColumn<QByteArray>("sessionFile");
        // Against the reader's looks: two at the old title, then one at the new.
        QTest::addColumn<QString>("written");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("expected"); // ends with the new title
        QTest::addColumn<bool>("pending");

        const auto twoTabs = [] {
            return SnssWriter()
                .tabInWindow(1, 10, 0)
                .navigation(10, 0, u"https://first.example/"_s)
                .selectedNavigation(10, 0)
                .tabInWindow(1, 11, 1)
                .navigation(11, 0, u"https://old.example/"_s)
                .navigation(11, 1, u"https://page.example/"_s)
                .selectedNavigation(11, 1)
                .selectedTab(1, 1)
                .activeWindow(1);
        };
        const QByteArray session = twoTabs().bytes();
        const QStringList pageVisit{u"https://visited.example/|Page|0"_s};
        const QByteArray longRecord = QByteArray::fromHex("f401") + char(6) + QByteArray(40, 'x');
        const QByteArray longString = QByteArray::fromHex("0d00") + char(6) + QByteArray::fromHex("0c000000 0b000000 02000000 ffffff7f");
        // Ends after the address: no title length, no title.
        const QByteArray untitled = QByteArray::fromHex("2d00") + char(6) + QByteArray::fromHex("2c000000 0b000000 01000000 19000000")
            + "https://untitled.example/" + QByteArray(3, '\0');
        auto row
            = [](const char *name, const QByteArray &file, const char *written, const QString &expected, const QStringList &history = {},
                 bool pending = false) { QTest::newRow(name) << file << QString::fromLatin1(written) << history << expected << pending; };
        // Chromium writes the navigation untitled, often before the reader sees the new title.
        row("written between the looks", session, "between", u"https://page.example/|||Page"_s, pageVisit);
        row("written before: history", session, "before", u"https://visited.example/|||Page"_s, pageVisit);
        row("written before, nothing in history: pending", session, "before", u"|||Page"_s, {}, true);
        row("written while the old title showed: pending", session, "while old", u"|||Page"_s, {}, true);
        row("a new-tab title is never pending", session, "before", u"|||New Tab"_s);
        row("record carries the title", SnssWriter().activeTab(1, 10, u"https://titled.example/"_s, u"Page"_s).bytes(), "before",
            u"https://titled.example/|||Page"_s, pageVisit);
        row("second window active", twoTabs().activeTab(2, 20, u"https://second.example/"_s).bytes(), "after",
            u"https://second.example/|||Page"_s);
        row("selected tab closed", twoTabs().tabClosed(11).bytes(), "after", u"|||Page"_s);
        row("record longer than the file", twoTabs().raw(longRecord).bytes(), "after", u"|||Page"_s);
        row("navigation string longer than its record", twoTabs().raw(longString).bytes(), "after", u"|||Page"_s);
        row("navigation without a title", twoTabs().raw(untitled).bytes(), "after", u"https://untitled.example/|||Page"_s);
    }

    void chromiumAnswer()
    {
        QFETCH(QByteArray, sessionFile);
        QFETCH(QString, written);
        QFETCH(QStringList, history);
        QFETCH(QString, expected);
        QFETCH(bool, pending);

        const QString sessionPath = chromiumProfile() + u"/Sessions/Session_13340000000000000"_s;
        if (written == "before"_L1 || written == "after"_L1) {
            writeFile(sessionPath, sessionFile);
            setModified(sessionPath, QDateTime::currentDateTime().addSecs(written == "after"_L1 ? 30 : -30));
        }
        writeChromiumHistory(chromiumProfile(), visits(history));
        const LockedDatabase lock(chromiumProfile() + u"/History"_s);
        showWindow(chromium, u"Old - Chromium"_s);
        DesktopSessionTabReader reader(m_windows);
        for (const QLatin1StringView moment : {"while old"_L1, "between"_L1}) {
            QVERIFY(reader.readActiveTab(chromium));
            QTest::qWait(20);
            if (written == moment)
                writeFile(sessionPath, sessionFile);
            QTest::qWait(20);
        }
        showWindow(chromium, expected.section(u"|||"_s, 1) + u" - Chromium"_s);
        QCOMPARE(reader.readActiveTab(chromium), std::optional(expected));
        QCOMPARE(reader.lastAddressPending(), pending);
    }

    void profileOnTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("-P names the other profile")
            << QStringList{u"-P"_s, u"abc.default"_s} << u"https://wrong-profile.example/|||Example Domain"_s;
        QTest::newRow("-P names an unknown profile") << QStringList{u"-P"_s, u"nobody"_s} << u"|||Example Domain"_s;
        QTest::newRow("--profile gives the folder")
            << QStringList{u"--profile"_s, u"ROOT/abc.default"_s} << u"https://wrong-profile.example/|||Example Domain"_s;
    }

    void profileOnTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        arguments.replaceInStrings(u"ROOT"_s, firefoxRoot());
        QProcess browser;
        browser.start(u"/bin/sh"_s, QStringList{u"-c"_s, u"sleep 30; :"_s, u"firefox"_s} + arguments);
        QVERIFY(browser.waitForStarted());
        // Until the child has exec'd, /proc shows the test's own command line.
        QTRY_VERIFY(LinuxProcess::commandLine(browser.processId()).contains(arguments.constFirst()));
        showWindow(firefox, u"Example Domain — Mozilla Firefox"_s, browser.processId());

        const std::optional<QString> answer = DesktopSessionTabReader(m_windows).readActiveTab(firefox);
        browser.kill();
        browser.waitForFinished();
        QCOMPARE(answer, std::optional(expected));
    }

    void unchangedFilesAreNotReadAgain()
    {
        const QString sessionPath = firefoxSession();
        const auto onePage = [](const QString &host) { return session({{u"https://%1.example/"_s.arg(host), u"Page"_s}}, 0); };
        writeFile(sessionPath, onePage(u"one"_s));
        const QDateTime written = QDateTime::currentDateTime().addSecs(-5);
        setModified(sessionPath, written);
        showWindow(firefox, u"Page"_s);
        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(firefox), std::optional(u"https://one.example/|||Page"_s));

        // Same size and time: the cached answer stands.
        writeFile(sessionPath, onePage(u"two"_s));
        setModified(sessionPath, written);
        QCOMPARE(reader.readActiveTab(firefox), std::optional(u"https://one.example/|||Page"_s));
        setModified(sessionPath, written.addSecs(1));
        QCOMPARE(reader.readActiveTab(firefox), std::optional(u"https://two.example/|||Page"_s));

        // Unchanged history, but each new title is looked up afresh.
        writeFirefoxHistory(firefoxProfile(), visits({u"https://alpha.example/|Alpha|0"_s, u"https://beta.example/|Beta|0"_s}));
        for (const QString &title : {u"Alpha"_s, u"Beta"_s}) {
            showWindow(firefox, title);
            QCOMPARE(reader.readActiveTab(firefox), std::optional(u"https://%1.example/|||%2"_s.arg(title.toLower(), title)));
        }
    }

    void withoutWindowsTheSessionIsAGuess()
    {
        writeFile(firefoxSession(), session({{u"https://example.org/"_s, u"Example Domain"_s}}, 0));
        m_windows->known = false;
        showWindow(firefox, QString());
        DesktopSessionTabReader reader(m_windows);
        QCOMPARE(reader.readActiveTab(firefox), std::optional(u"https://example.org/|||Example Domain"_s));
        QVERIFY(reader.lastReadReport().value(u"focus"_s).toString().startsWith(u"guess"_s));

        m_windows->windows.clear();
        QCOMPARE(reader.readActiveTab(firefox), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(DesktopSessionTabReaderTest)
#include "desktopsessiontabreadertest.moc"
