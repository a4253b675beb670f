#pragma once

class QWindow;

// Asks the window manager to show window on every virtual desktop, so that the tray click never
// hides a panel the user cannot see. Call it before each show: window managers forget the wish
// when the window is hidden. Does nothing outside X11.
void showOnAllWorkspaces(QWindow &window);

// Whether a compositing manager owns the X11 screen, so that translucent windows show what lies
// behind them. Outside X11 (Wayland composites everything) the answer is yes.
[[nodiscard]] bool hasCompositingManager();
