#pragma once

#include <QObject>

#include <memory>

struct xcb_connection_t;
class QSocketNotifier;

// Tells when the window manager changes the root window's _NET_ACTIVE_WINDOW. It keeps a
// connection of its own, read in Qt's event loop, so that queries made on other threads on
// another connection never swallow its events.
class XcbActivationWatcher : public QObject
{
    Q_OBJECT

public:
    // Nothing when no X server answers.
    [[nodiscard]] static std::unique_ptr<XcbActivationWatcher> connect(const QByteArray &displayName);
    ~XcbActivationWatcher() override;

Q_SIGNALS:
    void activeWindowChanged();

private:
    XcbActivationWatcher(xcb_connection_t *connection, quint32 activeWindowAtom);
    void readEvents();

    xcb_connection_t *m_connection;
    quint32 m_activeWindowAtom;
    QSocketNotifier *m_notifier;
};
