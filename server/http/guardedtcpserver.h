#pragma once

#include "guardedsocket.h"

#include <QSslConfiguration>
#include <QTcpServer>

#include <optional>

// Hands out GuardedSockets instead of plain ones, encrypted when given a TLS configuration.
class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT

public:
    GuardedTcpServer(GuardedSocket::Limits limits, std::optional<QSslConfiguration> tls, QObject *parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    GuardedSocket::Limits m_limits;
    std::optional<QSslConfiguration> m_tls;
};
