#include "httpfrontend.h"

#include "apiresponse.h"
#include "guardedtcpserver.h"
#include "router.h"

#include <QHttpServerRequest>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace
{
// Bursts of new connections wait in the kernel's queue instead of being refused (Qt's default is 50).
constexpr int listenBacklog = 1024;

QCoro::Task<> respond(QCoro::Task<ApiResponse> answer, QPointer<QTcpSocket> socket, bool keepAlive)
{
    const ApiResponse response = co_await std::move(answer);
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        co_return;
    // Two writes spare copying a large body behind the head; the socket buffers them together.
    socket->write(response.head(keepAlive));
    socket->write(response.body);
    if (!keepAlive)
        socket->disconnectFromHost();
}
}

HttpFrontend::HttpFrontend(const Router &router, GuardedSocket::Limits limits, QList<QHostAddress> trustedProxies, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_router(router)
    , m_limits(limits)
    , m_trustedProxies(std::move(trustedProxies))
{ }

QHostAddress HttpFrontend::clientAddress(const QHttpServerRequest &request, const QTcpSocket *socket) const
{
    const QHostAddress peer = socket->peerAddress();
    if (!std::any_of(m_trustedProxies.begin(), m_trustedProxies.end(),
                     [&peer](const QHostAddress &proxy) { return proxy.isEqual(peer, QHostAddress::TolerantConversion); }))
        return peer;
    // The proxy appends the address it saw; entries before it come from the client and prove nothing.
    const QHostAddress forwarded(QString::fromLatin1(request.value("x-forwarded-for").split(',').last().trimmed()));
    return forwarded.isNull() ? peer : forwarded;
}

quint16 HttpFrontend::listen(const QHostAddress &address, quint16 port, QString *error)
{
    auto *server = new GuardedTcpServer(m_limits, this);
    server->setListenBacklogSize(listenBacklog);
    if (!server->listen(address, port)) {
        *error = server->errorString();
        delete server;
        return 0;
    }
    bind(server);
    return server->serverPort();
}

bool HttpFrontend::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    if (auto *guarded = qobject_cast<GuardedSocket *>(socket))
        guarded->startNextRequest();
    ApiRequest apiRequest;
    apiRequest.method = request.method();
    apiRequest.path = request.url().path();
    apiRequest.query = request.query();
    apiRequest.authorization = request.value("authorization");
    apiRequest.body = request.body();
    apiRequest.clientAddress = clientAddress(request, socket);
    const bool keepAlive = request.value("connection").toLower() != "close";
    // Runs on by itself; an answer that arrives after the client left is dropped.
    respond(m_router.dispatch(std::move(apiRequest)), socket, keepAlive);
    return true;
}

void HttpFrontend::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    socket->write(ApiResponse::error(404, u"Not found."_s).serialize(false));
    socket->disconnectFromHost();
}
