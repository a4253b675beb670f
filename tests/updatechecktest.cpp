#include "support/stubserver.h"
#include "support/testenvironment.h"
#include "update/versionorder.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
const QString kUpToDate = u"Version 1.0.0 is up to date"_s;
const QString kCheckFailed = u"Could not check for updates. Please try again later."_s;

bool checkUntilIdle(AppViewModel &model)
{
    model.checkForUpdates();
    if (!model.isCheckingUpdate() || model.updateStatusText() != "Checking for updates..."_L1)
        return false;
    return QTest::qWaitFor([&] { return !model.isCheckingUpdate(); }, 5000);
}
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

        QTest::newRow("equal") << u"1.0.0"_s << u"1.0.0"_s << 0;
        QTest::newRow("patch") << u"1.0.1"_s << u"1.0.0"_s << 1;
        QTest::newRow("older") << u"0.9.9"_s << u"1.0.0"_s << -1;
        QTest::newRow("longer after its beginning") << u"1.0.0.1"_s << u"1.0.0"_s << 1;
        QTest::newRow("numbers, not digits") << u"1.10.0"_s << u"1.9.0"_s << 1;
        QTest::newRow("numbers in the last run") << u"1.0.9"_s << u"1.0.10"_s << -1;
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

    void answers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("newer");
        QTest::addColumn<QString>("statusText");

        QTest::newRow("same version") << 200 << R"({"latestVersion":"1.0.0"})"_ba << false << kUpToDate;
        QTest::newRow("newer patch") << 200 << R"({"latestVersion":"1.0.1","notes":"x"})"_ba << true
                                     << u"New version v1.0.1 available!"_s;
        QTest::newRow("older") << 200 << R"({"latestVersion":"0.9.9"})"_ba << false << kUpToDate;
        QTest::newRow("one more part") << 200 << R"({"latestVersion":"1.0.0.1"})"_ba << true
                                       << u"New version v1.0.0.1 available!"_s;
        QTest::newRow("status not examined") << 503 << R"({"latestVersion":"2.0"})"_ba << true << u"New version v2.0 available!"_s;
        QTest::newRow("array") << 200 << R"([{"latestVersion":"9.0.0"}])"_ba << false << kCheckFailed;
        QTest::newRow("no latestVersion") << 200 << R"({"version":"9.0.0"})"_ba << false << kCheckFailed;
        QTest::newRow("number") << 200 << R"({"latestVersion":9})"_ba << false << kCheckFailed;
        QTest::newRow("not JSON") << 200 << "9.0.0"_ba << false << kCheckFailed;
        QTest::newRow("empty") << 204 << QByteArray() << false << kCheckFailed;
    }

    void answers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, newer);
        QFETCH(QString, statusText);

        StubServer server;
        server.on("GET", u"/api/version"_s, StubServer::text(status, body, "application/json"));
        TestEnvironment environment;
        // A session is stored, yet the version check carries no token.
        environment.preferences()->setText(Preferences::kJWTToken, u"session-token"_s);
        const auto model = environment.makeViewModel(server.baseUrl());

        QVERIFY(checkUntilIdle(*model));

        QCOMPARE(model->updateStatusText(), statusText);
        QCOMPARE(model->hasUpdateAvailable(), newer);
        QCOMPARE(server.requests().size(), 1);
        QVERIFY(!server.requests().first().hasHeader("Authorization"));
        QVERIFY(!server.requests().first().hasHeader("Content-Type"));
        QVERIFY(environment.workspace()->openedUrls.isEmpty());
    }

    void knownUpdateOpensTheDownloadPage()
    {
        StubServer server;
        server.on("GET", u"/api/version"_s, StubServer::json(200, QJsonObject{{u"latestVersion"_s, u"1.2.0"_s}}));
        TestEnvironment environment;
        const auto model = environment.makeViewModel(server.baseUrl());
        QVERIFY(checkUntilIdle(*model));
        QVERIFY(model->hasUpdateAvailable());
        QSignalSpy checking(model.get(), &AppViewModel::isCheckingUpdateChanged);

        model->checkForUpdates();

        QCOMPARE(environment.workspace()->openedUrls, (QList<QUrl>{QUrl(server.baseUrl() + "/download"_L1)}));
        QCOMPARE(checking.count(), 0);
        QCOMPARE(model->updateStatusText(), u"New version v1.2.0 available!"_s);
        QVERIFY(!QSignalSpy(&server, &StubServer::requestReceived).wait(100));
        QCOMPARE(server.requests().size(), 1);
    }

    void silentServerIsReportedAsAFailedCheck_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("no answer") << true;
        QTest::newRow("connection refused") << false;
    }

    void silentServerIsReportedAsAFailedCheck()
    {
        QFETCH(bool, listening);

        StubServer server;
        server.on("GET", u"/api/version"_s, StubServer::silence());
        TestEnvironment environment;
        environment.setUpdateCheckTimeout(300ms);
        const auto model = environment.makeViewModel(listening ? server.baseUrl() : StubServer::refusingBaseUrl());

        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(checkUntilIdle(*model));

        QCOMPARE(model->updateStatusText(), kCheckFailed);
        QVERIFY(!model->hasUpdateAvailable());
        QCOMPARE_LT(elapsed.elapsed(), 3000);
    }

    void unusableAddressIsReportedAsAFailedCheck()
    {
        TestEnvironment environment;
        const auto model = environment.makeViewModel(u"https://portal .test"_s);

        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(checkUntilIdle(*model));

        QCOMPARE_GE(elapsed.elapsed(), 550);
        QCOMPARE(model->updateStatusText(), kCheckFailed);
    }
};

QTEST_GUILESS_MAIN(UpdateCheckTest)
#include "updatechecktest.moc"
