#include "addonidentity.h"
#include "browserbridge.h"
#include "nativemessaging.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <cstring>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
QByteArray stateFrame(int sequence, const QString &url, bool focused = true)
{
    return *NativeMessaging::encode(
        {{u"type"_s, u"state"_s}, {u"seq"_s, sequence}, {u"focused"_s, focused}, {u"url"_s, url}, {u"title"_s, u"T"_s}});
}

// The program as Chromium starts it for the add-on, its socket folder the test's own.
std::unique_ptr<QProcess> startHost(const QString &runtimeFolder)
{
    auto host = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtimeFolder);
    host->setProcessEnvironment(environment);
    host->start(QStringLiteral(CORVANE_EXECUTABLE), {QString(AddonIdentity::chromiumOrigin)});
    return host;
}

// Reads one frame the host wrote for the browser, while the bridge on this thread runs.
QJsonObject readRequest(QProcess &host)
{
    FrameReader reader(NativeMessaging::maximumToBrowser);
    std::optional<QByteArray> payload;
    const QDeadlineTimer deadline(5000);
    while (!payload && !deadline.hasExpired()) {
        QTest::qWait(10);
        reader.append(host.readAllStandardOutput());
        payload = reader.next();
    }
    return payload ? QJsonDocument::fromJson(*payload).object() : QJsonObject();
}
}

class BridgeRelayTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }

    // Stale and repeated reports are dropped, a later start of Corvane still gets the state the
    // browser sent before it, and the host's end shows as a closed connection.
    void relaysStateInOrder()
    {
        std::unique_ptr<QProcess> host = startHost(m_runtime.path());
        QVERIFY(host->waitForStarted());
        host->write(stateFrame(10, u"https://early.example/"_s));
        QTest::qWait(300);

        BrowserBridge bridge(BrowserBridge::sessionServerName());
        QSignalSpy changes(&bridge, &BrowserBridge::stateChanged);
        QVERIFY(bridge.listen());
        QTRY_COMPARE_WITH_TIMEOUT(bridge.state(u"chromium"_s).value_or(BridgeBrowserState{}).url, u"https://early.example/"_s, 5000);

        host->write(stateFrame(9, u"https://older.example/"_s) + stateFrame(10, u"https://same.example/"_s));
        QTest::qWait(300);
        QCOMPARE(bridge.state(u"chromium"_s)->url, u"https://early.example/"_s);
        host->write(stateFrame(11, u"https://newer.example/"_s, false));
        QTRY_COMPARE(bridge.state(u"chromium"_s)->url, u"https://newer.example/"_s);
        QVERIFY(!bridge.state(u"chromium"_s)->focused);
        QVERIFY(bridge.state(u"chromium"_s)->open);
        QCOMPARE(bridge.states().size(), 1);
        // The capture report, a process of its own, sees what the running bridge holds.
        QFuture<QJsonObject> running = QtConcurrent::run([] { return BrowserBridge::askRunning(BrowserBridge::sessionServerName()); });
        QTRY_VERIFY(running.isFinished());
        const std::optional<BridgeBrowserState> reported
            = BrowserBridge::fromReport(running.result().value("browsers"_L1).toArray())->state(u"chromium"_s);
        QVERIFY(reported && reported->open && !reported->focused);
        QCOMPARE(reported->url, u"https://newer.example/"_s);

        host->closeWriteChannel();
        QVERIFY(host->waitForFinished(5000));
        QTRY_VERIFY(!bridge.state(u"chromium"_s)->open);
        QCOMPARE(bridge.state(u"chromium"_s)->url, u"https://newer.example/"_s);
        for (const QList<QVariant> &change : std::as_const(changes))
            QCOMPARE(change.first().toString(), u"chromium"_s);
    }

    void asksForPageText()
    {
        BrowserBridge bridge(BrowserBridge::sessionServerName());
        QVERIFY(bridge.listen());
        std::unique_ptr<QProcess> host = startHost(m_runtime.path());
        host->write(stateFrame(1, u"https://page.example/"_s));
        QTRY_VERIFY_WITH_TIMEOUT(bridge.state(u"chromium"_s), 5000);

        QFuture<std::optional<QString>> answered = QtConcurrent::run([&bridge] { return bridge.readPageText(u"chromium"_s, 5s); });
        const QJsonObject request = readRequest(*host);
        QCOMPARE(request.value("type"_L1).toString(), u"pageTextRequest"_s);
        // An answer to some other request, and one out of order, change nothing.
        const double requestId = request.value("requestId"_L1).toDouble();
        host->write(*NativeMessaging::encode(
            {{u"type"_s, u"pageText"_s}, {u"seq"_s, 2}, {u"requestId"_s, requestId + 1}, {u"text"_s, u"wrong"_s}}));
        host->write(
            *NativeMessaging::encode({{u"type"_s, u"pageText"_s}, {u"seq"_s, 1}, {u"requestId"_s, requestId}, {u"text"_s, u"stale"_s}}));
        host->write(*NativeMessaging::encode(
            {{u"type"_s, u"pageText"_s}, {u"seq"_s, 3}, {u"requestId"_s, requestId}, {u"text"_s, u"Päge text"_s}}));
        QTRY_VERIFY(answered.isFinished());
        QCOMPARE(answered.result(), std::optional(u"Päge text"_s));

        // A browser that does not answer in time sends the caller to the HTTP fetch.
        answered = QtConcurrent::run([&bridge] { return bridge.readPageText(u"chromium"_s, 300ms); });
        QVERIFY(readRequest(*host).contains("requestId"_L1));
        QTRY_VERIFY(answered.isFinished());
        QCOMPARE(answered.result(), std::nullopt);
        // Nor does a browser without a host.
        answered = QtConcurrent::run([&bridge] { return bridge.readPageText(u"firefox"_s, 5s); });
        QTRY_VERIFY_WITH_TIMEOUT(answered.isFinished(), 1000);
        QCOMPARE(answered.result(), std::nullopt);

        host->closeWriteChannel();
        QVERIFY(host->waitForFinished(5000));
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(BridgeRelayTest)
#include "bridgerelaytest.moc"
