#include "x11windowlist.h"

#include "linuxbrowsernames.h"

#include <algorithm>

namespace
{
// Docks, panels and notifications sit above the application windows.
constexpr int normalLayer = 0;
constexpr int overlayLayer = 25;
}

X11WindowList::X11WindowList(std::shared_ptr<X11PropertySource> source)
    : m_source(std::move(source))
{ }

QList<X11Window> X11WindowList::windowsFrontToBack() const
{
    QList<quint32> ids = m_source->clientWindowsBottomToTop();
    std::reverse(ids.begin(), ids.end());
    return m_source->windows(ids);
}

std::optional<QList<QVariantMap>> X11WindowList::onScreenWindows() const
{
    QList<QVariantMap> descriptions;
    for (const X11Window &window : windowsFrontToBack()) {
        if (!window.viewable || window.hidden)
            continue;
        QVariantMap description;
        description.insert(QStringLiteral("kCGWindowLayer"), window.normalType ? normalLayer : overlayLayer);
        if (window.size) {
            description.insert(
                QStringLiteral("kCGWindowBounds"),
                QVariantMap{{QStringLiteral("Width"), window.size->width()}, {QStringLiteral("Height"), window.size->height()}});
        }
        if (window.processId)
            description.insert(QStringLiteral("kCGWindowOwnerPID"), static_cast<int>(*window.processId));
        descriptions.append(description);
    }
    return descriptions;
}

std::optional<BrowserWindow> X11WindowList::topmostWindow(const QString &browserId) const
{
    // A visible window is preferred; a minimised one still names the browser's current tab.
    std::optional<BrowserWindow> hiddenWindow;
    for (const X11Window &window : windowsFrontToBack()) {
        if (!window.normalType || LinuxBrowserNames::browserOfWindow(window) != browserId)
            continue;
        const BrowserWindow found{window.id, window.title, window.processId.value_or(0), window.classInstance};
        if (window.viewable && !window.hidden)
            return found;
        if (!hiddenWindow)
            hiddenWindow = found;
    }
    return hiddenWindow;
}
