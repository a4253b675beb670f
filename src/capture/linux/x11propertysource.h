#pragma once

#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <optional>

// What the X server tells about one top-level client window. Missing properties stay empty.
struct X11Window {
    quint32 id = 0;
    QString classInstance;
    QString className;
    QString title;
    std::optional<qint64> processId;
    std::optional<QSize> size;
    bool viewable = false;
    bool hidden = false;
    // A normal application window, as opposed to a dock, a desktop or a notification.
    bool normalType = true;
};

// The EWMH view of the desktop: the active window, the client windows in stacking order and
// their properties. The real source asks the X server; tests put in a fake one.
class X11PropertySource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~X11PropertySource() override = default;

    [[nodiscard]] virtual std::optional<quint32> activeWindow() const = 0;
    // Bottom to top, as the window manager keeps it.
    [[nodiscard]] virtual QList<quint32> clientWindowsBottomToTop() const = 0;
    [[nodiscard]] virtual QList<X11Window> windows(const QList<quint32> &ids) const = 0;

Q_SIGNALS:
    void activeWindowChanged();
};
