#include "testsite.h"

#include <QUrl>

TestSite::TestSite()
{
    m_anchor.moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        &m_anchor, [this] { m_server = new StubServer; }, Qt::BlockingQueuedConnection);
    m_port = quint16(QUrl(m_server->baseUrl()).port());
}

TestSite::~TestSite()
{
    QMetaObject::invokeMethod(
        &m_anchor, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void TestSite::setPage(const QString &path, const Page &page)
{
    QMetaObject::invokeMethod(
        &m_anchor, [&] { m_server->on("GET", path, page); }, Qt::BlockingQueuedConnection);
}

int TestSite::hits(const QString &path) const
{
    qsizetype count = 0;
    QMetaObject::invokeMethod(
        &m_anchor, [&] { return m_server->requestsTo(path).size(); }, Qt::BlockingQueuedConnection, &count);
    return int(count);
}

QByteArray TestSite::lastHost() const
{
    QByteArray host;
    QMetaObject::invokeMethod(
        &m_anchor, [&] { return m_server->requests().isEmpty() ? QByteArray() : m_server->requests().last().header("host"); },
        Qt::BlockingQueuedConnection, &host);
    return host;
}
