#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QString>
#include <QStringList>
#include <QUrlQuery>

// What a route handler gets to see of a request: a value copied out of the HTTP layer, so a
// handler that waits (for a password hash) never touches the connection's buffers.
struct ApiRequest {
    QHttpServerRequest::Method method = QHttpServerRequest::Method::Unknown;
    QString path;
    QUrlQuery query;
    QByteArray authorization;
    QByteArray body;
    // The client's address: the peer's, or the one a trusted proxy forwarded.
    QHostAddress clientAddress;
    // The segments that matched the placeholders of the route, in order.
    QStringList arguments;

    // The token of an "Authorization: Bearer <token>" header, or empty.
    [[nodiscard]] QString bearerToken() const
    {
        static constexpr QByteArrayView scheme = "bearer ";
        if (authorization.size() <= scheme.size() || !authorization.first(scheme.size()).toLower().startsWith(scheme))
            return {};
        return QString::fromLatin1(authorization.sliced(scheme.size()).trimmed());
    }
};
