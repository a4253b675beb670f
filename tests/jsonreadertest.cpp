#include "api/jsonreader.h"
#include "api/records.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
QJsonValue parsedByQt(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}
}

class JsonReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameValuesAsQJsonDocument_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty array") << "[]"_ba;
        QTest::newRow("empty object with spaces") << " \r\n\t{ } "_ba;
        QTest::newRow("scalars") << "[true,false,null,0,-0,12,-7,1.5,2e3,1E-2,-1.25e+2]"_ba;
        QTest::newRow("integers at the edges") << "[9223372036854775807,-9223372036854775808,9223372036854775808]"_ba;
        QTest::newRow("whole float stays a double") << "[12.0]"_ba;
        QTest::newRow("escapes") << "[\"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\t\", \"\\u00e9\\u20AC\"]"_ba;
        QTest::newRow("surrogate pair and lone halves") << "[\"\\ud83d\\ude00\", \"\\ud800\", \"\\udc00x\"]"_ba;
        QTest::newRow("UTF-8 of every length") << "[\"a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"]"_ba;
        QTest::newRow("raw tab in a string") << "[\"a\tb\"]"_ba;
        QTest::newRow("nested") << "{\"a\":[{\"b\":{\"c\":[1,[2,[3]]]}}],\"d\":\"e\"}"_ba;
        QTest::newRow("repeated key keeps the last") << "{\"a\":1,\"b\":2,\"a\":3}"_ba;
        QTest::newRow("byte order mark") << "\xef\xbb\xbf[1]"_ba;
        QTest::newRow("escaped backslash before the quote") << "[\"x\\\\\", \"\\\\\\\"y\"]"_ba;
    }

    void sameValuesAsQJsonDocument()
    {
        QFETCH(QByteArray, json);
        const auto parsed = JsonReader::parse(json);
        QVERIFY(parsed);
        QCOMPARE(*parsed, parsedByQt(json));
        QCOMPARE(parsed->isArray() ? QJsonDocument(parsed->toArray()).toJson() : QJsonDocument(parsed->toObject()).toJson(),
                 parsedByQt(json).isArray() ? QJsonDocument(parsedByQt(json).toArray()).toJson()
                                           : QJsonDocument(parsedByQt(json).toObject()).toJson());
    }

    void notJson_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("scalar root") << "1"_ba;
        QTest::newRow("string root") << "\"x\""_ba;
        QTest::newRow("unterminated array") << "[1,2"_ba;
        QTest::newRow("unterminated string") << "[\"abc"_ba;
        QTest::newRow("escaped closing quote") << "[\"abc\\\"]"_ba;
        QTest::newRow("trailing comma") << "[1,]"_ba;
        QTest::newRow("missing comma") << "[1 2]"_ba;
        QTest::newRow("missing colon") << "{\"a\" 1}"_ba;
        QTest::newRow("key not a string") << "{a:1}"_ba;
        QTest::newRow("garbage after") << "[1] x"_ba;
        QTest::newRow("leading zero") << "[01]"_ba;
        QTest::newRow("bare minus") << "[-]"_ba;
        QTest::newRow("fraction without digits") << "[1.]"_ba;
        QTest::newRow("exponent without digits") << "[1e]"_ba;
        QTest::newRow("too large") << "[1e400]"_ba;
        QTest::newRow("short word") << "[tru]"_ba;
        QTest::newRow("unknown escape") << "[\"\\x\"]"_ba;
        QTest::newRow("short unicode escape") << "[\"\\u12\"]"_ba;
        QTest::newRow("bad hex digit") << "[\"\\u12g4\"]"_ba;
        QTest::newRow("overlong UTF-8") << "[\"\xc0\xaf\"]"_ba;
        QTest::newRow("UTF-8 surrogate") << "[\"\xed\xa0\x80\"]"_ba;
        QTest::newRow("beyond U+10FFFF") << "[\"\xf4\x90\x80\x80\"]"_ba;
        QTest::newRow("truncated sequence") << "[\"\xe2\x82\"]"_ba;
        QTest::newRow("stray continuation byte") << "[\"\x80\"]"_ba;
        QTest::newRow("too deep") << QByteArray(1025, '[') + QByteArray(1025, ']');
    }

    void notJson()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!JsonReader::parse(json));
    }

    void deepButAllowed()
    {
        const QByteArray json = QByteArray(1024, '[') + QByteArray(1024, ']');
        QVERIFY(JsonReader::parse(json));
    }

    void libraryRoundTrip()
    {
        QRandomGenerator random(7);
        QList<SavedWebsite> websites;
        for (qint64 id = 1; id <= 50; ++id) {
            QString text;
            for (int index = 0; index < 200; ++index)
                text += QChar(char16_t(random.bounded(index % 3 == 0 ? 0x10000 : 0x80)));
            websites.append({.id = id * 1000003, .url = u"https://x.test/"_s + QString::number(id), .title = text.left(20),
                             .content = text, .isPinned = id % 2 == 0});
        }
        for (const auto format : {QJsonDocument::Compact, QJsonDocument::Indented}) {
            const QByteArray json = QJsonDocument(SavedWebsite::listToJson(websites)).toJson(format);
            const auto parsed = JsonReader::parse(json);
            QVERIFY(parsed);
            QCOMPARE(*parsed, parsedByQt(json));
            QCOMPARE(SavedWebsite::listFromJson(*parsed).toOptional(), std::optional(websites));
        }
    }
};

QTEST_GUILESS_MAIN(JsonReaderTest)
#include "jsonreadertest.moc"
