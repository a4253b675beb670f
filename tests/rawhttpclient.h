#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QTcpSocket>
#include <QUrl>

#include <memory>

struct HttpAnswer {
    int status = 0; // 0: no answer arrived
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    [[nodiscard]] QByteArray header(const QByteArray &name) const;
    // The body as a JSON object; empty when it is not one.
    [[nodiscard]] QJsonObject json() const;
    // The text of the "error" key, or empty.
    [[nodiscard]] QString error() const;
};

// A deliberately plain HTTP/1.1 client on a blocking socket, so tests control every byte they
// send — malformed requests included — and read exactly one answer back.
class RawHttpClient
{
public:
    explicit RawHttpClient(QUrl baseUrl);

    // A well-formed request on a kept-alive connection (reconnecting when the server closed it).
    HttpAnswer request(const QByteArray &method, const QString &path, const QByteArray &body = {}, const QString &token = {});
    // Arbitrary bytes on a fresh connection; waits up to timeoutMs for each of the answers and
    // returns those that arrived.
    QList<HttpAnswer> sendRaw(const QByteArray &bytes, int answers = 1, int timeoutMs = 5000);

private:
    static HttpAnswer readAnswer(QTcpSocket &socket, QByteArray &buffer, int timeoutMs);
    bool connectTo(QTcpSocket &socket) const;

    QUrl m_baseUrl;
    std::unique_ptr<QTcpSocket> m_socket;
};
