#pragma once

#include "guardedsocket.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QList>
#include <QSslConfiguration>

#include <optional>

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

    // The certificate chain and private key of PEM files; empty with *error set when unusable.
    static std::optional<QSslConfiguration> tlsConfiguration(const QString &certificateFile, const QString &keyFile, QString *error);

    // The bound port (useful with port 0), or 0 with *error set. With a TLS configuration every
    // connection is encrypted.
    quint16 listen(const QHostAddress &address, quint16 port, const std::optional<QSslConfiguration> &tls, QString *error);

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
