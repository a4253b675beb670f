#include "systemtrayavailability.h"

#include <QSystemTrayIcon>

using namespace std::chrono_literals;

SystemTrayAvailability::SystemTrayAvailability()
    : m_available(QSystemTrayIcon::isSystemTrayAvailable())
{
    m_poll.setInterval(3s);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        const bool available = QSystemTrayIcon::isSystemTrayAvailable();
        if (available == m_available)
            return;
        m_available = available;
        Q_EMIT availabilityChanged(available);
    });
    m_poll.start();
}
