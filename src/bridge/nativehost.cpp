#include "nativehost.h"

#include "bridgelog.h"
#include "browsermessage.h"

#include <QJsonDocument>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{
// The relay carries what the host accepted, re-encoded, so it needs the same room.
constexpr qsizetype relayLimit = NativeMessaging::maximumPageTextMessage + NativeMessaging::maximumStateMessage;
}

NativeHost::NativeHost(QString browserId, QString serverName, int inputDescriptor, int outputDescriptor, QObject *parent)
    : QObject(parent)
    , m_browserId(std::move(browserId))
    , m_serverName(std::move(serverName))
    , m_outputDescriptor(outputDescriptor)
    , m_input(inputDescriptor, QSocketNotifier::Read)
{
    m_input.setEnabled(false);
    m_reconnectTimer.setInterval(reconnectInterval);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_input, &QSocketNotifier::activated, this, &NativeHost::readBrowser);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &NativeHost::connectToCorvane);
    connect(&m_corvane, &QLocalSocket::connected, this, &NativeHost::sendGreeting);
    connect(&m_corvane, &QLocalSocket::readyRead, this, &NativeHost::readCorvane);
    connect(&m_corvane, &QLocalSocket::disconnected, &m_reconnectTimer, qOverload<>(&QTimer::start));
    connect(&m_corvane, &QLocalSocket::errorOccurred, &m_reconnectTimer, qOverload<>(&QTimer::start));
}

void NativeHost::start()
{
    m_input.setEnabled(true);
    connectToCorvane();
}

void NativeHost::readBrowser()
{
    char buffer[64 * 1024];
    const ssize_t count = ::read(int(m_input.socket()), buffer, sizeof buffer);
    if (count <= 0) {
        m_input.setEnabled(false);
        Q_EMIT finished();
        return;
    }
    m_fromBrowser.append(QByteArrayView(buffer, count));
    while (const std::optional<QByteArray> payload = m_fromBrowser.next()) {
        if (const std::optional<BrowserMessage> message = BrowserMessage::fromPayload(*payload))
            relay(*message);
    }
}

void NativeHost::relay(const BrowserMessage &message)
{
    const std::optional<QByteArray> frame = NativeMessaging::encode(message.toJson(), relayLimit);
    if (!frame)
        return;
    if (m_corvane.state() == QLocalSocket::ConnectedState) {
        m_corvane.write(*frame);
        return;
    }
    // An answer to a request of an earlier connection has no one to go to.
    if (message.type == BrowserMessage::Type::State)
        m_pendingState = *frame;
}

void NativeHost::connectToCorvane()
{
    if (m_corvane.state() == QLocalSocket::UnconnectedState)
        m_corvane.connectToServer(m_serverName);
}

void NativeHost::sendGreeting()
{
    m_fromCorvane = FrameReader(NativeMessaging::maximumToBrowser);
    m_corvane.write(*NativeMessaging::encode({{u"type"_s, u"hello"_s}, {u"browser"_s, m_browserId}}));
    if (m_pendingState)
        m_corvane.write(*std::exchange(m_pendingState, std::nullopt));
}

void NativeHost::readCorvane()
{
    m_fromCorvane.append(m_corvane.readAll());
    while (const std::optional<QByteArray> payload = m_fromCorvane.next()) {
        const QJsonObject request = QJsonDocument::fromJson(*payload).object();
        if (request.value("type"_L1).toString() != "pageTextRequest"_L1)
            continue;
        const QJsonObject forwarded{{u"type"_s, u"pageTextRequest"_s}, {u"requestId"_s, request.value("requestId"_L1).toDouble()}};
        writeToBrowser(*NativeMessaging::encode(forwarded));
    }
}

void NativeHost::writeToBrowser(const QByteArray &frame)
{
    qsizetype written = 0;
    while (written < frame.size()) {
        const ssize_t count = ::write(m_outputDescriptor, frame.constData() + written, size_t(frame.size() - written));
        if (count <= 0) {
            qCInfo(lcBridge) << "the browser stopped reading";
            return;
        }
        written += count;
    }
}
