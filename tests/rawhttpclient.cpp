#include "rawhttpclient.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

QByteArray HttpAnswer::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QJsonObject HttpAnswer::json() const
{
    return QJsonDocument::fromJson(body).object();
}

QString HttpAnswer::error() const
{
    return json().value("error"_L1).toString();
}

QByteArray jsonBody(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray credentials(const QString &email, const QString &password)
{
    return jsonBody({{"email"_L1, email}, {"password"_L1, password}});
}

RawHttpClient::RawHttpClient(QUrl baseUrl, QByteArray forwardedFor)
    : m_baseUrl(std::move(baseUrl))
    , m_forwardedFor(std::move(forwardedFor))
{ }

bool RawHttpClient::connectTo(QTcpSocket &socket) const
{
    socket.connectToHost(m_baseUrl.host(), quint16(m_baseUrl.port()));
    return socket.waitForConnected(5000);
}

HttpAnswer RawHttpClient::request(const QByteArray &method, const QString &path, const QByteArray &body, const QString &token)
{
    QByteArray bytes
        = method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: " + m_baseUrl.host().toUtf8() + "\r\nContent-Type: application/json\r\n";
    if (!token.isEmpty())
        bytes += "Authorization: Bearer " + token.toUtf8() + "\r\n";
    if (!m_forwardedFor.isEmpty())
        bytes += "X-Forwarded-For: " + m_forwardedFor + "\r\n";
    if (!body.isEmpty() || method == "POST" || method == "PUT" || method == "PATCH")
        bytes += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    bytes += "\r\n" + body;

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
            m_socket = std::make_unique<QTcpSocket>();
            if (!connectTo(*m_socket))
                return {};
        }
        m_socket->write(bytes);
        QByteArray buffer;
        HttpAnswer answer = readAnswer(*m_socket, buffer, 10000);
        if (answer.status != 0)
            return answer;
        // The server may have closed a kept-alive connection just before we reused it.
        m_socket.reset();
    }
    return {};
}

QList<HttpAnswer> RawHttpClient::sendRaw(const QByteArray &bytes, int answers, int timeoutMs)
{
    QTcpSocket socket;
    if (!connectTo(socket))
        return {};
    socket.write(bytes);
    QByteArray buffer;
    QList<HttpAnswer> received;
    while (received.size() < answers) {
        HttpAnswer answer = readAnswer(socket, buffer, timeoutMs);
        if (answer.status == 0)
            break;
        received.append(std::move(answer));
    }
    return received;
}

// Reads one answer; bytes beyond it stay in buffer for the next one.
HttpAnswer RawHttpClient::readAnswer(QTcpSocket &socket, QByteArray &buffer, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd >= 0) {
            HttpAnswer answer;
            const QList<QByteArray> lines = buffer.first(headEnd).split('\n');
            answer.status = lines.first().split(' ').value(1).toInt();
            for (qsizetype index = 1; index < lines.size(); ++index) {
                const qsizetype colon = lines.at(index).indexOf(':');
                if (colon > 0)
                    answer.headers.append({lines.at(index).first(colon).trimmed(), lines.at(index).sliced(colon + 1).trimmed()});
            }
            const qint64 contentLength = answer.header("content-length").toLongLong();
            if (buffer.size() - headEnd - 4 >= contentLength) {
                answer.body = buffer.sliced(headEnd + 4, contentLength);
                buffer.remove(0, headEnd + 4 + contentLength);
                return answer;
            }
        }
        if (deadline.hasExpired())
            return {};
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return {};
        buffer += socket.readAll();
    }
}

QString ApiClient::registerAccount(const QString &email, const QString &password)
{
    const HttpAnswer answer = request("POST", u"/api/auth/register"_s, credentials(email, password));
    if (answer.status != 201)
        qWarning() << "registration failed" << answer.status << answer.body;
    return answer.json().value("token"_L1).toString();
}

HttpAnswer ApiClient::login(const QString &email, const QString &password)
{
    return request("POST", u"/api/auth/login"_s, credentials(email, password));
}

QString ApiClient::signIn(const QString &email, const QString &password)
{
    return login(email, password).json().value("token"_L1).toString();
}

HttpAnswer ApiClient::add(const QString &token, const QString &url, const QString &title)
{
    return request("POST", u"/api/websites"_s,
                   jsonBody({{"url"_L1, url}, {"title"_L1, title}, {"screenshotUrl"_L1, ""_L1}, {"content"_L1, "page text"_L1}}), token);
}

qint64 ApiClient::addId(const QString &token, const QString &url, const QString &title)
{
    return add(token, url, title).json().value("website"_L1).toObject().value("id"_L1).toInteger();
}

HttpAnswer ApiClient::list(const QString &token)
{
    return request("GET", u"/api/websites"_s, {}, token);
}

QJsonArray ApiClient::websites(const QString &token)
{
    return list(token).json().value("websites"_L1).toArray();
}

HttpAnswer ApiClient::pin(const QString &token, qint64 id)
{
    return request("PATCH", u"/api/websites/%1/pin"_s.arg(id), jsonBody({{"isPinned"_L1, true}}), token);
}

HttpAnswer ApiClient::forgot(const QString &email)
{
    return request("POST", u"/api/auth/forgot-password"_s, jsonBody({{"email"_L1, email}}));
}

HttpAnswer ApiClient::reset(const QString &email, const QString &code)
{
    return request("POST", u"/api/auth/reset-password"_s,
                   jsonBody({{"email"_L1, email}, {"code"_L1, code}, {"newPassword"_L1, "after12"_L1}}));
}
