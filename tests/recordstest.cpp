#include "api/records.h"

#include <QJsonDocument>
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
    void websiteDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");

        QTest::newRow("minimal") << R"({"id":1,"url":"https://a.b","title":"A"})"_ba << true;
        QTest::newRow("all fields") << R"({"id":1,"url":"u","title":"t","screenshotUrl":"s","content":"c",
            "isPinned":true,"createdAt":"2024","updatedAt":"2025"})"_ba << true;
        QTest::newRow("nulls are absent") << R"({"id":1,"url":"u","title":"t","isPinned":null,"content":null})"_ba << true;
        QTest::newRow("unknown keys ignored") << R"({"id":1,"url":"u","title":"t","extra":[1,2],"owner":{}})"_ba << true;
        QTest::newRow("whole float id") << R"({"id":12.0,"url":"u","title":"t"})"_ba << true;
        QTest::newRow("largest id") << R"({"id":9223372036854775807,"url":"u","title":"t"})"_ba << true;
        QTest::newRow("id as text") << R"({"id":"12","url":"u","title":"t"})"_ba << false;
        QTest::newRow("fractional id") << R"({"id":12.5,"url":"u","title":"t"})"_ba << false;
        QTest::newRow("id beyond 64 bits") << R"({"id":1e30,"url":"u","title":"t"})"_ba << false;
        QTest::newRow("missing title") << R"({"id":1,"url":"u"})"_ba << false;
        QTest::newRow("null title") << R"({"id":1,"url":"u","title":null})"_ba << false;
        QTest::newRow("pinned as zero") << R"({"id":1,"url":"u","title":"t","isPinned":0})"_ba << false;
        QTest::newRow("pinned as text") << R"({"id":1,"url":"u","title":"t","isPinned":"true"})"_ba << false;
        QTest::newRow("content as number") << R"({"id":1,"url":"u","title":"t","content":5})"_ba << false;
        QTest::newRow("array instead of object") << R"([1,2])"_ba << false;
    }

    void websiteDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        const auto decoded = SavedWebsite::fromJson(parse(json));
        QCOMPARE(decoded.ok(), decodes);
        if (!decodes)
            QVERIFY(!decoded.error().isEmpty());
    }

    void absentOptionalsStayAbsent()
    {
        const auto decoded = SavedWebsite::fromJson(parse(R"({"id":7,"url":"u","title":"t","isPinned":null})"_ba));
        QVERIFY(decoded);
        const SavedWebsite &website = decoded.value();
        QCOMPARE(website.id, 7);
        QVERIFY(!website.isPinned);
        QVERIFY(!website.pinned());
        QVERIFY(!website.screenshotUrl && !website.content && !website.createdAt && !website.updatedAt);
        QCOMPARE(website.toJson().keys(), (QStringList{u"id"_s, u"title"_s, u"url"_s}));
    }

    void roundTripWritesOnlyPresentKeys_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("pinned false kept") << R"({"id":1,"url":"u","title":"t","isPinned":false})"_ba;
        QTest::newRow("empty content kept") << R"({"id":2,"url":"u","title":"","content":""})"_ba;
        QTest::newRow("everything") << R"({"id":3,"url":"u","title":"t","screenshotUrl":"s","content":"c",
            "isPinned":true,"createdAt":"a","updatedAt":"b"})"_ba;
    }

    void roundTripWritesOnlyPresentKeys()
    {
        QFETCH(QByteArray, json);
        const QJsonObject original = parse(json).toObject();
        const auto decoded = SavedWebsite::fromJson(original);
        QVERIFY(decoded);
        QCOMPARE(decoded.value().toJson(), original);
        QCOMPARE(SavedWebsite::fromJson(decoded.value().toJson()).value(), decoded.value());
    }

    void equalityDistinguishesAbsentFromFalse()
    {
        SavedWebsite a{.id = 1, .url = u"u"_s, .title = u"t"_s};
        SavedWebsite b = a;
        QCOMPARE(a, b);
        b.isPinned = false;
        QVERIFY(a != b);
        b.isPinned.reset();
        b.content = QString();
        QVERIFY(a != b);
    }

    void oneBadWebsiteFailsTheWholeResponse()
    {
        const auto good = WebsitesResponse::fromJson(parse(
            R"({"websites":[{"id":1,"url":"u","title":"t"},{"id":2,"url":"v","title":"w"}],"total":2})"_ba));
        QVERIFY(good);
        QCOMPARE(good.value().websites.size(), 2);

        const auto bad = WebsitesResponse::fromJson(parse(
            R"({"websites":[{"id":1,"url":"u","title":"t"},{"id":"2","url":"v","title":"w"}]})"_ba));
        QVERIFY(!bad);
        QVERIFY(bad.error().contains(u"websites"_s));

        QVERIFY(!SavedWebsite::listFromJson(parse(R"([{"id":1,"url":"u","title":"t"},{"url":"v"}])"_ba)));
        QVERIFY(SavedWebsite::listFromJson(parse(R"([])"_ba)));
    }

    void envelopes()
    {
        const auto auth = AuthResponse::fromJson(parse(R"({"token":"abc","user":{"id":3,"email":"a@b.c"}})"_ba));
        QVERIFY(auth);
        QCOMPARE(auth.value().user.email, u"a@b.c"_s);
        QVERIFY(!AuthResponse::fromJson(parse(R"({"token":"abc","user":{"id":3}})"_ba)));
        QVERIFY(!AuthResponse::fromJson(parse(R"({"token":"abc"})"_ba)));

        QVERIFY(!SingleWebsiteResponse::fromJson(parse(R"({"website":null})"_ba)));
        QCOMPARE(DeleteWebsiteResponse::fromJson(parse(R"({"deletedId":9})"_ba)).value().deletedId, 9);
        QVERIFY(!DeleteWebsiteResponse::fromJson(parse(R"({"deletedId":true})"_ba)));

        const auto message = SimpleMessageResponse::fromJson(parse(R"({"message":"Sent"})"_ba));
        QVERIFY(message);
        QCOMPARE(message.value().message, u"Sent"_s);
        QVERIFY(!message.value().success);
        QCOMPARE(message.value().toJson().keys(), QStringList{u"message"_s});

        const auto noError = APIErrorResponse::fromJson(parse(R"({"detail":"x"})"_ba));
        QVERIFY(noError);
        QVERIFY(!noError.value().error);
        QVERIFY(!APIErrorResponse::fromJson(parse(R"({"error":404})"_ba)));
    }

    void userRoundTrip()
    {
        const User user{.id = 5, .email = u"é@x.org"_s, .createdAt = u"2024-01-01T00:00:00Z"_s};
        const auto decoded = User::fromJson(user.toJson());
        QVERIFY(decoded);
        QCOMPARE(decoded.value(), user);
        QCOMPARE(User{.id = 5}.toJson().contains(u"createdAt"_s), false);
    }

    void formattedDomain_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("domain");

        QTest::newRow("www with port path query") << u"https://www.example.com:8080/a/b?q=1#f"_s << u"example.com"_s;
        QTest::newRow("plain host") << u"http://news.site.org/x"_s << u"news.site.org"_s;
        QTest::newRow("first label begins with www") << u"https://wwwx.example.com"_s << u"wwwx.example.com"_s;
        QTest::newRow("www inside host kept") << u"https://shop.www.example.com"_s << u"shop.www.example.com"_s;
        QTest::newRow("no scheme") << u"www.example.com/page"_s << u"www.example.com/page"_s;
        QTest::newRow("bare host") << u"example.com"_s << u"example.com"_s;
        QTest::newRow("not a url") << u"http://exa mple.com"_s << u"http://exa mple.com"_s;
        QTest::newRow("empty") << QString() << QString();
    }

    void formattedDomain()
    {
        QFETCH(QString, url);
        QFETCH(QString, domain);
        QCOMPARE(SavedWebsite{.url = url}.formattedDomain(), domain);
        QCOMPARE(ActiveBrowserTab{.url = url}.domain(), domain);
    }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "recordstest.moc"
