#pragma once

#include <QByteArray>
#include <QSslSocket>
#include <QTimer>

// A connection that protects the HTTP layer from what it does not handle itself: bodies beyond the
// size limit (413, judged from Content-Length before the body arrives, or by counting for chunked
// bodies), oversized headers (431), requests that stall half-way (408), idle keep-alive connections,
// and request lines that are not HTTP/1.x (400), which the HTTP parser would drop without an answer.
// Its readyRead slot is connected before the HTTP server's, so it sees every byte first and can
// drain a refused request before the parser reads it. With TLS, a handshake gets the time of a
// request; until it starts encryption the socket is a plain TCP connection.
class GuardedSocket : public QSslSocket
{
    Q_OBJECT

public:
    struct Limits {
        qint64 maxBodyBytes = 0;
        int requestTimeoutMs = 0;
        int idleTimeoutMs = 0;
    };

    GuardedSocket(Limits limits, QObject *parent = nullptr);

    // Called once a whole request has been handed to a handler: the next bytes start a new one.
    void startNextRequest();
    void startEncryption(const QSslConfiguration &configuration);

private:
    void inspectIncoming();
    void reject(int status, const QString &message);
    void expire();

    Limits m_limits;
    QByteArray m_head;
    qint64 m_headLength = -1;
    qint64 m_requestBytes = 0;
    bool m_rejected = false;
    QTimer m_timer;
};
