#include "websitesapi.h"

#include "requestbody.h"
#include "router.h"
#include "storepool.h"

#include <QCoroFuture>
#include <QJsonDocument>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace
{
constexpr qsizetype maxUrlLength = 8192;
constexpr qsizetype maxTitleLength = 2048;
constexpr qsizetype maxContentLength = 1'000'000;

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

ApiResponse found(const std::optional<SavedWebsite> &website)
{
    return website ? single(*website) : ApiResponse::error(404, notFound);
}

ApiResponse shuttingDown()
{
    return ApiResponse::error(503, u"The server is shutting down."_s);
}
}

WebsitesApi::WebsitesApi(StorePool &store, qint64 cacheBytes, SaveHook saved, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_saved(std::move(saved))
    , m_lists(cacheBytes)
{ }

void WebsitesApi::registerRoutes(Router &router)
{
    using Method = QHttpServerRequest::Method;
    router.addAuthenticated(Method::Get, u"/api/websites"_s,
                            [this](ApiRequest request, Router::Caller caller) { return list(std::move(request), caller); });
    router.addAuthenticated(Method::Post, u"/api/websites"_s,
                            [this](ApiRequest request, Router::Caller caller) { return create(std::move(request), caller.accountId); });
    router.addAuthenticated(Method::Put, u"/api/websites/{}"_s, [this](ApiRequest request, Router::Caller caller) {
        return edit(std::move(request), caller.accountId, [](RequestBody &body) -> Edit {
            return [title = body.nonBlankText("title"_L1, maxTitleLength)](WebsiteStore &websites, qint64 account, qint64 id) {
                return websites.rename(account, id, title);
            };
        });
    });
    router.addAuthenticated(Method::Delete, u"/api/websites/{}"_s,
                            [this](ApiRequest request, Router::Caller caller) { return remove(std::move(request), caller.accountId); });
    router.addAuthenticated(Method::Patch, u"/api/websites/{}/pin"_s, [this](ApiRequest request, Router::Caller caller) {
        return edit(std::move(request), caller.accountId, [](RequestBody &body) -> Edit {
            return [pinned = body.boolean("isPinned"_L1)](WebsiteStore &websites, qint64 account, qint64 id) {
                return websites.setPinned(account, id, pinned);
            };
        });
    });
}

QCoro::Task<ApiResponse> WebsitesApi::list(ApiRequest, Router::Caller caller)
{
    // The session lookup read the version before any list is read: a change racing with the list
    // makes the entry stale, never wrong.
    if (const CachedList *cached = m_lists.object(caller.accountId); cached && cached->version == caller.libraryVersion)
        co_return ApiResponse{200, "application/json", cached->body, {}};
    QPointer self(this);
    auto listing = m_store.run([userId = caller.accountId](Stores &stores) {
        return QJsonDocument(WebsitesResponse{stores.websites.list(userId)}.toJson()).toJson(QJsonDocument::Compact);
    });
    const QByteArray body = co_await listing;
    if (!self)
        co_return shuttingDown();
    // An entry larger than the whole budget is simply not kept.
    m_lists.insert(caller.accountId, new CachedList{caller.libraryVersion, body}, body.size());
    co_return ApiResponse{200, "application/json", body, {}};
}

QCoro::Task<ApiResponse> WebsitesApi::create(ApiRequest request, qint64 userId)
{
    RequestBody body = RequestBody::parse(request.body);
    NewWebsite website;
    website.url = body.nonBlankText("url"_L1, maxUrlLength);
    website.title = body.nonBlankText("title"_L1, maxTitleLength);
    website.screenshotUrl = body.optionalText("screenshotUrl"_L1, maxUrlLength);
    website.content = body.optionalText("content"_L1, maxContentLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());
    QPointer self(this);
    // The site is recorded before the answer goes out, so that its icon may be asked for at once.
    auto creating = m_store.run([userId, website](Stores &stores) {
        SavedWebsite saved = stores.websites.create(userId, website);
        try {
            stores.icons.addSavedSite(QUrl(website.url));
        } catch (const DatabaseError &failure) {
            // The website is saved all the same; only its icon stays unfetched.
            qCWarning(lcStorage) << "recording a saved site failed:" << failure.what();
        }
        return saved;
    });
    const SavedWebsite saved = co_await creating;
    if (!self)
        co_return shuttingDown();
    auto afterSave = m_saved(QUrl(website.url), request.clientAddress);
    co_await afterSave;
    co_return single(saved, 201);
}

QCoro::Task<ApiResponse> WebsitesApi::edit(ApiRequest request, qint64 userId, EditReader read)
{
    const auto id = websiteId(request.arguments.at(0));
    if (!id)
        co_return ApiResponse::error(404, notFound);
    RequestBody body = RequestBody::parse(request.body);
    Edit edit = read(body);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());
    auto editing = m_store.run([userId, id = *id, edit = std::move(edit)](Stores &stores) { return edit(stores.websites, userId, id); });
    const auto website = co_await editing;
    co_return found(website);
}

QCoro::Task<ApiResponse> WebsitesApi::remove(ApiRequest request, qint64 userId)
{
    const auto id = websiteId(request.arguments.at(0));
    if (!id)
        co_return ApiResponse::error(404, notFound);
    auto removing = m_store.run([userId, id = *id](Stores &stores) { return stores.websites.remove(userId, id); });
    const bool removed = co_await removing;
    if (!removed)
        co_return ApiResponse::error(404, notFound);
    co_return ApiResponse::json(DeleteWebsiteResponse{*id}.toJson());
}
