#include "bridgeworkspace.h"

#include "knownbrowsers.h"

namespace BridgeFocus
{
QStringList connectedBrowsers(const QList<BridgeBrowserState> &states, BridgeBrowserState::Clock::time_point now)
{
    QStringList connected;
    for (const BridgeBrowserState &state : states) {
        // Without its host the browser may have quit; one still running is in the desktop's list.
        if (state.open && state.isConnected(now) && isSupportedBrowser(state.browserId))
            connected.append(state.browserId);
    }
    return connected;
}

std::optional<QString> focusedBrowser(const QList<BridgeBrowserState> &states, BridgeBrowserState::Clock::time_point now)
{
    const BridgeBrowserState *focused = nullptr;
    for (const BridgeBrowserState &state : states) {
        if (state.focused && state.isConnected(now) && isSupportedBrowser(state.browserId)
            && (!focused || state.lastMessage > focused->lastMessage))
            focused = &state;
    }
    return focused ? std::optional(focused->browserId) : std::nullopt;
}
}

BridgeWorkspace::BridgeWorkspace(std::unique_ptr<Workspace> desktop, std::shared_ptr<BrowserBridge> bridge, Clock clock)
    : m_desktop(std::move(desktop))
    , m_bridge(std::move(bridge))
    , m_clock(std::move(clock))
{
    connect(m_desktop.get(), &Workspace::applicationActivated, this, &Workspace::applicationActivated);
    connect(m_desktop.get(), &Workspace::thisApplicationActivated, this, &Workspace::thisApplicationActivated);
    connect(m_bridge.get(), &BrowserBridge::stateChanged, this, &BridgeWorkspace::follow);
}

std::optional<QString> BridgeWorkspace::frontmostApplicationId() const
{
    if (std::optional<QString> focused = BridgeFocus::focusedBrowser(m_bridge->states(), m_clock()))
        return focused;
    return m_desktop->frontmostApplicationId();
}

QStringList BridgeWorkspace::runningApplicationIds() const
{
    QStringList running = m_desktop->runningApplicationIds();
    for (const QString &browserId : BridgeFocus::connectedBrowsers(m_bridge->states(), m_clock())) {
        if (!running.contains(browserId))
            running.append(browserId);
    }
    return running;
}

std::optional<QString> BridgeWorkspace::applicationIdOfProcess(qint64 processId) const
{
    return m_desktop->applicationIdOfProcess(processId);
}

bool BridgeWorkspace::openUrl(const QUrl &url)
{
    return m_desktop->openUrl(url);
}

void BridgeWorkspace::follow(const QString &browserId)
{
    if (BridgeFocus::focusedBrowser(m_bridge->states(), m_clock()) == browserId)
        Q_EMIT applicationActivated(browserId);
}
