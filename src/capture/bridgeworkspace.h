#pragma once

#include "browserbridge.h"
#include "workspace.h"

#include <functional>
#include <memory>

// The desktop's workspace with the add-on's reports on top: a connected browser whose add-on
// holds the focus is the frontmost application, on X11 and Wayland alike, and a connected
// browser runs even where the desktop cannot see it. Every report of a focused browser counts as
// its activation, so the tracker follows it and detection starts at once.
class BridgeWorkspace : public Workspace
{
    Q_OBJECT

public:
    using Clock = std::function<BridgeBrowserState::Clock::time_point()>;

    BridgeWorkspace(std::unique_ptr<Workspace> desktop, std::shared_ptr<BrowserBridge> bridge,
                    Clock clock = BridgeBrowserState::Clock::now);

    [[nodiscard]] std::optional<QString> frontmostApplicationId() const override;
    [[nodiscard]] QStringList runningApplicationIds() const override;
    [[nodiscard]] std::optional<QString> applicationIdOfProcess(qint64 processId) const override;
    bool openUrl(const QUrl &url) override;

private:
    void follow(const QString &browserId);

    std::unique_ptr<Workspace> m_desktop;
    std::shared_ptr<BrowserBridge> m_bridge;
    Clock m_clock;
};

// The connected browsers among the bridge's states, and the one holding the focus.
namespace BridgeFocus
{
[[nodiscard]] QStringList connectedBrowsers(const QList<BridgeBrowserState> &states, BridgeBrowserState::Clock::time_point now);
// When two claim the focus (a lost "none"), the one that spoke last has it.
[[nodiscard]] std::optional<QString> focusedBrowser(const QList<BridgeBrowserState> &states, BridgeBrowserState::Clock::time_point now);
}
