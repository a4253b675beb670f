#pragma once

#include "guardedsocket.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QList>

class Router;

// The HTTP side: accepts connections on guarded sockets, copies each parsed request into an
// ApiRequest, lets the router answer it (possibly later, after a password hash) and writes the
// answer, keeping the connection open unless the client asked to close it.
class HttpFrontend : public QAbstractHttpServer
{
    Q_OBJECT

public:
    HttpFrontend(const Router &router, GuardedSocket::Limits limits, QList<QHostAddress> trustedProxies, bool accessLog,
                 QObject *parent = nullptr);

    // The bound port (useful with port 0), or 0 with *error set.
    quint16 listen(const QHostAddress &address, quint16 port, QString *error);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    bool isTrustedProxy(const QHostAddress &peer) const;
    QHostAddress clientAddress(const QHttpServerRequest &request, const QTcpSocket *socket) const;

    const Router &m_router;
    GuardedSocket::Limits m_limits;
    QList<QHostAddress> m_trustedProxies;
    bool m_accessLog;
};
