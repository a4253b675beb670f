#include "delayproxy.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <deque>
#include <utility>

namespace
{
using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
};

// One direction of one proxied connection.
struct Pipe {
    int from = -1;
    int to = -1;
    std::deque<Chunk> pending;
};
}

DelayProxy::DelayProxy(QString farHost, quint16 farPort, QString farSocketPath, std::chrono::microseconds delay)
    : m_farHost(std::move(farHost))
    , m_farPort(farPort)
    , m_farSocketPath(std::move(farSocketPath))
    , m_delay(delay)
{
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) != 0 || listen(m_listener, 64) != 0
        || getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

DelayProxy::~DelayProxy()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    close(m_listener);
}

int DelayProxy::connectFar() const
{
    if (!m_farSocketPath.isEmpty()) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, qPrintable(m_farSocketPath), sizeof(address.sun_path) - 1);
        if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0)
            return fd;
        close(fd);
        return -1;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(qPrintable(m_farHost), qPrintable(QString::number(m_farPort)), &hints, &found) != 0)
        return -1;
    const int fd = socket(found->ai_family, SOCK_STREAM, 0);
    const bool connected = connect(fd, found->ai_addr, found->ai_addrlen) == 0;
    freeaddrinfo(found);
    if (!connected) {
        close(fd);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    return fd;
}

std::vector<double> DelayProxy::takeOvershoot()
{
    std::lock_guard lock(m_overshootLock);
    return std::exchange(m_overshootUs, {});
}

void DelayProxy::serve()
{
    // Refused without the privilege; the overshoot then shows what that cost.
    prctl(PR_SET_TIMERSLACK, 1UL);
    const sched_param priority{.sched_priority = 1};
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    std::vector<Pipe> pipes;
    std::vector<char> buffer(64 * 1024);
    while (!m_stop) {
        const auto now = Clock::now();
        // Hand on what is due, then wait for input or the next due chunk: to the nanosecond, as a
        // wait rounded up to whole milliseconds would add up to a millisecond to every delay.
        Clock::duration timeout = std::chrono::milliseconds(50);
        for (Pipe &pipe : pipes) {
            while (!pipe.pending.empty() && pipe.pending.front().due <= now) {
                const std::vector<char> &bytes = pipe.pending.front().bytes;
                {
                    std::lock_guard lock(m_overshootLock);
                    m_overshootUs.push_back(std::chrono::duration<double, std::micro>(now - pipe.pending.front().due).count());
                }
                for (size_t sent = 0; sent < bytes.size();) {
                    const ssize_t written = send(pipe.to, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                    if (written <= 0)
                        break;
                    sent += size_t(written);
                }
                pipe.pending.pop_front();
            }
            if (!pipe.pending.empty())
                timeout = std::min(timeout, pipe.pending.front().due - now);
        }
        std::vector<pollfd> polled{{m_listener, POLLIN, 0}};
        for (const Pipe &pipe : pipes)
            polled.push_back({pipe.from, POLLIN, 0});
        const auto seconds = std::chrono::floor<std::chrono::seconds>(timeout);
        const timespec wait{.tv_sec = time_t(seconds.count()),
                            .tv_nsec = long(std::chrono::duration_cast<std::chrono::nanoseconds>(timeout - seconds).count())};
        if (ppoll(polled.data(), polled.size(), &wait, nullptr) <= 0)
            continue;
        for (size_t index = 1; index < polled.size(); ++index) {
            if (!(polled[index].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Pipe &pipe = pipes[index - 1];
            const ssize_t count = read(pipe.from, buffer.data(), buffer.size());
            if (count > 0) {
                pipe.pending.push_back({Clock::now() + m_delay, std::vector<char>(buffer.begin(), buffer.begin() + count)});
            } else {
                // Descriptors stay open until the bench ends: it makes a handful of connections.
                shutdown(pipe.to, SHUT_WR);
                pipe.from = -1;
            }
        }
        std::erase_if(pipes, [](const Pipe &pipe) { return pipe.from < 0 && pipe.pending.empty(); });
        if (polled[0].revents & POLLIN) {
            const int near = accept(m_listener, nullptr, nullptr);
            const int far = connectFar();
            if (near < 0 || far < 0) {
                close(near);
                close(far);
                continue;
            }
            const int on = 1;
            setsockopt(near, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
            pipes.push_back({near, far, {}});
            pipes.push_back({far, near, {}});
        }
    }
}
