#include "singleinstance.h"

#include "privatefiles.h"

#include <QDir>
#include <QLocalSocket>

using namespace Qt::StringLiterals;

namespace
{
constexpr int kConnectTimeoutMs = 1000;
}

SingleInstance::SingleInstance(QString serverName, QObject *parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            Q_EMIT activationRequested();
        }
    });
}

QString SingleInstance::sessionServerName()
{
    // Never a name in a folder others may write to: whoever listens there first would take every
    // launch's request and make it quit.
    const auto folder = PrivateFiles::runtimeFolder();
    return folder ? QDir(*folder).filePath(u"corvane.socket"_s) : QString();
}

bool SingleInstance::notifyRunningInstance() const
{
    if (m_serverName.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    return socket.waitForConnected(kConnectTimeoutMs);
}

bool SingleInstance::listen()
{
    if (m_serverName.isEmpty())
        return false;
    if (m_server.listen(m_serverName))
        return true;
    if (m_server.serverError() != QAbstractSocket::AddressInUseError)
        return false;
    QLocalServer::removeServer(m_serverName);
    return m_server.listen(m_serverName);
}
