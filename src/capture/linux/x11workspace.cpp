#include "x11workspace.h"

#include "linuxbrowsernames.h"

X11Workspace::X11Workspace(std::shared_ptr<X11PropertySource> source, QObject *parent)
    : DesktopWorkspace(parent)
    , m_source(std::move(source))
{
    connect(m_source.get(), &X11PropertySource::activeWindowChanged, this, &X11Workspace::handleActiveWindowChanged);
}

std::optional<QString> X11Workspace::frontmostApplicationId() const
{
    const std::optional<quint32> active = m_source->activeWindow();
    if (!active)
        return std::nullopt;
    const QList<X11Window> windows = m_source->windows({*active});
    if (windows.isEmpty())
        return std::nullopt;
    return LinuxBrowserNames::browserOfWindow(windows.constFirst());
}

QStringList X11Workspace::runningApplicationIds() const
{
    QStringList browserIds;
    for (const X11Window &window : m_source->windows(m_source->clientWindowsBottomToTop())) {
        const std::optional<QString> browserId = LinuxBrowserNames::browserOfWindow(window);
        if (browserId && !browserIds.contains(*browserId))
            browserIds.append(*browserId);
    }
    return browserIds;
}

std::optional<QString> X11Workspace::applicationIdOfProcess(qint64 processId) const
{
    if (auto byExecutable = LinuxBrowserNames::browserOfProcess(processId))
        return byExecutable;
    // A sandboxed browser's process id is not one /proc knows; its window's class still tells.
    for (const X11Window &window : m_source->windows(m_source->clientWindowsBottomToTop())) {
        if (window.processId == processId) {
            if (auto byClass = LinuxBrowserNames::browserForWindowClass(window.classInstance, window.className))
                return byClass;
        }
    }
    return std::nullopt;
}

void X11Workspace::handleActiveWindowChanged()
{
    if (const std::optional<QString> browserId = frontmostApplicationId())
        Q_EMIT applicationActivated(*browserId);
}
