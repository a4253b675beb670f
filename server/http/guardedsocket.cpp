#include "guardedsocket.h"

#include "apiresponse.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace
{
constexpr qsizetype maxHeadBytes = 16 * 1024;
constexpr int closeDelayMs = 1000;

// "METHOD target HTTP/1.x", the only shape of request line we answer.
bool isRequestLine(QByteArrayView line)
{
    static const QRegularExpression shape(u"^[A-Z]{1,20} [\\x21-\\x7e]+ HTTP/1\\.[01]$"_s);
    return shape.match(QString::fromLatin1(line)).hasMatch();
}

struct HeadFacts {
    qint64 contentLength = 0; // -1: not a number
    bool hasContentLength = false;
    bool hasTransferEncoding = false;
};

HeadFacts readHead(QByteArrayView head)
{
    HeadFacts facts;
    for (QByteArrayView line : head.toByteArray().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArrayView name = line.first(colon).trimmed();
        if (name.compare("transfer-encoding", Qt::CaseInsensitive) == 0) {
            facts.hasTransferEncoding = true;
        } else if (!facts.hasContentLength && name.compare("content-length", Qt::CaseInsensitive) == 0) {
            bool ok = false;
            facts.hasContentLength = true;
            facts.contentLength = line.sliced(colon + 1).trimmed().toLongLong(&ok);
            if (!ok)
                facts.contentLength = -1;
        }
    }
    return facts;
}
}

GuardedSocket::GuardedSocket(Limits limits, QObject *parent)
    : QSslSocket(parent)
    , m_limits(limits)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &GuardedSocket::expire);
    connect(this, &QTcpSocket::readyRead, this, &GuardedSocket::inspectIncoming);
    m_timer.start(m_limits.idleTimeoutMs);
}

void GuardedSocket::startNextRequest()
{
    m_head.clear();
    m_headLength = -1;
    m_requestBytes = 0;
    m_timer.start(m_limits.idleTimeoutMs);
}

void GuardedSocket::startEncryption(const QSslConfiguration &configuration)
{
    setSslConfiguration(configuration);
    m_timer.start(m_limits.requestTimeoutMs);
    connect(this, &QSslSocket::encrypted, this, [this] { m_timer.start(m_limits.idleTimeoutMs); });
    startServerEncryption();
}

void GuardedSocket::inspectIncoming()
{
    if (m_rejected) {
        // Drain what the client still sends after the refusal, away from the HTTP parser.
        if (isTransactionStarted())
            commitTransaction();
        read(bytesAvailable());
        return;
    }
    const qint64 available = bytesAvailable();
    if (m_requestBytes == 0)
        m_timer.start(m_limits.requestTimeoutMs);
    m_requestBytes += available;
    if (m_headLength < 0) {
        // Headers nearly always fit the first few kilobytes; copy more only when they do not.
        const qint64 wanted = qMin<qint64>(available, maxHeadBytes + 4 - m_head.size());
        const qsizetype previous = m_head.size();
        m_head += peek(qMin<qint64>(wanted, 4096));
        if (m_head.indexOf("\r\n\r\n") < 0 && wanted > 4096) {
            m_head.truncate(previous);
            m_head += peek(wanted);
        }
        const qsizetype lineEnd = m_head.indexOf("\r\n");
        if (lineEnd >= 0 && !isRequestLine(QByteArrayView(m_head).first(lineEnd)))
            return reject(400, u"The request is not valid HTTP."_s);
        const qsizetype end = m_head.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_head.size() > maxHeadBytes)
                reject(431, u"The request headers are too large."_s);
            return;
        }
        m_headLength = end + 4;
        const QByteArrayView head = QByteArrayView(m_head).first(end);
        // A NUL could end a header value early for one reader and not for another.
        if (head.contains('\0'))
            return reject(400, u"A request header holds a NUL byte."_s);
        const HeadFacts facts = readHead(head);
        // Two framings at once is how requests get smuggled past a proxy: refuse the guess.
        if (facts.hasContentLength && facts.hasTransferEncoding)
            return reject(400, u"The request has both Content-Length and Transfer-Encoding."_s);
        if (facts.contentLength < 0)
            return reject(400, u"The Content-Length header is not a number."_s);
        if (facts.contentLength > m_limits.maxBodyBytes)
            return reject(413, u"The request body is too large."_s);
        m_head.clear();
    }
    if (m_requestBytes - m_headLength > m_limits.maxBodyBytes)
        reject(413, u"The request body is too large."_s);
}

void GuardedSocket::reject(int status, const QString &message)
{
    m_rejected = true;
    write(ApiResponse::error(status, message).serialize(false));
    flush();
    if (isTransactionStarted())
        commitTransaction();
    read(bytesAvailable());
    // Closing at once would reset a client that is still sending and could lose the answer.
    m_timer.stop();
    // The HTTP server may have dropped this socket after a parse error; free it ourselves then.
    connect(this, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    QTimer::singleShot(closeDelayMs, this, [this] { disconnectFromHost(); });
}

void GuardedSocket::expire()
{
    // A handshake that stalls gets no answer: there is no channel to send one on.
    if (mode() != QSslSocket::UnencryptedMode && !isEncrypted())
        abort();
    else if (m_requestBytes == 0)
        disconnectFromHost();
    else
        reject(408, u"The request was not completed in time."_s);
}
