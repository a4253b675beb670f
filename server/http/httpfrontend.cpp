#include "httpfrontend.h"

#include "apiresponse.h"
#include "guardedtcpserver.h"
#include "router.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHttpServerRequest>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QPointer>
#include <QSslKey>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcAccess, "corvane.access", QtInfoMsg)

namespace
{
// What the access log says of a request: never its query or body, which may carry a secret.
struct AccessEntry {
    QByteArray method;
    QString path;
    QElapsedTimer timer;
};

// Bursts of new connections wait in the kernel's queue instead of being refused (Qt's default is 50).
constexpr int listenBacklog = 1024;

QCoro::Task<> respond(QCoro::Task<ApiResponse> answer, QPointer<QTcpSocket> socket, bool keepAlive, std::optional<AccessEntry> access)
{
    const ApiResponse response = co_await std::move(answer);
    if (access)
        qCInfo(lcAccess).noquote() << access->method << access->path << response.status << access->timer.elapsed() << "ms";
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        co_return;
    // Two writes spare copying a large body behind the head; the socket buffers them together.
    socket->write(response.head(keepAlive));
    socket->write(response.body);
    if (!keepAlive)
        socket->disconnectFromHost();
}

// One X-Forwarded-For entry; proxies may add the client's port: "192.0.2.1:567", "[2001:db8::1]:443".
QHostAddress forwardedAddress(QByteArrayView entry)
{
    entry = entry.trimmed();
    const auto isPort = [](QByteArrayView text) {
        return !text.isEmpty() && text.size() <= 5 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (entry.startsWith('[')) {
        const qsizetype close = entry.indexOf(']');
        if (close < 0 || (close + 1 < entry.size() && (entry.at(close + 1) != ':' || !isPort(entry.sliced(close + 2)))))
            return {};
        entry = entry.sliced(1, close - 1);
    } else if (const qsizetype colon = entry.indexOf(':'); colon >= 0 && colon == entry.lastIndexOf(':')) {
        if (!isPort(entry.sliced(colon + 1)))
            return {};
        entry = entry.first(colon);
    }
    return QHostAddress(QString::fromLatin1(entry));
}
}

HttpFrontend::HttpFrontend(const Router &router, GuardedSocket::Limits limits, QList<QHostAddress> trustedProxies, bool accessLog,
                           QObject *parent)
    : QAbstractHttpServer(parent)
    , m_router(router)
    , m_limits(limits)
    , m_trustedProxies(std::move(trustedProxies))
    , m_accessLog(accessLog)
{ }

bool HttpFrontend::isTrustedProxy(const QHostAddress &peer) const
{
    return std::any_of(m_trustedProxies.begin(), m_trustedProxies.end(),
                       [&peer](const QHostAddress &proxy) { return proxy.isEqual(peer, QHostAddress::TolerantConversion); });
}

QHostAddress HttpFrontend::clientAddress(const QHttpServerRequest &request, const QTcpSocket *socket) const
{
    const QHostAddress peer = socket->peerAddress();
    if (!isTrustedProxy(peer))
        return peer;
    // The proxy appends the address it saw; entries before it come from the client and prove nothing.
    const QByteArray forwardedFor = request.value("x-forwarded-for");
    const QHostAddress forwarded = forwardedAddress(QByteArrayView(forwardedFor).sliced(forwardedFor.lastIndexOf(',') + 1));
    return forwarded.isNull() ? peer : forwarded;
}

std::optional<QSslConfiguration> HttpFrontend::tlsConfiguration(const QString &certificateFile, const QString &keyFile, QString *error)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certificateFile, QSsl::Pem);
    if (chain.isEmpty()) {
        *error = u"no PEM certificate in %1"_s.arg(certificateFile);
        return std::nullopt;
    }
    QFile file(keyFile);
    const QByteArray pem = file.open(QIODevice::ReadOnly) ? file.read(1024 * 1024) : QByteArray();
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa}) {
        if (key.isNull())
            key = QSslKey(pem, algorithm, QSsl::Pem);
    }
    if (key.isNull()) {
        *error = u"no unencrypted PEM private key in %1"_s.arg(keyFile);
        return std::nullopt;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    return configuration;
}

quint16 HttpFrontend::listen(const QHostAddress &address, quint16 port, const std::optional<QSslConfiguration> &tls, QString *error)
{
    auto *server = new GuardedTcpServer(m_limits, tls, this);
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
    apiRequest.cookie = request.value("cookie");
    const auto *encrypted = qobject_cast<const QSslSocket *>(socket);
    apiRequest.secure = (encrypted && encrypted->isEncrypted())
        || (isTrustedProxy(socket->peerAddress()) && request.value("x-forwarded-proto").toLower() == "https");
    apiRequest.body = request.body();
    apiRequest.clientAddress = clientAddress(request, socket);
    const bool keepAlive = request.value("connection").toLower() != "close";
    std::optional<AccessEntry> access;
    if (m_accessLog) {
        access = AccessEntry{QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(request.method())), apiRequest.path, {}};
        access->method = access->method.toUpper();
        access->timer.start();
    }
    // Runs on by itself; an answer that arrives after the client left is dropped.
    respond(m_router.dispatch(std::move(apiRequest)), socket, keepAlive, std::move(access));
    return true;
}

void HttpFrontend::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    socket->write(ApiResponse::error(404, u"Not found."_s).serialize(false));
    socket->disconnectFromHost();
}
