#pragma once

#include "support/stubserver.h"

#include <QThread>

// A small web site: a StubServer on a thread of its own, so that tests can block on a request to
// corvane-server while the server fetches from this site. Pages answer GET requests.
class TestSite
{
public:
    using Page = StubServer::Response;

    TestSite();
    ~TestSite();

    TestSite(const TestSite &) = delete;
    TestSite &operator=(const TestSite &) = delete;

    [[nodiscard]] quint16 port() const { return m_port; }
    void setPage(const QString &path, const Page &page);
    // Requests served for path so far.
    [[nodiscard]] int hits(const QString &path) const;
    // The Host header of the latest request.
    [[nodiscard]] QByteArray lastHost() const;

    static Page redirect(const QByteArray &location, int status = 302) { return {.status = status, .headers = {{"Location", location}}}; }

private:
    QThread m_thread;
    // Lives on m_thread, so that calls on it run there.
    mutable QObject m_anchor;
    StubServer *m_server = nullptr;
    quint16 m_port = 0;
};
