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
    QByteArray cookie;
    QByteArray body;
    // The client's address: the peer's, or the one a trusted proxy forwarded.
    QHostAddress clientAddress;
    // Whether the client reached us over TLS: directly, or through a trusted proxy that says so.
    bool secure = false;
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

    // The value of the named cookie, or empty.
    [[nodiscard]] QString cookieValue(QByteArrayView name) const
    {
        for (const QByteArray &pair : cookie.split(';')) {
            const QByteArray trimmed = pair.trimmed();
            if (trimmed.size() > name.size() && trimmed.startsWith(name) && trimmed.at(name.size()) == '=')
                return QString::fromLatin1(trimmed.sliced(name.size() + 1));
        }
        return {};
    }
};
