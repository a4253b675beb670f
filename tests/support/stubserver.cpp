#include "stubserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

StubServer::StubServer(QObject *parent)
    : QObject(parent)
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("StubServer cannot listen: %s", qPrintable(m_server.errorString()));
    connect(&m_server, &QTcpServer::newConnection, this, &StubServer::accept);
}

QString StubServer::baseUrl() const
{
    return u"http://127.0.0.1:%1"_s.arg(m_server.serverPort());
}

QString StubServer::refusingBaseUrl()
{
    // A port that was just free; nothing listens on it once this server is closed.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        qFatal("StubServer cannot find a free port");
    return u"http://127.0.0.1:%1"_s.arg(probe.serverPort());
}

void StubServer::on(const QByteArray &method, const QString &target, Response response)
{
    m_standing.insert({method, target}, std::move(response));
}

void StubServer::queue(const QByteArray &method, const QString &target, Response response)
{
    m_queued[{method, target}].append(std::move(response));
}

StubServer::Response StubServer::json(int status, const QJsonValue &body)
{
    const QJsonDocument document = body.isArray() ? QJsonDocument(body.toArray()) : QJsonDocument(body.toObject());
    return text(status, document.toJson(QJsonDocument::Compact), "application/json");
}

StubServer::Response StubServer::text(int status, const QByteArray &body, const QByteArray &contentType)
{
    return {.status = status, .body = body, .headers = {{"Content-Type", contentType}}};
}

StubServer::Response StubServer::silence()
{
    return {.delivery = Delivery::Never};
}

QList<StubServer::Request> StubServer::requestsTo(const QString &target) const
{
    QList<Request> matching;
    std::copy_if(m_requests.cbegin(), m_requests.cend(), std::back_inserter(matching),
                 [&target](const Request &request) { return request.target == target; });
    return matching;
}

void StubServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_pending.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

// Collects one request per connection: the head up to the blank line, then Content-Length bytes.
void StubServer::read(QTcpSocket *socket)
{
    const auto pending = m_pending.find(socket);
    if (pending == m_pending.end())
        return;
    QByteArray &buffer = *pending;
    buffer += socket->readAll();
    if (!buffer.isEmpty() && (buffer.front() < 'A' || buffer.front() > 'Z')) {
        socket->abort();
        return;
    }
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;

    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() < 2) {
        socket->abort();
        return;
    }
    Request request{.method = requestLine.at(0), .target = QString::fromUtf8(requestLine.at(1))};
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const QByteArray &line = lines.at(index);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const qsizetype bodyLength = request.headers.value("content-length").toLongLong();
    if (buffer.size() < headEnd + 4 + bodyLength)
        return;
    request.body = buffer.mid(headEnd + 4, bodyLength);
    m_pending.erase(pending);

    const Response response = answerFor(request);
    m_requests.append(std::move(request));
    Q_EMIT requestReceived();
    if (response.delivery == Delivery::Never)
        return;
    if (response.delay.count() > 0)
        QTimer::singleShot(response.delay, socket, [socket, response] { write(socket, response); });
    else
        write(socket, response);
}

StubServer::Response StubServer::answerFor(const Request &request)
{
    const std::pair key{request.method, request.target};
    if (auto queued = m_queued.find(key); queued != m_queued.end() && !queued->isEmpty())
        return queued->takeFirst();
    if (auto standing = m_standing.constFind(key); standing != m_standing.cend())
        return *standing;
    const QString unscripted = u"StubServer: nothing scripted for %1 %2"_s.arg(QString::fromLatin1(request.method), request.target);
    return json(404, QJsonObject{{u"error"_s, unscripted}});
}

void StubServer::write(QTcpSocket *socket, const Response &response)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Stub\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    if (response.delivery == Delivery::Chunked)
        head += "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    else if (response.delivery == Delivery::Endless)
        head += "Connection: close\r\n\r\n";
    else
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n\r\n";
    socket->write(head);
    if (response.delivery == Delivery::Chunked) {
        constexpr qsizetype chunkSize = 4096;
        for (qsizetype offset = 0; offset < response.body.size(); offset += chunkSize) {
            const QByteArray chunk = response.body.mid(offset, chunkSize);
            socket->write(QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
        }
        socket->write("0\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    if (response.delivery == Delivery::Endless) {
        // Tops the socket's buffer up whenever it drains.
        const QByteArray chunk = response.body.repeated(qMax<qsizetype>(1, 64 * 1024 / qMax<qsizetype>(1, response.body.size())));
        socket->write(chunk);
        connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
            if (socket->bytesToWrite() < 4 * chunk.size())
                socket->write(chunk);
        });
        return;
    }
    if (response.delivery == Delivery::Stalled) {
        socket->write(response.body.left(response.body.size() / 2));
        return;
    }
    socket->write(response.body);
    socket->disconnectFromHost();
}
