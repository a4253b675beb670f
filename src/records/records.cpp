#include "records.h"

#include "jsonfields.h"
#include "jsonreader.h"

#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

Decoded<User> User::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    User user;
    user.id = fields.requiredInteger("id"_L1);
    user.email = fields.requiredString("email"_L1);
    user.createdAt = fields.optionalString("createdAt"_L1);
    return fields.result(std::move(user));
}

QJsonObject User::toJson() const
{
    QJsonObject object{{"id"_L1, id}, {"email"_L1, email}};
    insertIfPresent(object, "createdAt"_L1, createdAt);
    return object;
}

namespace
{
// What the library and the dashboard show of an address.
QString domainOf(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty())
        return url;
    static const QRegularExpression leadingWww(u"^www\\."_s);
    return parsed.host().remove(leadingWww);
}
}

QString SavedWebsite::formattedDomain() const
{
    return domainOf(url);
}

QString ActiveBrowserTab::domain() const
{
    return domainOf(url);
}

Decoded<SavedWebsite> SavedWebsite::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    SavedWebsite website;
    website.id = fields.requiredInteger("id"_L1);
    website.url = fields.requiredString("url"_L1);
    website.title = fields.requiredString("title"_L1);
    website.screenshotUrl = fields.optionalString("screenshotUrl"_L1);
    website.content = fields.optionalString("content"_L1);
    website.isPinned = fields.optionalBool("isPinned"_L1);
    website.createdAt = fields.optionalString("createdAt"_L1);
    website.updatedAt = fields.optionalString("updatedAt"_L1);
    return fields.result(std::move(website));
}

namespace
{
// Decodes the websites of a streamed array as they are read; the first refused one is the error.
class WebsiteListDecoder
{
public:
    JsonReader::StreamedArray streamed(QLatin1StringView key)
    {
        return {.key = key, .begin = [this] { restart(); }, .element = [this](const QJsonValue &element) { take(element); }};
    }

    [[nodiscard]] bool started() const { return m_started; }

    Decoded<QList<SavedWebsite>> result() &&
    {
        if (!m_error.isEmpty())
            return Decoded<QList<SavedWebsite>>::failure(m_error);
        return std::move(m_websites);
    }

private:
    void restart()
    {
        m_started = true;
        m_websites.clear();
        m_error.clear();
    }

    void take(const QJsonValue &element)
    {
        if (!m_error.isEmpty())
            return;
        auto decoded = SavedWebsite::fromJson(element);
        if (!decoded) {
            m_error = u"[%1]: %2"_s.arg(m_websites.size()).arg(decoded.error());
            return;
        }
        m_websites.append(std::move(decoded.value()));
    }

    bool m_started = false;
    QList<SavedWebsite> m_websites;
    QString m_error;
};
}

std::optional<Decoded<QList<SavedWebsite>>> SavedWebsite::listFromJsonText(QByteArrayView json)
{
    WebsiteListDecoder decoder;
    if (!JsonReader::parse(json, decoder.streamed({})))
        return std::nullopt;
    if (!decoder.started())
        return Decoded<QList<SavedWebsite>>::failure(u"expected an array"_s);
    return std::move(decoder).result();
}

QJsonObject SavedWebsite::toJson() const
{
    QJsonObject object{{"id"_L1, id}, {"url"_L1, url}, {"title"_L1, title}};
    insertIfPresent(object, "screenshotUrl"_L1, screenshotUrl);
    if (content)
        object.insert("content"_L1, content->toString());
    insertIfPresent(object, "isPinned"_L1, isPinned);
    insertIfPresent(object, "createdAt"_L1, createdAt);
    insertIfPresent(object, "updatedAt"_L1, updatedAt);
    return object;
}

QJsonArray SavedWebsite::listToJson(const QList<SavedWebsite> &websites)
{
    return JsonFields::encodeList(websites);
}

QByteArray SavedWebsite::listToJsonText(const QList<SavedWebsite> &websites, QJsonDocument::JsonFormat format)
{
    const bool compact = format == QJsonDocument::Compact;
    QByteArray text = compact ? "["_ba : "[\n"_ba;
    for (qsizetype index = 0; index < websites.size(); ++index) {
        QByteArray element = QJsonDocument(websites.at(index).toJson()).toJson(format);
        if (!compact) {
            // One level deeper than a document of its own. Strings hold no raw line break, so
            // every line break here is one of the layout's.
            element.chop(1);
            element.replace('\n', "\n    "_ba);
            text += "    "_ba;
        }
        text += element;
        if (index + 1 < websites.size())
            text += compact ? ","_ba : ",\n"_ba;
        else if (!compact)
            text += '\n';
    }
    text += compact ? "]"_ba : "]\n"_ba;
    return text;
}

Decoded<AuthResponse> AuthResponse::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    AuthResponse response;
    response.token = fields.requiredString("token"_L1);
    response.user = fields.requiredRecord<User>("user"_L1);
    return fields.result(std::move(response));
}

QJsonObject AuthResponse::toJson() const
{
    return {{"token"_L1, token}, {"user"_L1, user.toJson()}};
}

Decoded<WebsitesResponse> WebsitesResponse::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    WebsitesResponse response;
    response.websites = fields.requiredList<SavedWebsite>("websites"_L1);
    return fields.result(std::move(response));
}

std::optional<Decoded<WebsitesResponse>> WebsitesResponse::fromJsonText(QByteArrayView json)
{
    const auto key = "websites"_L1;
    WebsiteListDecoder decoder;
    const std::optional<QJsonValue> root = JsonReader::parse(json, decoder.streamed(key));
    if (!root)
        return std::nullopt;
    // The list was not streamed, or a later member of that name is no array: the usual errors.
    if (!decoder.started() || root->toObject().contains(key))
        return fromJson(*root);
    auto websites = std::move(decoder).result();
    if (!websites)
        return Decoded<WebsitesResponse>::failure(u"%1: %2"_s.arg(key, websites.error()));
    return WebsitesResponse{.websites = std::move(websites.value())};
}

QJsonObject WebsitesResponse::toJson() const
{
    return {{"websites"_L1, SavedWebsite::listToJson(websites)}};
}

Decoded<SingleWebsiteResponse> SingleWebsiteResponse::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    SingleWebsiteResponse response;
    response.website = fields.requiredRecord<SavedWebsite>("website"_L1);
    return fields.result(std::move(response));
}

QJsonObject SingleWebsiteResponse::toJson() const
{
    return {{"website"_L1, website.toJson()}};
}

Decoded<DeleteWebsiteResponse> DeleteWebsiteResponse::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    DeleteWebsiteResponse response;
    response.deletedId = fields.requiredInteger("deletedId"_L1);
    return fields.result(response);
}

QJsonObject DeleteWebsiteResponse::toJson() const
{
    return {{"deletedId"_L1, deletedId}};
}

Decoded<PortalCodeResponse> PortalCodeResponse::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    PortalCodeResponse response;
    response.code = fields.requiredString("code"_L1);
    return fields.result(std::move(response));
}

QJsonObject PortalCodeResponse::toJson() const
{
    return {{"code"_L1, code}};
}

Decoded<SimpleMessageResponse> SimpleMessageResponse::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    SimpleMessageResponse response;
    response.success = fields.optionalBool("success"_L1);
    response.message = fields.optionalString("message"_L1);
    response.error = fields.optionalString("error"_L1);
    return fields.result(std::move(response));
}

QJsonObject SimpleMessageResponse::toJson() const
{
    QJsonObject object;
    insertIfPresent(object, "success"_L1, success);
    insertIfPresent(object, "message"_L1, message);
    insertIfPresent(object, "error"_L1, error);
    return object;
}

Decoded<APIErrorResponse> APIErrorResponse::fromJson(const QJsonValue &value)
{
    JsonFields fields(value);
    APIErrorResponse response;
    response.error = fields.optionalString("error"_L1);
    return fields.result(std::move(response));
}

QJsonObject APIErrorResponse::toJson() const
{
    QJsonObject object;
    insertIfPresent(object, "error"_L1, error);
    return object;
}
