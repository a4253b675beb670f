#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// A TCP proxy on 127.0.0.1 that holds every chunk for a fixed delay before passing it on, in
// both directions: a database "further away" than loopback. The far end is a host and port, or a
// Unix socket path. Runs on a thread of its own until destroyed, at real-time priority where the
// system allows it: a wire does not wait for a CPU, so a busy machine must not stretch the delay.
class DelayProxy
{
public:
    DelayProxy(QString farHost, quint16 farPort, QString farSocketPath, std::chrono::microseconds delay);
    ~DelayProxy();
    DelayProxy(const DelayProxy &) = delete;
    DelayProxy &operator=(const DelayProxy &) = delete;

    // 0 when the proxy could not listen.
    [[nodiscard]] quint16 port() const { return m_port; }
    // What the proxy did since the last call: how late each chunk went on, and the CPU it took from
    // the machine, which a real wire would not. Together they say how faithful the delay was.
    struct Fidelity {
        std::vector<double> overshootUs;
        double cpuSeconds = 0;
    };
    Fidelity takeFidelity();

private:
    void serve();
    int connectFar() const;

    QString m_farHost;
    quint16 m_farPort;
    QString m_farSocketPath;
    std::chrono::microseconds m_delay;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop = false;
    std::mutex m_fidelityLock;
    std::vector<double> m_overshootUs;
    double m_cpuSecondsTaken = 0;
    std::thread m_thread;
};
