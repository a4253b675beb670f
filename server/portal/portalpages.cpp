#include "portalpages.h"

#include "router.h"
#include "storepool.h"

#include <QCoroFuture>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace
{

ApiResponse page(const QString &title, const QString &bodyHtml, int status = 200)
{
    return ApiResponse::html(u"<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                             "<title>%1 · Corvane</title><link rel=\"stylesheet\" href=\"/portal.css\">"
                             "</head><body><h1>%1</h1>%2</body></html>\n"_s.arg(title.toHtmlEscaped(), bodyHtml),
                             status);
}

constexpr QByteArrayView sessionCookie = "corvane_session";
// Longer than any token or code this server hands out; anything longer is not looked up.
constexpr qsizetype maxSecretLength = 128;

QString bounded(const QString &value)
{
    return value.size() <= maxSecretLength ? value : QString();
}

ApiResponse invalidLink()
{
    return page(u"Your account"_s, u"<p>This link is no longer valid. Open your account again from the Corvane menu.</p>"_s, 401);
}
}

PortalPages::PortalPages(StorePool &store, QString latestVersion)
    : m_store(store)
    , m_latestVersion(std::move(latestVersion))
{ }

void PortalPages::registerRoutes(Router &router)
{
    using Method = QHttpServerRequest::Method;
    router.addPublic(Method::Get, u"/account"_s, [this](ApiRequest request) { return account(std::move(request)); });
    router.addPublic(Method::Get, u"/contact"_s, [this](ApiRequest request) { return contact(std::move(request)); });
    router.addPublic(Method::Get, u"/download"_s, [this](ApiRequest request) { return download(std::move(request)); });
    router.addPublic(Method::Get, u"/portal.css"_s, [this](ApiRequest request) { return styleSheet(std::move(request)); });
    router.addPublic(Method::Get, u"/api/version"_s, [this](ApiRequest request) { return version(std::move(request)); });
}

QCoro::Task<QString> PortalPages::signedInEmail(QString token)
{
    if (token.isEmpty())
        co_return QString();
    auto looking = m_store.run([token](Stores &stores) {
        const auto owner = stores.sessions.ownerOf(token);
        const auto account = owner ? stores.accounts.findById(owner->userId) : std::nullopt;
        return account ? account->email : QString();
    });
    co_return co_await looking;
}

QCoro::Task<ApiResponse> PortalPages::redeemCode(ApiRequest request)
{
    const QString code = bounded(request.query.queryItemValue(u"code"_s, QUrl::FullyDecoded));
    auto redeeming = m_store.run([code](Stores &stores) -> std::optional<QString> {
        const auto userId = stores.portalCodes.redeem(code);
        return userId ? std::optional(stores.sessions.issue(*userId)) : std::nullopt;
    });
    const std::optional<QString> token = co_await redeeming;
    if (!token)
        co_return invalidLink();
    QByteArray cookie = sessionCookie.toByteArray() + '=' + token->toLatin1() + "; Path=/; HttpOnly; SameSite=Strict";
    if (request.secure)
        cookie += "; Secure";
    // Sent on without the code, so that it stays out of the history entry the browser keeps.
    co_return ApiResponse{303, {}, {}, {{"Location", "/account"}, {"Set-Cookie", cookie}, {"Cache-Control", "no-store"}}};
}

QCoro::Task<ApiResponse> PortalPages::account(ApiRequest request)
{
    if (request.query.hasQueryItem(u"code"_s))
        co_return co_await redeemCode(std::move(request));
    // The token in the address is deprecated: it lands in browser history and proxy logs.
    const QString cookieToken = bounded(request.cookieValue(sessionCookie));
    const QString token = cookieToken.isEmpty() ? bounded(request.query.queryItemValue(u"token"_s, QUrl::FullyDecoded)) : cookieToken;
    const QString email = co_await signedInEmail(token);
    if (email.isEmpty())
        co_return invalidLink();
    co_return page(u"Your account"_s,
                   u"<p>Signed in as <span class=\"address\">%1</span>.</p>"
                   "<p>Change your password in the Corvane settings. If you forgot it, use "
                   "\"Forgot password?\" on the sign-in screen.</p>"_s.arg(email.toHtmlEscaped()));
}

QCoro::Task<ApiResponse> PortalPages::contact(ApiRequest request)
{
    const QString email = co_await signedInEmail(bounded(request.query.queryItemValue(u"token"_s, QUrl::FullyDecoded)));
    const QString account = email.isEmpty()
        ? QString()
        : u"<p>Please mention your account, <span class=\"address\">%1</span>.</p>"_s.arg(email.toHtmlEscaped());
    co_return page(u"Contact"_s, u"<p>Questions, problems or ideas? Write to the people who run this Corvane server.</p>"_s + account);
}

QCoro::Task<ApiResponse> PortalPages::download(ApiRequest)
{
    co_return page(u"Download Corvane"_s,
                   u"<p>The latest version is <strong>%1</strong>. Build it from the source with "
                   "<code>./scripts/run.sh</code>.</p>"_s.arg(m_latestVersion.toHtmlEscaped()));
}

// A file of its own: the pages' security policy refuses inline styles.
QCoro::Task<ApiResponse> PortalPages::styleSheet(ApiRequest)
{
    co_return ApiResponse{200,
                          "text/css; charset=utf-8",
                          "body{font-family:system-ui,sans-serif;max-width:36rem;margin:3rem auto;padding:0 1rem;"
                          "line-height:1.5;color:#222}h1{font-size:1.5rem}.address{font-weight:600}\n",
                          {{"Cache-Control", "max-age=86400"}}};
}

QCoro::Task<ApiResponse> PortalPages::version(ApiRequest)
{
    co_return ApiResponse::json(QJsonObject{{"latestVersion"_L1, m_latestVersion}});
}
