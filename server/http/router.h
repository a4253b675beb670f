#pragma once

#include "apirequest.h"
#include "apiresponse.h"

#include <QCoroTask>
#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

// Maps method and path to a handler. Patterns are paths whose "{}" segments match any one
// non-empty segment and are passed on as arguments. A path that no pattern matches answers 404;
// a path that matches only for other methods answers 405 with an Allow header. An authenticated
// route answers 401 unless the bearer token names a live session, and its handler is given the
// session's caller.
class Router
{
public:
    // The signed-in account an authenticated route is called for.
    struct Caller {
        qint64 accountId;
        // As the session lookup read it: a list cached at this version is still current.
        qint64 libraryVersion;
    };
    using Handler = std::function<QCoro::Task<ApiResponse>(ApiRequest)>;
    using AccountHandler = std::function<QCoro::Task<ApiResponse>(ApiRequest, Caller)>;
    // The caller of a live session token, or empty.
    using Authenticator = std::function<QCoro::Task<std::optional<Caller>>(QString token)>;

    explicit Router(Authenticator authenticator);

    void addPublic(QHttpServerRequest::Method method, const QString &pattern, Handler handler);
    void addAuthenticated(QHttpServerRequest::Method method, const QString &pattern, AccountHandler handler);
    // Never throws: a failure inside a handler becomes a 500 answer.
    QCoro::Task<ApiResponse> dispatch(ApiRequest request) const;

private:
    struct Route {
        QHttpServerRequest::Method method;
        QStringList segments;
        // Exactly one of the two is set.
        Handler handler;
        AccountHandler accountHandler;
    };

    static bool matches(const Route &route, const QStringList &segments, QStringList *arguments);
    QCoro::Task<ApiResponse> run(const Route &route, ApiRequest request) const;

    Authenticator m_authenticator;
    QList<Route> m_routes;
};
