#pragma once

class QWindow;

// Asks the window manager to show window on every virtual desktop, so that the tray click never
// hides a panel the user cannot see. Call it before each show: window managers forget the wish
// when the window is hidden. Does nothing outside X11.
void showOnAllWorkspaces(QWindow &window);
