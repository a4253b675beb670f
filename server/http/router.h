#pragma once

#include "apirequest.h"
#include "apiresponse.h"

#include <QCoroTask>
#include <QList>
#include <QStringList>

#include <functional>

// Maps method and path to a handler. Patterns are paths whose "{}" segments match any one
// non-empty segment and are passed on as arguments. A path that no pattern matches answers 404;
// a path that matches only for other methods answers 405 with an Allow header.
class Router
{
public:
    using Handler = std::function<QCoro::Task<ApiResponse>(ApiRequest)>;

    void add(QHttpServerRequest::Method method, const QString &pattern, Handler handler);
    // Never throws: a failure inside a handler becomes a 500 answer.
    QCoro::Task<ApiResponse> dispatch(ApiRequest request) const;

private:
    struct Route {
        QHttpServerRequest::Method method;
        QStringList segments;
        Handler handler;
    };

    static bool matches(const Route &route, const QStringList &segments, QStringList *arguments);

    QList<Route> m_routes;
};
