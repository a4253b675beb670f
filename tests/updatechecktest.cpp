#include "updatecheck.h"
#include "support/fakeworkspace.h"
#include "support/stubserver.h"
#include "versionorder.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
const QString kUpToDate = u"Version 1.0.0 is up to date"_s;
const QString kCheckFailed = u"Could not check for updates. Please try again later."_s;

// The check on a network access of its own, with a workspace that records the pages it opens.
struct Checker {
    Checker(const QString &portalUrl, std::chrono::milliseconds timeout)
        : check(portalUrl, network, workspace, timeout)
    { }

    // Starts a check, which shows its progress at once, and waits until it is over.
    bool checkUntilIdle()
    {
        check.checkForUpdates();
        if (!check.isCheckingUpdate() || check.updateStatusText() != "Checking for updates..."_L1)
            return false;
        return QTest::qWaitFor([this] { return !check.isCheckingUpdate(); }, 5000);
    }

    QNetworkAccessManager network;
    FakeWorkspace workspace;
    UpdateCheck check;
};

enum Portal {
    AnsweringServer,
    SilentServer,
    UnusableAddress
};
}

class UpdateCheckTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionOrder_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<int>("order");

        QTest::newRow("patch") << u"1.0.1"_s << u"1.0.0"_s << 1;
        QTest::newRow("longer after its beginning") << u"1.0.0.1"_s << u"1.0.0"_s << 1;
        QTest::newRow("numbers, not digits") << u"1.10.0"_s << u"1.9.0"_s << 1;
        QTest::newRow("leading zeros") << u"1.01"_s << u"1.1"_s << 0;
        QTest::newRow("beyond 64 bits") << u"1.99999999999999999999"_s << u"1.100000000000000000000"_s << -1;
        QTest::newRow("letters by code") << u"1.0.0-beta"_s << u"1.0.0-alpha"_s << 1;
        QTest::newRow("capitals before small letters") << u"1.0.0-B"_s << u"1.0.0-a"_s << -1;
        QTest::newRow("digit against letter") << u"1.a"_s << u"1.1"_s << 1;
        QTest::newRow("empty") << u""_s << u"1"_s << -1;
    }

    void versionOrder()
    {
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(int, order);

        QCOMPARE(VersionOrder::compare(left, right), order);
        QCOMPARE(VersionOrder::compare(right, left), -order);
    }

    // Only an answer that names the latest version counts; whatever else happens, the check says it
    // failed rather than "up to date".
    void answers_data()
    {
        QTest::addColumn<int>("portal");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("newer");
        QTest::addColumn<QString>("statusText");

        const auto answered = [](const char *name, int status, const QByteArray &body, bool newer, const QString &statusText) {
            QTest::newRow(name) << int(AnsweringServer) << status << body << newer << statusText;
        };
        answered("same version", 200, R"({"latestVersion":"1.0.0"})"_ba, false, kUpToDate);
        answered("newer patch", 200, R"({"latestVersion":"1.0.1","notes":"x"})"_ba, true, u"New version v1.0.1 available!"_s);
        answered("older", 200, R"({"latestVersion":"0.9.9"})"_ba, false, kUpToDate);
        answered("status not examined", 503, R"({"latestVersion":"2.0"})"_ba, true, u"New version v2.0 available!"_s);
        answered("no latestVersion", 200, R"({"version":"9.0.0"})"_ba, false, kCheckFailed);
        answered("number", 200, R"({"latestVersion":9})"_ba, false, kCheckFailed);
        answered("not JSON", 200, "9.0.0"_ba, false, kCheckFailed);
        QTest::newRow("no answer") << int(SilentServer) << 0 << QByteArray() << false << kCheckFailed;
        QTest::newRow("unusable address") << int(UnusableAddress) << 0 << QByteArray() << false << kCheckFailed;
    }

    void answers()
    {
        QFETCH(int, portal);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, newer);
        QFETCH(QString, statusText);

        StubServer server;
        server.on("GET", u"/api/version"_s,
                  portal == SilentServer ? StubServer::silence() : StubServer::text(status, body, "application/json"));
        const QString portalUrl = portal == UnusableAddress ? u"https://portal .test"_s : server.baseUrl();
        Checker checker(portalUrl, 300ms);

        QVERIFY(checker.checkUntilIdle());

        QCOMPARE(checker.check.updateStatusText(), statusText);
        QCOMPARE(checker.check.hasUpdateAvailable(), newer);
        QCOMPARE(server.requests().size(), portal == AnsweringServer || portal == SilentServer ? 1 : 0);
        QVERIFY(!server.requests().value(0).hasHeader("Content-Type"));
        QVERIFY(checker.workspace.openedUrls.isEmpty());
        if (!newer)
            return;

        // Once an update is known, the button opens the download page without asking again.
        QSignalSpy checking(&checker.check, &UpdateCheck::isCheckingUpdateChanged);
        checker.check.checkForUpdates();
        QCOMPARE(checker.workspace.openedUrls, (QList<QUrl>{QUrl(server.baseUrl() + "/download"_L1)}));
        QCOMPARE(checking.count(), 0);
        QCOMPARE(checker.check.updateStatusText(), statusText);
        QVERIFY(!QSignalSpy(&server, &StubServer::requestReceived).wait(100));
        QCOMPARE(server.requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(UpdateCheckTest)
#include "updatechecktest.moc"
