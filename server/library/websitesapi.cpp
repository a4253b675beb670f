#include "websitesapi.h"

#include "listbuilder.h"
#include "requestbody.h"
#include "router.h"
#include "sessionstore.h"
#include "websitestore.h"

#include <QCoroFuture>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace
{
constexpr qsizetype maxUrlLength = 8192;
constexpr qsizetype maxTitleLength = 2048;
constexpr qsizetype maxContentLength = 1'000'000;

const QString signInAgain = u"Please sign in again."_s;
const QString notFound = u"Website not found."_s;

// Only a plain positive decimal names a website; anything else cannot exist.
std::optional<qint64> websiteId(const QString &text)
{
    if (text.isEmpty() || text.size() > 19
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
        return std::nullopt;
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok || id <= 0)
        return std::nullopt;
    return id;
}

ApiResponse single(const SavedWebsite &website, int status = 200)
{
    return ApiResponse::json(SingleWebsiteResponse{website}.toJson(), status);
}
}

WebsitesApi::WebsitesApi(SessionStore &sessions, WebsiteStore &websites, ListBuilder &builder, qint64 cacheBytes, QObject *parent)
    : QObject(parent)
    , m_sessions(sessions)
    , m_websites(websites)
    , m_builder(builder)
    , m_lists(cacheBytes)
{ }

void WebsitesApi::registerRoutes(Router &router)
{
    using Method = QHttpServerRequest::Method;
    router.add(Method::Get, u"/api/websites"_s, [this](ApiRequest request) { return list(std::move(request)); });
    router.add(Method::Post, u"/api/websites"_s, [this](ApiRequest request) { return create(std::move(request)); });
    router.add(Method::Put, u"/api/websites/{}"_s, [this](ApiRequest request) { return rename(std::move(request)); });
    router.add(Method::Delete, u"/api/websites/{}"_s, [this](ApiRequest request) { return remove(std::move(request)); });
    router.add(Method::Patch, u"/api/websites/{}/pin"_s, [this](ApiRequest request) { return pin(std::move(request)); });
}

QCoro::Task<ApiResponse> WebsitesApi::list(ApiRequest request)
{
    const auto userId = m_sessions.userFor(request.bearerToken());
    if (!userId)
        co_return ApiResponse::error(401, signInAgain);
    // Version first: a change racing with the list makes the entry stale, never wrong.
    const qint64 version = m_websites.libraryVersion(*userId);
    if (const CachedList *cached = m_lists.object(*userId); cached && cached->version == version)
        co_return ApiResponse{200, "application/json", cached->body, {}};
    QPointer self(this);
    const std::optional<QByteArray> body = co_await m_builder.build(*userId);
    if (!self)
        co_return ApiResponse::error(503, u"The server is shutting down."_s);
    if (!body)
        co_return ApiResponse::error(500, u"Internal server error."_s);
    // An entry larger than the whole budget is simply not kept.
    m_lists.insert(*userId, new CachedList{version, *body}, body->size());
    co_return ApiResponse{200, "application/json", *body, {}};
}

QCoro::Task<ApiResponse> WebsitesApi::create(ApiRequest request)
{
    const auto userId = m_sessions.userFor(request.bearerToken());
    if (!userId)
        co_return ApiResponse::error(401, signInAgain);
    RequestBody body = RequestBody::parse(request.body);
    NewWebsite website;
    website.url = body.nonBlankText("url"_L1, maxUrlLength);
    website.title = body.nonBlankText("title"_L1, maxTitleLength);
    website.screenshotUrl = body.optionalText("screenshotUrl"_L1, maxUrlLength);
    website.content = body.optionalText("content"_L1, maxContentLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());
    const SavedWebsite saved = m_websites.create(*userId, website);
    Q_EMIT websiteSaved(QUrl(website.url), request.clientAddress);
    co_return single(saved, 201);
}

QCoro::Task<ApiResponse> WebsitesApi::rename(ApiRequest request)
{
    const auto userId = m_sessions.userFor(request.bearerToken());
    if (!userId)
        co_return ApiResponse::error(401, signInAgain);
    const auto id = websiteId(request.arguments.at(0));
    if (!id)
        co_return ApiResponse::error(404, notFound);
    RequestBody body = RequestBody::parse(request.body);
    const QString title = body.nonBlankText("title"_L1, maxTitleLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());
    const auto website = m_websites.rename(*userId, *id, title);
    if (!website)
        co_return ApiResponse::error(404, notFound);
    co_return single(*website);
}

QCoro::Task<ApiResponse> WebsitesApi::pin(ApiRequest request)
{
    const auto userId = m_sessions.userFor(request.bearerToken());
    if (!userId)
        co_return ApiResponse::error(401, signInAgain);
    const auto id = websiteId(request.arguments.at(0));
    if (!id)
        co_return ApiResponse::error(404, notFound);
    RequestBody body = RequestBody::parse(request.body);
    const bool pinned = body.boolean("isPinned"_L1);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());
    const auto website = m_websites.setPinned(*userId, *id, pinned);
    if (!website)
        co_return ApiResponse::error(404, notFound);
    co_return single(*website);
}

QCoro::Task<ApiResponse> WebsitesApi::remove(ApiRequest request)
{
    const auto userId = m_sessions.userFor(request.bearerToken());
    if (!userId)
        co_return ApiResponse::error(401, signInAgain);
    const auto id = websiteId(request.arguments.at(0));
    if (!id || !m_websites.remove(*userId, *id))
        co_return ApiResponse::error(404, notFound);
    co_return ApiResponse::json(DeleteWebsiteResponse{*id}.toJson());
}
