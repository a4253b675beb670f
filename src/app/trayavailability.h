#pragma once

#include <QObject>

// Whether the desktop shows tray icons. Stock GNOME and a bare X server do not, and a tray can
// appear or go away while the application runs (a panel restarting), so the answer may change.
class TrayAvailability : public QObject
{
    Q_OBJECT

public:
    [[nodiscard]] virtual bool isAvailable() const = 0;

Q_SIGNALS:
    void availabilityChanged(bool available);
};
