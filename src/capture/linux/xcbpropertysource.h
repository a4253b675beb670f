#pragma once

#include "x11propertysource.h"

#include <xcb/xcb_ewmh.h>

#include <memory>

class XcbActivationWatcher;

// Asks the X server over a connection of its own; thread-safe, as libxcb is.
class XcbPropertySource : public X11PropertySource
{
    Q_OBJECT

public:
    // Nothing when no X server answers (no DISPLAY, or a pure Wayland session).
    [[nodiscard]] static std::unique_ptr<XcbPropertySource> connect(const QByteArray &displayName);
    ~XcbPropertySource() override;

    [[nodiscard]] std::optional<quint32> activeWindow() const override;
    [[nodiscard]] QList<quint32> clientWindowsBottomToTop() const override;
    [[nodiscard]] QList<X11Window> windows(const QList<quint32> &ids) const override;

private:
    XcbPropertySource(std::unique_ptr<xcb_ewmh_connection_t> ewmh, int screenNumber, std::unique_ptr<XcbActivationWatcher> watcher);

    std::unique_ptr<xcb_ewmh_connection_t> m_ewmh;
    int m_screenNumber;
    std::unique_ptr<XcbActivationWatcher> m_watcher;
};
