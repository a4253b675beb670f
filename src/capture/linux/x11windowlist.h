#pragma once

#include "browserwindows.h"
#include "windowlist.h"
#include "x11propertysource.h"

#include <memory>

// The EWMH client windows front to back in the window server's terms: layer 0 for a normal
// window on screen, its size as bounds, _NET_WM_PID as owner. Also finds a browser's topmost
// window for the tab reader.
class X11WindowList : public WindowList, public BrowserWindows
{
public:
    explicit X11WindowList(std::shared_ptr<X11PropertySource> source);

    [[nodiscard]] std::optional<QList<QVariantMap>> onScreenWindows() const override;
    [[nodiscard]] bool knowsWindows() const override { return true; }
    [[nodiscard]] std::optional<BrowserWindow> topmostWindow(const QString &browserId) const override;

private:
    [[nodiscard]] QList<X11Window> windowsFrontToBack() const;

    std::shared_ptr<X11PropertySource> m_source;
};
