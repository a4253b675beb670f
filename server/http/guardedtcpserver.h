#pragma once

#include "guardedsocket.h"

#include <QTcpServer>

// Hands out GuardedSockets instead of plain ones.
class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT

public:
    GuardedTcpServer(GuardedSocket::Limits limits, QObject *parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    GuardedSocket::Limits m_limits;
};
