#include "records.h"

#include "jsonfields.h"

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

Decoded<QList<SavedWebsite>> SavedWebsite::listFromJson(const QJsonValue &value)
{
    return JsonFields::decodeList<SavedWebsite>(value);
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
