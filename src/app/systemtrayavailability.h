#pragma once

#include "trayavailability.h"

#include <QTimer>

// Asks the platform, again every few seconds: Qt tells of no change by itself.
class SystemTrayAvailability : public TrayAvailability
{
    Q_OBJECT

public:
    SystemTrayAvailability();

    [[nodiscard]] bool isAvailable() const override { return m_available; }

private:
    bool m_available;
    QTimer m_poll;
};
