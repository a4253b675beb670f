#pragma once

#include "browserwindows.h"

// Where no window system answers: a running browser's main process stands in for its window,
// without a title, so the tab reader falls back to the session file alone.
class ProcessBrowserWindows : public BrowserWindows
{
public:
    [[nodiscard]] bool knowsWindows() const override { return false; }
    [[nodiscard]] std::optional<BrowserWindow> topmostWindow(const QString &browserId) const override;
};
