#include "records.h"
#include "jsonfields.h"
#include "jsonreader.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
QJsonValue parse(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test JSON: %s", json.constData());
    return document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
}
}

class RecordsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // "written" is what the decoded website writes back; empty when it must not decode.
    void websiteDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("written");
        auto decodes = [](const char *name, const QByteArray &json, const QByteArray &written = {}) {
            QTest::newRow(name) << json << (written.isEmpty() ? json : written);
        };
        auto fails = [](const char *name, const QByteArray &json) { QTest::newRow(name) << json << QByteArray(); };
        const auto plain = R"({"id":1,"url":"u","title":"t"})"_ba;
        decodes("everything",
                R"({"id":3,"url":"u","title":"t","screenshotUrl":"s","content":"c","isPinned":true,"createdAt":"a","updatedAt":"b"})");
        decodes("nulls are absent", R"({"id":1,"url":"u","title":"t","isPinned":null,"content":null})", plain);
        decodes("unknown keys ignored", R"({"id":1,"url":"u","title":"t","extra":[1,2],"owner":{}})", plain);
        decodes("largest id", R"({"id":9223372036854775807,"url":"u","title":"t"})");
        fails("id as text", R"({"id":"12","url":"u","title":"t"})");
        fails("fractional id", R"({"id":12.5,"url":"u","title":"t"})");
        fails("missing title", R"({"id":1,"url":"u"})");
        fails("content as number", R"({"id":1,"url":"u","title":"t","content":5})");
    }

    void websiteDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, written);
        const auto decoded = SavedWebsite::fromJson(parse(json));
        QCOMPARE(decoded.ok(), !written.isEmpty());
        if (!decoded) {
            QVERIFY(!decoded.error().isEmpty());
            return;
        }
        const QJsonObject expected = parse(written).toObject();
        QCOMPARE(decoded.value().toJson(), expected);
        QCOMPARE(decoded.value().pinned(), expected.value("isPinned"_L1).toBool());
        QCOMPARE(SavedWebsite::fromJson(expected).value(), decoded.value());
    }

    // What the client's tests leave out: fields absent or of the wrong type. Decoding a sign-in,
    // a message and a deletion is accountflowstest's and backendclienttest's.
    void envelopes()
    {
        QVERIFY(!User{.id = 3}.toJson().contains(u"createdAt"_s));
        QVERIFY(!SingleWebsiteResponse::fromJson(parse(R"({"website":null})"_ba)));
        QVERIFY(!DeleteWebsiteResponse::fromJson(parse(R"({"deletedId":true})"_ba)));
        QVERIFY(!APIErrorResponse::fromJson(parse(R"({"error":404})"_ba)));
    }

    void formattedDomain_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("domain");

        QTest::newRow("www with port path query") << u"https://www.example.com:8080/a/b?q=1#f"_s << u"example.com"_s;
        QTest::newRow("first label begins with www") << u"https://wwwx.example.com"_s << u"wwwx.example.com"_s;
        QTest::newRow("www inside host kept") << u"https://shop.www.example.com"_s << u"shop.www.example.com"_s;
        QTest::newRow("no scheme") << u"www.example.com/page"_s << u"www.example.com/page"_s;
        QTest::newRow("not a url") << u"http://exa mple.com"_s << u"http://exa mple.com"_s;
    }

    void formattedDomain()
    {
        QFETCH(QString, url);
        QFETCH(QString, domain);
        QCOMPARE(SavedWebsite{.url = url}.formattedDomain(), domain);
        QCOMPARE(ActiveBrowserTab{.url = url}.domain(), domain);
    }

    // The reader the library uses for large responses.
    void sameValuesAsQJsonDocument_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty array") << "[]"_ba;
        QTest::newRow("scalars") << "[true,false,null,0,-0,12,-7,1.5,2e3,1E-2,-1.25e+2]"_ba;
        QTest::newRow("integers at the edges") << "[9223372036854775807,-9223372036854775808,9223372036854775808]"_ba;
        QTest::newRow("escapes") << "[\"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\t\", \"\\u00e9\\u20AC\"]"_ba;
        QTest::newRow("surrogate pair and lone halves") << "[\"\\ud83d\\ude00\", \"\\ud800\", \"\\udc00x\"]"_ba;
        QTest::newRow("UTF-8 of every length") << "[\"a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"]"_ba;
        QTest::newRow("byte order mark") << "\xef\xbb\xbf[1]"_ba;
        QTest::newRow("repeated key keeps the last") << "{\"a\":1,\"b\":2,\"a\":3}"_ba;
        QTest::newRow("escaped backslash before the quote") << "[\"x\\\\\", \"\\\\\\\"y\"]"_ba;
    }

    void sameValuesAsQJsonDocument()
    {
        QFETCH(QByteArray, json);
        const auto parsed = JsonReader::parse(json);
        QVERIFY(parsed);
        // Equal down to the text, which tells an integer from a whole double.
        QCOMPARE(QJsonDocument(parsed->toArray()).toJson() + QJsonDocument(parsed->toObject()).toJson(),
                 QJsonDocument(parse(json).toArray()).toJson() + QJsonDocument(parse(json).toObject()).toJson());
    }

    void notJson_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("scalar root") << "1"_ba;
        QTest::newRow("unterminated string") << "[\"abc"_ba;
        QTest::newRow("escaped closing quote") << "[\"abc\\\"]"_ba;
        QTest::newRow("trailing comma") << "[1,]"_ba;
        QTest::newRow("missing colon") << "{\"a\" 1}"_ba;
        QTest::newRow("garbage after") << "[1] x"_ba;
        QTest::newRow("leading zero") << "[01]"_ba;
        QTest::newRow("fraction without digits") << "[1.]"_ba;
        QTest::newRow("too large") << "[1e400]"_ba;
        QTest::newRow("unknown escape") << "[\"\\x\"]"_ba;
        QTest::newRow("overlong UTF-8") << "[\"\xc0\xaf\"]"_ba;
        QTest::newRow("UTF-8 surrogate") << "[\"\xed\xa0\x80\"]"_ba;
        QTest::newRow("stray continuation byte") << "[\"\x80\"]"_ba;
        QTest::newRow("too deep") << QByteArray(1025, '[') + QByteArray(1025, ']');
    }

    void deepButAllowed() { QVERIFY(JsonReader::parse(QByteArray(1024, '[') + QByteArray(1024, ']'))); }

    void notJson()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!JsonReader::parse(json));
    }

    // Lists are read element by element as they are parsed; the outcome must be the one decoding
    // the parsed value gives, down to the error, the last of a repeated key and "not JSON".
    void streamedListDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        const auto site = R"({"id":1,"url":"u","title":"t"})"_ba;
        QTest::newRow("list") << "{\"websites\":["_ba + site + "," + site + "]}";
        QTest::newRow("refused second and third website") << "{\"websites\":["_ba + site + R"(,{"id":"2"},{"id":3}]})";
        QTest::newRow("refused website, then not JSON") << R"({"websites":[{"id":"2"}],})"_ba;
        QTest::newRow("repeated: a later list wins") << "{\"websites\":["_ba + site + R"(],"websites":[]})";
        QTest::newRow("repeated: a later number wins") << "{\"websites\":["_ba + site + R"(],"websites":5})";
        QTest::newRow("missing, a nested one ignored") << R"({"page":{"websites":[]}})"_ba;
        QTest::newRow("deep nesting inside") << "{\"websites\":["_ba + QByteArray(1022, '[') + QByteArray(1022, ']') + "]}";
        QTest::newRow("too deep inside") << "{\"websites\":["_ba + QByteArray(1023, '[') + QByteArray(1023, ']') + "]}";
    }

    void streamedListDecoding()
    {
        QFETCH(QByteArray, json);
        const std::optional<QJsonValue> parsed = JsonReader::parse(json);
        const auto response = WebsitesResponse::fromJsonText(json);
        const auto viaValues = parsed ? std::optional(WebsitesResponse::fromJson(*parsed)) : std::nullopt;
        QCOMPARE(response.has_value(), viaValues.has_value());
        QCOMPARE(response && *response, viaValues && *viaValues);
        if (response && *response)
            QCOMPARE(response->value().websites, viaValues->value().websites);
        else if (response)
            QCOMPARE(response->error(), viaValues->error());

        // The same list as a root array.
        const QJsonValue list = parsed ? parsed->toObject().value("websites"_L1) : QJsonValue();
        if (!list.isArray())
            return;
        const QByteArray listJson = QJsonDocument(list.toArray()).toJson();
        const auto decoded = SavedWebsite::listFromJsonText(listJson);
        const auto reference = JsonFields::decodeList<SavedWebsite>(list);
        QVERIFY(decoded);
        QCOMPARE(decoded->ok(), reference.ok());
        QCOMPARE(decoded->ok() ? decoded->value() : QList<SavedWebsite>(), reference.ok() ? reference.value() : QList<SavedWebsite>());
        QCOMPARE(decoded->error(), reference.error());
    }

    // Written one website at a time, yet as Qt writes the whole list, and read back unchanged.
    void listTextRoundTrip_data()
    {
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<QJsonDocument::JsonFormat>("format");
        for (const qsizetype count : {0, 1, 40})
            for (const auto format : {QJsonDocument::Compact, QJsonDocument::Indented})
                QTest::addRow("%lld, %s", qlonglong(count), format == QJsonDocument::Compact ? "compact" : "indented") << count << format;
    }

    void listTextRoundTrip()
    {
        QFETCH(qsizetype, count);
        QFETCH(QJsonDocument::JsonFormat, format);
        QRandomGenerator random(7);
        QList<SavedWebsite> websites;
        for (qint64 id = 1; id <= count; ++id) {
            QString text;
            for (int index = 0; index < 200; ++index)
                text += QChar(char16_t(random.bounded(index % 3 == 0 ? 0x10000 : 0x80)));
            websites.append({.id = id * 1000003,
                             .url = u"https://x.test/"_s + QString::number(id),
                             .title = text.left(20),
                             .screenshotUrl = id % 3 == 0 ? std::optional(u"s"_s) : std::nullopt,
                             .content = text,
                             .isPinned = id % 2 == 0});
        }
        const QByteArray json = SavedWebsite::listToJsonText(websites, format);
        QCOMPARE(json, QJsonDocument(SavedWebsite::listToJson(websites)).toJson(format));
        const auto decoded = SavedWebsite::listFromJsonText(json);
        QVERIFY(decoded && *decoded);
        QCOMPARE(decoded->value(), websites);
        // Page text is most of a library: it keeps no room to spare.
        for (const SavedWebsite &website : decoded->value())
            QCOMPARE(website.content->utf8().capacity(), website.content->utf8().size());
    }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "recordstest.moc"
