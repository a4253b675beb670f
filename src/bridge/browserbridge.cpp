#include "browserbridge.h"

#include "bridgelog.h"
#include "browsermessage.h"
#include "privatefiles.h"

#include <QDir>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <future>

using namespace Qt::StringLiterals;

BrowserBridge::BrowserBridge(QString serverName, QObject *parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &BrowserBridge::accept);
}

BrowserBridge::~BrowserBridge()
{
    // The sockets outlive the members their signals would reach.
    for (QLocalSocket *socket : m_connections.keys())
        socket->disconnect(this);
    for (const PageTextCallback &done : std::as_const(m_pendingPageText))
        done(std::nullopt);
}

QString BrowserBridge::sessionServerName()
{
    const std::optional<QString> folder = PrivateFiles::runtimeFolder();
    return folder ? QDir(*folder).filePath(u"corvane-bridge"_s) : QString();
}

bool BrowserBridge::listen()
{
    if (m_serverName.isEmpty())
        return false;
    QLocalServer::removeServer(m_serverName);
    if (!m_server.listen(m_serverName)) {
        qCInfo(lcBridge) << "cannot take the bridge socket:" << m_server.errorString();
        return false;
    }
    return true;
}

std::optional<BridgeBrowserState> BrowserBridge::state(const QString &browserId) const
{
    const QMutexLocker locker(&m_mutex);
    const auto found = m_states.constFind(browserId);
    return found == m_states.cend() ? std::nullopt : std::optional(*found);
}

QList<BridgeBrowserState> BrowserBridge::states() const
{
    const QMutexLocker locker(&m_mutex);
    return m_states.values();
}

QJsonArray BrowserBridge::report() const
{
    const auto now = BridgeBrowserState::Clock::now();
    QJsonArray browsers;
    for (const BridgeBrowserState &state : states()) {
        const auto age = std::chrono::duration_cast<std::chrono::milliseconds>(now - state.lastMessage);
        browsers.append(QJsonObject{
            {u"browser"_s, state.browserId},
            {u"connected"_s, state.isConnected(now)},
            {u"hostRunning"_s, state.open},
            {u"focused"_s, state.focused},
            {u"url"_s, state.url},
            {u"title"_s, state.title},
            {u"lastMessageAgeMs"_s, double(age.count())},
        });
    }
    return browsers;
}

QJsonObject BrowserBridge::askRunning(const QString &serverName, const QString &pageTextOf)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(1000))
        return {};
    socket.write(*NativeMessaging::encode({{u"type"_s, u"report"_s}, {u"pageTextOf"_s, pageTextOf}}));
    FrameReader reader(NativeMessaging::maximumToBrowser);
    std::optional<QByteArray> payload;
    while (!payload && socket.waitForReadyRead(5000)) {
        reader.append(socket.readAll());
        payload = reader.next();
    }
    return QJsonDocument::fromJson(payload.value_or(QByteArray())).object();
}

std::shared_ptr<BrowserBridge> BrowserBridge::fromReport(const QJsonArray &browsers)
{
    auto snapshot = std::make_shared<BrowserBridge>(QString());
    const auto now = BridgeBrowserState::Clock::now();
    for (const auto &entry : browsers) {
        const QJsonObject json = entry.toObject();
        const QString browserId = json.value("browser"_L1).toString();
        snapshot->m_states.insert(browserId,
                                  BridgeBrowserState{
                                      .browserId = browserId,
                                      .focused = json.value("focused"_L1).toBool(),
                                      .url = json.value("url"_L1).toString(),
                                      .title = json.value("title"_L1).toString(),
                                      .lastMessage = now - std::chrono::milliseconds(json.value("lastMessageAgeMs"_L1).toInteger()),
                                      .open = json.value("hostRunning"_L1).toBool(),
                                  });
    }
    return snapshot;
}

void BrowserBridge::accept()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        m_connections.insert(socket, Connection{});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { close(socket); });
    }
}

void BrowserBridge::read(QLocalSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    found->reader.append(socket->readAll());
    while (const std::optional<QByteArray> payload = found->reader.next()) {
        if (found->browserId.isEmpty()) {
            greet(socket, *found, *payload);
        } else if (const std::optional<BrowserMessage> message = BrowserMessage::fromPayload(*payload)) {
            apply(socket, found->browserId, *message);
        }
    }
}

// The host names its browser first; a connection that does not is closed.
void BrowserBridge::greet(QLocalSocket *socket, Connection &connection, const QByteArray &payload)
{
    const QJsonObject hello = QJsonDocument::fromJson(payload).object();
    if (hello.value("type"_L1).toString() == "report"_L1) {
        answerReport(socket, hello.value("pageTextOf"_L1).toString());
        return;
    }
    const QString browserId = hello.value("browser"_L1).toString();
    if (hello.value("type"_L1).toString() != "hello"_L1 || browserId.isEmpty() || browserId.size() > 64) {
        qCInfo(lcBridge) << "closed a bridge connection that did not say hello";
        socket->disconnectFromServer();
        return;
    }
    connection.browserId = browserId;
    m_hosts.insert(browserId, socket);
    {
        const QMutexLocker locker(&m_mutex);
        BridgeBrowserState &state = m_states[browserId];
        state.browserId = browserId;
        state.open = true;
        state.lastMessage = BridgeBrowserState::Clock::now();
    }
    Q_EMIT stateChanged(browserId);
}

void BrowserBridge::apply(QLocalSocket *socket, const QString &browserId, const BrowserMessage &message)
{
    {
        const QMutexLocker locker(&m_mutex);
        BridgeBrowserState &state = m_states[browserId];
        if (message.sequence <= state.sequence) {
            qCInfo(lcBridge) << "dropped an out-of-order message from" << browserId;
            return;
        }
        state.sequence = message.sequence;
        state.lastMessage = BridgeBrowserState::Clock::now();
        state.open = true;
        if (message.type == BrowserMessage::Type::State) {
            state.focused = message.focused;
            state.url = message.url;
            state.title = message.title;
        }
    }
    m_hosts.insert(browserId, socket);
    if (message.type == BrowserMessage::Type::PageText)
        answer(message.requestId, message.text);
    else
        Q_EMIT stateChanged(browserId);
}

void BrowserBridge::close(QLocalSocket *socket)
{
    const QString browserId = m_connections.take(socket).browserId;
    socket->deleteLater();
    if (browserId.isEmpty() || m_hosts.value(browserId) != socket)
        return;
    m_hosts.remove(browserId);
    {
        const QMutexLocker locker(&m_mutex);
        // The browser quit, or unloaded the add-on until its next event, which resends the focus:
        // either way the focus last reported no longer holds.
        BridgeBrowserState &state = m_states[browserId];
        state.open = false;
        state.focused = false;
    }
    Q_EMIT stateChanged(browserId);
}

void BrowserBridge::answerReport(QLocalSocket *socket, const QString &pageTextOf)
{
    auto send = [this, socket = QPointer(socket)](const std::optional<QString> &text) {
        if (!socket)
            return;
        QJsonObject reply{{u"browsers"_s, report()}};
        if (text)
            reply.insert(u"pageText"_s, QJsonObject{{u"characters"_s, text->size()}, {u"start"_s, text->left(100)}});
        socket->write(*NativeMessaging::encode(reply, NativeMessaging::maximumToBrowser));
        socket->disconnectFromServer();
    };
    if (pageTextOf.isEmpty())
        send(std::nullopt);
    else
        requestPageText(pageTextOf, std::chrono::seconds(3), send);
}

std::optional<QString> BrowserBridge::readPageText(const QString &browserId, std::chrono::milliseconds timeout)
{
    if (QThread::currentThread() == thread())
        return std::nullopt;
    auto answered = std::make_shared<std::promise<std::optional<QString>>>();
    std::future<std::optional<QString>> text = answered->get_future();
    QMetaObject::invokeMethod(
        this,
        [this, browserId, timeout, answered] {
            requestPageText(browserId, timeout, [answered](std::optional<QString> text) { answered->set_value(std::move(text)); });
        },
        Qt::QueuedConnection);
    // The bridge answers by the time-out; the margin covers a busy main thread.
    if (text.wait_for(timeout + std::chrono::seconds(1)) != std::future_status::ready)
        return std::nullopt;
    return text.get();
}

void BrowserBridge::requestPageText(const QString &browserId, std::chrono::milliseconds timeout, const PageTextCallback &done)
{
    QLocalSocket *host = m_hosts.value(browserId);
    if (!host) {
        done(std::nullopt);
        return;
    }
    const qint64 requestId = m_nextRequestId++;
    m_pendingPageText.insert(requestId, done);
    host->write(*NativeMessaging::encode({{u"type"_s, u"pageTextRequest"_s}, {u"requestId"_s, double(requestId)}}));
    QTimer::singleShot(timeout, this, [this, requestId, browserId] {
        if (m_pendingPageText.contains(requestId))
            qCInfo(lcBridge) << "no page text from" << browserId << "in time";
        answer(requestId, std::nullopt);
    });
}

void BrowserBridge::answer(qint64 requestId, std::optional<QString> text)
{
    if (const PageTextCallback done = m_pendingPageText.take(requestId))
        done(std::move(text));
}
