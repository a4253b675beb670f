#include "testsite.h"

#include <QBuffer>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

TestSite::TestSite()
{
    m_thread.start();
    m_server = new QTcpServer;
    m_server->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        m_server,
        [this] {
            QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
                while (QTcpSocket *socket = m_server->nextPendingConnection()) {
                    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
                    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                }
            });
            m_server->listen(QHostAddress::LocalHost, 0);
            m_port = m_server->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

TestSite::~TestSite()
{
    QMetaObject::invokeMethod(
        m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void TestSite::setPage(const QString &path, const Page &page)
{
    const QMutexLocker lock(&m_mutex);
    m_pages.insert(path, page);
}

int TestSite::hits(const QString &path) const
{
    const QMutexLocker lock(&m_mutex);
    return m_hits.value(path);
}

QByteArray TestSite::lastHost() const
{
    const QMutexLocker lock(&m_mutex);
    return m_lastHost;
}

TestSite::Page TestSite::redirect(const QByteArray &location, int status)
{
    return Page{status, "text/plain", {}, {{"Location", location}}, false};
}

TestSite::Page TestSite::image(const QByteArray &bytes, const QByteArray &contentType)
{
    return Page{200, contentType, bytes, {}, false};
}

QByteArray TestSite::encodedImage(const QColor &colour, int side, const char *format)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

void TestSite::serve(QTcpSocket *socket)
{
    const QByteArray head = socket->peek(64 * 1024);
    if (!head.isEmpty() && (head.at(0) < 'A' || head.at(0) > 'Z')) {
        socket->abort();
        return;
    }
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    socket->read(end + 4);
    const QList<QByteArray> lines = head.first(end).split('\n');
    const QString path = QString::fromLatin1(lines.first().split(' ').value(1));
    Page page{404, "text/plain", "not here", {}, false};
    {
        const QMutexLocker lock(&m_mutex);
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("host:"))
                m_lastHost = line.sliced(5).trimmed();
        }
        ++m_hits[path];
        page = m_pages.value(path, page);
    }
    QByteArray answer
        = "HTTP/1.1 " + QByteArray::number(page.status) + " Answer\r\nContent-Type: " + page.contentType + "\r\nConnection: close\r\n";
    for (const auto &[name, value] : page.headers)
        answer += name + ": " + value + "\r\n";
    if (!page.endless)
        answer += "Content-Length: " + QByteArray::number(page.body.size()) + "\r\n";
    socket->write(answer + "\r\n");
    if (page.endless) {
        keepSending(socket, page.body.repeated(qMax<qsizetype>(1, 64 * 1024 / qMax<qsizetype>(1, page.body.size()))));
        return;
    }
    socket->write(page.body);
    socket->disconnectFromHost();
}

// Tops the socket's buffer up whenever it drains, until the client goes away.
void TestSite::keepSending(QTcpSocket *socket, const QByteArray &chunk)
{
    socket->write(chunk);
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
        if (socket->bytesToWrite() < 4 * chunk.size())
            socket->write(chunk);
    });
}
