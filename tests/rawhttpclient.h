#pragma once

#include <QByteArray>
#include <QJsonArray>
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

// A JSON object as a compact request body, and the body of a sign-in or registration.
QByteArray jsonBody(const QJsonObject &object);
QByteArray credentials(const QString &email, const QString &password);

// A deliberately plain HTTP/1.1 client on a blocking socket, so tests control every byte they
// send — malformed requests included — and read exactly one answer back.
class RawHttpClient
{
public:
    // forwardedFor goes with every request(), as a trusted proxy would send it.
    explicit RawHttpClient(QUrl baseUrl, QByteArray forwardedFor = {});

    // A well-formed request on a kept-alive connection (reconnecting when the server closed it).
    HttpAnswer request(const QByteArray &method, const QString &path, const QByteArray &body = {}, const QString &token = {});
    // Arbitrary bytes on a fresh connection; waits up to timeoutMs for each of the answers and
    // returns those that arrived.
    QList<HttpAnswer> sendRaw(const QByteArray &bytes, int answers = 1, int timeoutMs = 5000);

private:
    static HttpAnswer readAnswer(QTcpSocket &socket, QByteArray &buffer, int timeoutMs);
    bool connectTo(QTcpSocket &socket) const;

    QUrl m_baseUrl;
    QByteArray m_forwardedFor;
    std::unique_ptr<QTcpSocket> m_socket;
};

// The calls to corvane-server's API that most cases make; registrations use "secret1" unless told.
class ApiClient : public RawHttpClient
{
public:
    using RawHttpClient::RawHttpClient;

    // Registers an account and answers its token.
    QString registerAccount(const QString &email, const QString &password = QStringLiteral("secret1"));
    HttpAnswer login(const QString &email, const QString &password);
    // The token of a sign-in, or empty.
    QString signIn(const QString &email, const QString &password);
    HttpAnswer add(const QString &token, const QString &url, const QString &title);
    qint64 addId(const QString &token, const QString &url, const QString &title);
    HttpAnswer list(const QString &token);
    QJsonArray websites(const QString &token);
    HttpAnswer pin(const QString &token, qint64 id);
    HttpAnswer forgot(const QString &email);
    // Resets the password to "after12".
    HttpAnswer reset(const QString &email, const QString &code);
};
