#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QThread>

class QColor;
class QTcpServer;
class QTcpSocket;

// A small web site on 127.0.0.1 and an OS-chosen port, served from a thread of its own so that
// tests can block on a request to corvane-server while the server fetches from this site.
// Connections that do not start with an HTTP request line (a TLS hello) are closed at once.
class TestSite
{
public:
    struct Page {
        int status = 200;
        QByteArray contentType = "text/html";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        // Sends body forever, without a length.
        bool endless = false;
    };

    TestSite();
    ~TestSite();

    TestSite(const TestSite &) = delete;
    TestSite &operator=(const TestSite &) = delete;

    [[nodiscard]] quint16 port() const { return m_port; }
    // Paths not set answer 404.
    void setPage(const QString &path, const Page &page);
    // Requests served for path so far.
    [[nodiscard]] int hits(const QString &path) const;
    // The Host header of the latest request.
    [[nodiscard]] QByteArray lastHost() const;

    static Page redirect(const QByteArray &location, int status = 302);
    static Page image(const QByteArray &bytes, const QByteArray &contentType = "image/png");
    // A square of one colour, encoded in format.
    static QByteArray encodedImage(const QColor &colour, int side, const char *format = "PNG");

private:
    void serve(QTcpSocket *socket);
    static void keepSending(QTcpSocket *socket, const QByteArray &chunk);

    QThread m_thread;
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QHash<QString, Page> m_pages;
    QHash<QString, int> m_hits;
    QByteArray m_lastHost;
};
