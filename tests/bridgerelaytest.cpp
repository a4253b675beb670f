#include "addonidentity.h"
#include "browserbridge.h"
#include "browsermessage.h"
#include "nativemessaging.h"
#include "support/testenvironment.h"

#include <QDeadlineTimer>
#include <QDirIterator>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <cstring>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
QByteArray frame(const QByteArray &payload, std::optional<quint32> statedLength = std::nullopt)
{
    const quint32 length = statedLength.value_or(quint32(payload.size()));
    QByteArray header(sizeof length, Qt::Uninitialized);
    std::memcpy(header.data(), &length, sizeof length);
    return header + payload;
}

QByteArray state(int sequence, const QString &url, const QString &title = u"Title"_s, bool focused = true)
{
    const QJsonObject json{{u"type"_s, u"state"_s}, {u"seq"_s, sequence}, {u"focused"_s, focused}, {u"url"_s, url}, {u"title"_s, title}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

// A page-text answer whose payload is exactly size bytes.
QByteArray pageText(qsizetype size)
{
    const QByteArray head = R"({"type":"pageText","seq":7,"requestId":3,"text":"a)";
    const QByteArray tail = R"(a"})";
    return head + QByteArray(size - head.size() - tail.size(), 'a') + tail;
}

// What the host accepted, one line per message.
QStringList decoded(const QList<QByteArray> &reads)
{
    FrameReader reader(NativeMessaging::maximumPageTextMessage);
    QStringList messages;
    for (const QByteArray &bytes : reads) {
        reader.append(bytes);
        while (const std::optional<QByteArray> payload = reader.next()) {
            const std::optional<BrowserMessage> message = BrowserMessage::fromPayload(*payload);
            if (!message)
                continue;
            if (message->type == BrowserMessage::Type::State)
                messages.append(u"%1 %2 %3"_s.arg(message->sequence).arg(message->url, message->title));
            else
                messages.append(u"%1 text of %2 for %3"_s.arg(message->sequence)
                                    .arg(message->text ? message->text->size() : -1)
                                    .arg(message->requestId));
        }
    }
    return messages;
}

// The program as Chromium starts it for the add-on, its socket folder the test's own.
std::unique_ptr<QProcess> startHost(const QString &runtimeFolder)
{
    auto host = std::make_unique<QProcess>();
    host->setProcessEnvironment(isolatedProcessEnvironment(runtimeFolder));
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

// The bridge's wire, and the program as a browser and a terminal start it.
class BridgeRelayTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }

    void readsFrames_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QStringList>("expected");

        const QByteArray first = frame(state(1, u"https://a.example/"_s));
        const QByteArray second = frame(state(2, u"http://b.example/x?y=1"_s, u"B"_s));
        QTest::newRow("split inside the length and the text")
            << QList<QByteArray>{first.left(2), first.mid(2, 9), first.mid(11)} << QStringList{u"1 https://a.example/ Title"_s};
        QTest::newRow("several in one read") << QList<QByteArray>{first + second + first.left(3)}
                                             << QStringList{u"1 https://a.example/ Title"_s, u"2 http://b.example/x?y=1 B"_s};
        QTest::newRow("zero length and bad JSON dropped, the next one read")
            << QList<QByteArray>{frame({}) + frame("{\"type\":\"state\",") + frame("[1,2]") + second}
            << QStringList{u"2 http://b.example/x?y=1 B"_s};
        QTest::newRow("largest page text") << QList<QByteArray>{frame(pageText(NativeMessaging::maximumPageTextMessage))}
                                           << QStringList{u"7 text of %1 for 3"_s.arg(NativeMessaging::maximumPageTextMessage - 51)};
        const QByteArray overLong = frame(pageText(NativeMessaging::maximumPageTextMessage + 1));
        QTest::newRow("over-long skipped across reads, the next one read")
            << QList<QByteArray>{overLong.left(1000), overLong.mid(1000, 5000000), overLong.mid(5001000) + second}
            << QStringList{u"2 http://b.example/x?y=1 B"_s};
        QTest::newRow("a length near 4 GiB is skipped, not awaited")
            << QList<QByteArray>{frame("{}", 0xFFFFFFF0u), QByteArray(100, 'x')} << QStringList{};
        QTest::newRow("state report over 64 KiB")
            << QList<QByteArray>{frame(state(1, u"https://a.example/"_s, QString(NativeMessaging::maximumStateMessage, u'x')))}
            << QStringList{};
        QTest::newRow("addresses other than http(s) are emptied")
            << QList<QByteArray>{frame(state(1, u"javascript:alert(1)"_s)) + frame(state(2, u"file:///etc/passwd"_s))
                                 + frame(state(3, u"chrome://newtab/"_s)) + frame(state(4, u"https:///nohost"_s))}
            << QStringList{u"1  Title"_s, u"2  Title"_s, u"3  Title"_s, u"4  Title"_s};
        QTest::newRow("an over-long address is emptied, a long title cut")
            << QList<QByteArray>{frame(state(1, u"https://a.example/"_s + QString(BrowserMessage::maximumUrlLength, u'p'),
                                             QString(BrowserMessage::maximumTitleLength, u't') + u"cut"_s))}
            << QStringList{u"1  "_s + QString(BrowserMessage::maximumTitleLength, u't')};
        QTest::newRow("without a whole sequence number, focus or request") << QList<QByteArray>{
            frame(R"({"type":"state","focused":true,"url":"x"})") + frame(R"({"type":"state","seq":1.5,"focused":true})")
            + frame(R"({"type":"state","seq":-1,"focused":true})") + frame(R"({"type":"state","seq":"1","focused":true})")
            + frame(R"({"type":"state","seq":1,"focused":"yes"})") + frame(R"({"type":"pageText","seq":1,"text":"t"})")
            + frame(R"({"type":"tab","seq":1})")} << QStringList{};
        QTest::newRow("page text refused by the page")
            << QList<QByteArray>{frame(R"({"type":"pageText","seq":9,"requestId":4})")} << QStringList{u"9 text of -1 for 4"_s};
    }
    void readsFrames()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QStringList, expected);
        QCOMPARE(decoded(reads), expected);
    }

    // The browser closes the port on a larger message from its host.
    void refusesWhatTheBrowserWouldNotTake()
    {
        QVERIFY(!NativeMessaging::encode({{u"text"_s, QString(NativeMessaging::maximumToBrowser, u'a')}}));
    }

    // Stale and repeated reports are dropped, a later start of Corvane still gets the state the
    // browser sent before it, and the host's end shows as a closed connection.
    void relaysStateInOrder()
    {
        std::unique_ptr<QProcess> host = startHost(m_runtime.path());
        QVERIFY(host->waitForStarted());
        host->write(frame(state(10, u"https://early.example/"_s)));
        QTest::qWait(300);

        BrowserBridge bridge(BrowserBridge::sessionServerName());
        QVERIFY(bridge.listen());
        QTRY_COMPARE_WITH_TIMEOUT(bridge.state(u"chromium"_s).value_or(BridgeBrowserState{}).url, u"https://early.example/"_s, 5000);

        host->write(frame(state(9, u"https://older.example/"_s)) + frame(state(10, u"https://same.example/"_s)));
        QTest::qWait(300);
        QCOMPARE(bridge.state(u"chromium"_s)->url, u"https://early.example/"_s);
        host->write(frame(state(11, u"https://newer.example/"_s, u"Title"_s, false)));
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
    }

    void asksForPageText()
    {
        BrowserBridge bridge(BrowserBridge::sessionServerName());
        QVERIFY(bridge.listen());
        std::unique_ptr<QProcess> host = startHost(m_runtime.path());
        host->write(frame(state(1, u"https://page.example/"_s)));
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

        host->closeWriteChannel();
        QVERIFY(host->waitForFinished(5000));
    }

    // No window, no stored session or preferences, no bridge: nothing is written under the user's folders.
    void captureReportWritesNothing()
    {
        QTemporaryDir home;
        QProcess corvane;
        corvane.setProcessEnvironment(isolatedProcessEnvironment(home.path()));
        corvane.start(QStringLiteral(CORVANE_EXECUTABLE), {u"--capture-report"_s});
        QVERIFY(corvane.waitForFinished(20000));
        QCOMPARE(corvane.exitCode(), 0);
        QJsonParseError error;
        const QJsonDocument report = QJsonDocument::fromJson(corvane.readAllStandardOutput(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(report.object().value("candidates"_L1).isArray());
        QDirIterator written(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY2(!written.hasNext(), qPrintable(written.hasNext() ? written.next() : QString()));
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(BridgeRelayTest)
#include "bridgerelaytest.moc"
