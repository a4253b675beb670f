#include "nativemessaging.h"
#include "browsermessage.h"

#include <QJsonDocument>
#include <QTest>

#include <cstring>

using namespace Qt::StringLiterals;

namespace
{
QByteArray frame(const QByteArray &payload, std::optional<quint32> statedLength = std::nullopt)
{
    const quint32 length = statedLength.value_or(quint32(payload.size()));
    QByteArray header(sizeof length, Qt::Uninitialized);
    std::memcpy(header.data(), &length, sizeof length);
    return header + payload;
}

QByteArray state(int sequence, const QString &url, const QString &title = u"Title"_s)
{
    const QJsonObject json{{u"type"_s, u"state"_s}, {u"seq"_s, sequence}, {u"focused"_s, true}, {u"url"_s, url}, {u"title"_s, title}};
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
}

class NativeMessagingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(NativeMessagingTest)
#include "nativemessagingtest.moc"
