#include "guardedtcpserver.h"

GuardedTcpServer::GuardedTcpServer(GuardedSocket::Limits limits, std::optional<QSslConfiguration> tls, QObject *parent)
    : QTcpServer(parent)
    , m_limits(limits)
    , m_tls(std::move(tls))
{ }

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new GuardedSocket(m_limits, this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Answers go out in one or two writes and nothing follows them: no reason to wait for ACKs.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_tls)
        socket->startEncryption(*m_tls);
    addPendingConnection(socket);
}
