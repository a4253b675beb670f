#pragma once

#include "tabreader.h"
#include "windowlist.h"
#include "workspace.h"

#include <memory>
#include <optional>

class BrowserBridge;

// The workspace, window list and tab reader browser capture uses on this desktop.
struct DesktopCapturePlatform {
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<WindowList> windowList;
    std::unique_ptr<TabReader> tabReader;
};

// On macOS, the AppleScript tab reader. On Linux, X11 (XWayland included) when an X server
// answers; otherwise guesses from the browsers' session files.
[[nodiscard]] DesktopCapturePlatform makeDesktopCapturePlatform();

// The same platform with the browser add-on's reports ranked first wherever a browser's add-on is
// connected.
[[nodiscard]] DesktopCapturePlatform withBrowserBridge(DesktopCapturePlatform platform, const std::shared_ptr<BrowserBridge> &bridge);

// The supported browser a process belongs to, as far as this system tells.
[[nodiscard]] std::optional<QString> browserOfProcess(qint64 processId);
