#pragma once

#include <QStringList>

#include <optional>

class BrowserTracker;
class WindowList;
class Workspace;

// What the desktop shows at one moment, all one detection needs besides the tab reader. Taken on
// the main thread, so the platform seams are never called from the detection worker.
struct BrowserSituation {
    QStringList runningApplicationIds;
    std::optional<QString> frontmostApplication;
    std::optional<QString> trackedBrowser;
    std::optional<QString> topmostVisibleBrowser;

    [[nodiscard]] static BrowserSituation observe(const Workspace &workspace, const WindowList &windowList, const BrowserTracker &tracker);

    // The supported browser owning the frontmost normal window larger than 150 by 150.
    [[nodiscard]] static std::optional<QString> findTopmostVisibleBrowser(const Workspace &workspace, const WindowList &windowList);

    // Start-up's guess before any activation is seen: the frontmost application if it is a
    // supported browser, else the topmost visible browser; otherwise the tracker stays as it is.
    static void seedTracker(BrowserTracker &tracker, const Workspace &workspace, const WindowList &windowList);
};
