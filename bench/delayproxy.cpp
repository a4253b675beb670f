#include "delayproxy.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>

namespace
{
using Clock = std::chrono::steady_clock;

// One direction of one proxied connection.
struct Pipe {
    int from = -1;
    int to = -1;
};

// Bytes read from a pipe, held until due; none stand for the end of its stream. Every chunk waits
// the same delay, so they fall due in the order they came in.
struct Chunk {
    Clock::time_point due;
    Pipe *pipe = nullptr;
    std::vector<char> bytes;
};

void sendAll(int socket, const std::vector<char> &bytes)
{
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t written = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (written <= 0)
            return;
        sent += size_t(written);
    }
}
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

DelayProxy::Fidelity DelayProxy::takeFidelity()
{
    clockid_t clock{};
    timespec used{};
    pthread_getcpuclockid(m_thread.native_handle(), &clock);
    clock_gettime(clock, &used);
    const double cpuSeconds = double(used.tv_sec) + double(used.tv_nsec) / 1e9;
    std::lock_guard lock(m_fidelityLock);
    return {std::exchange(m_overshootUs, {}), cpuSeconds - std::exchange(m_cpuSecondsTaken, cpuSeconds)};
}

void DelayProxy::serve()
{
    // Refused without the privilege; the overshoot then shows what that cost.
    prctl(PR_SET_TIMERSLACK, 1UL);
    const sched_param priority{.sched_priority = 1};
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    // epoll rather than poll: a wire costs the machine nothing, so the proxy must cost it as little
    // as it can, and poll walks every socket on each of the thousands of wake-ups a second.
    const int poller = epoll_create1(EPOLL_CLOEXEC);
    epoll_event listening{.events = EPOLLIN, .data = {.ptr = nullptr}};
    epoll_ctl(poller, EPOLL_CTL_ADD, m_listener, &listening);
    // Pipes and their descriptors last as long as the proxy: the bench makes a handful of connections.
    std::vector<std::unique_ptr<Pipe>> pipes;
    std::deque<Chunk> pending;
    std::vector<char> buffer(64 * 1024);
    std::array<epoll_event, 64> ready{};
    while (!m_stop) {
        const auto now = Clock::now();
        for (; !pending.empty() && pending.front().due <= now; pending.pop_front()) {
            const Chunk &chunk = pending.front();
            {
                std::lock_guard lock(m_fidelityLock);
                m_overshootUs.push_back(std::chrono::duration<double, std::micro>(now - chunk.due).count());
            }
            if (chunk.bytes.empty())
                shutdown(chunk.pipe->to, SHUT_WR);
            else
                sendAll(chunk.pipe->to, chunk.bytes);
        }
        // To the nanosecond: a wait rounded up to whole milliseconds would add up to a millisecond
        // to every delay.
        const Clock::duration timeout = pending.empty() ? std::chrono::milliseconds(50) : pending.front().due - now;
        const auto seconds = std::chrono::floor<std::chrono::seconds>(timeout);
        const timespec wait{.tv_sec = time_t(seconds.count()),
                            .tv_nsec = long(std::chrono::duration_cast<std::chrono::nanoseconds>(timeout - seconds).count())};
        const int count = epoll_pwait2(poller, ready.data(), int(ready.size()), &wait, nullptr);
        for (int index = 0; index < count; ++index) {
            auto *pipe = static_cast<Pipe *>(ready[size_t(index)].data.ptr);
            if (!pipe) {
                const int near = accept(m_listener, nullptr, nullptr);
                const int far = connectFar();
                if (near < 0 || far < 0) {
                    close(near);
                    close(far);
                    continue;
                }
                const int on = 1;
                setsockopt(near, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
                for (const auto &[from, to] : {std::pair(near, far), std::pair(far, near)}) {
                    pipes.push_back(std::make_unique<Pipe>(Pipe{from, to}));
                    epoll_event readable{.events = EPOLLIN, .data = {.ptr = pipes.back().get()}};
                    epoll_ctl(poller, EPOLL_CTL_ADD, from, &readable);
                }
                continue;
            }
            const ssize_t read = ::read(pipe->from, buffer.data(), buffer.size());
            const auto due = Clock::now() + m_delay;
            if (read > 0) {
                pending.push_back({due, pipe, std::vector<char>(buffer.begin(), buffer.begin() + read)});
            } else {
                epoll_ctl(poller, EPOLL_CTL_DEL, pipe->from, nullptr);
                pending.push_back({due, pipe, {}});
            }
        }
    }
    close(poller);
}
