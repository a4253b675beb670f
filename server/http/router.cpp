#include "router.h"

#include <QLoggingCategory>
#include <QMetaEnum>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcHttp, "corvane.http", QtInfoMsg)

Router::Router(Authenticator authenticator)
    : m_authenticator(std::move(authenticator))
{ }

void Router::addPublic(QHttpServerRequest::Method method, const QString &pattern, Handler handler)
{
    m_routes.append(Route{method, pattern.split(u'/'), std::move(handler), {}});
}

void Router::addAuthenticated(QHttpServerRequest::Method method, const QString &pattern, AccountHandler handler)
{
    m_routes.append(Route{method, pattern.split(u'/'), {}, std::move(handler)});
}

bool Router::matches(const Route &route, const QStringList &segments, QStringList *arguments)
{
    if (route.segments.size() != segments.size())
        return false;
    arguments->clear();
    for (qsizetype index = 0; index < segments.size(); ++index) {
        const QString &expected = route.segments.at(index);
        if (expected == "{}"_L1) {
            if (segments.at(index).isEmpty())
                return false;
            arguments->append(segments.at(index));
        } else if (expected != segments.at(index)) {
            return false;
        }
    }
    return true;
}

QCoro::Task<ApiResponse> Router::dispatch(ApiRequest request) const
{
    const QStringList segments = request.path.split(u'/');
    QByteArrayList allowed;
    const Route *chosen = nullptr;
    for (const Route &route : m_routes) {
        QStringList arguments;
        if (!matches(route, segments, &arguments))
            continue;
        if (route.method == request.method) {
            chosen = &route;
            request.arguments = std::move(arguments);
            break;
        }
        allowed.append(QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(route.method)));
    }
    if (!chosen) {
        if (allowed.isEmpty())
            co_return ApiResponse::error(404, u"Not found."_s);
        ApiResponse response = ApiResponse::error(405, u"Method not allowed."_s);
        response.headers.append({"Allow", allowed.join(", ").toUpper()});
        co_return response;
    }
    try {
        co_return co_await run(*chosen, std::move(request));
    } catch (const std::exception &failure) {
        qCWarning(lcHttp) << "internal error:" << failure.what();
    }
    co_return ApiResponse::error(500, u"Internal server error."_s);
}

QCoro::Task<ApiResponse> Router::run(const Route &route, ApiRequest request) const
{
    if (route.handler)
        co_return co_await route.handler(std::move(request));
    const std::optional<Caller> caller = co_await m_authenticator(request.bearerToken());
    if (!caller)
        co_return ApiResponse::error(401, u"Please sign in again."_s);
    co_return co_await route.accountHandler(std::move(request), *caller);
}
