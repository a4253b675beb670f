#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <chrono>
#include <utility>

class QTcpSocket;

// A scripted HTTP/1.1 server for the client's network tests. It listens on 127.0.0.1 with a port
// the system chooses, answers each request from its script and records every request it received.
// Targets match the request line exactly (path and query as sent). A request with no scripted
// answer gets 404 with an "error" that names it. Every answer closes its connection; a silent or
// stalled answer keeps it open until the client gives up or the server is destroyed. A connection
// that does not start with a request line (a TLS hello) is closed at once.
class StubServer : public QObject
{
    Q_OBJECT

public:
    enum class Delivery {
        Whole,
        // Nothing at all.
        Never,
        // The status line, the headers and half of the body, then nothing more.
        Stalled,
        // The body in chunks of 4 KB, its length not declared.
        Chunked,
        // The body over and over, its length not declared, until the client goes away.
        Endless,
    };

    struct Response {
        int status = 200;
        QByteArray body;
        // Sent as given; Content-Length (unless chunked) and "Connection: close" are always added.
        QList<std::pair<QByteArray, QByteArray>> headers;
        // Time between receiving the request and answering it.
        std::chrono::milliseconds delay{0};
        Delivery delivery = Delivery::Whole;
    };

    struct Request {
        QByteArray method;
        QString target;
        // Names in lower case.
        QMap<QByteArray, QByteArray> headers;
        QByteArray body;

        // The value of a header (name in any case); empty when absent.
        [[nodiscard]] QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
        [[nodiscard]] bool hasHeader(const QByteArray &name) const { return headers.contains(name.toLower()); }
    };

    explicit StubServer(QObject *parent = nullptr);

    // "http://127.0.0.1:<port>", without a trailing slash: pass it as the portal address.
    [[nodiscard]] QString baseUrl() const;
    // A loopback address on which nothing listens, so connecting is refused.
    [[nodiscard]] static QString refusingBaseUrl();

    // The standing answer for method and target, replacing an earlier one.
    void on(const QByteArray &method, const QString &target, Response response);
    // A one-time answer, given before the standing one; several queue up in order.
    void queue(const QByteArray &method, const QString &target, Response response);

    [[nodiscard]] static Response json(int status, const QJsonValue &body);
    [[nodiscard]] static Response text(int status, const QByteArray &body, const QByteArray &contentType = "text/plain");
    [[nodiscard]] static Response silence();

    [[nodiscard]] const QList<Request> &requests() const { return m_requests; }
    // The requests for one target only: a signed-in model also fetches the library by itself.
    [[nodiscard]] QList<Request> requestsTo(const QString &target) const;

Q_SIGNALS:
    void requestReceived();

private:
    void accept();
    void read(QTcpSocket *socket);
    [[nodiscard]] Response answerFor(const Request &request);
    static void write(QTcpSocket *socket, const Response &response);

    QHash<QTcpSocket *, QByteArray> m_pending;
    QMap<std::pair<QByteArray, QString>, Response> m_standing;
    QMap<std::pair<QByteArray, QString>, QList<Response>> m_queued;
    QList<Request> m_requests;
    // Last, so it and its sockets go first: a closing socket still finds m_pending.
    QTcpServer m_server;
};
