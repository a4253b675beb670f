#pragma once

#include <QString>

#include <optional>

// A browser's topmost window as the window system shows it.
struct BrowserWindow {
    quint32 id = 0;
    QString title;
    qint64 processId = 0;
    // WM_CLASS instance: Chromium names a non-default user-data folder in it.
    QString classInstance;
};

// Finds a browser's topmost window; a platform without window information finds none.
class BrowserWindows
{
public:
    virtual ~BrowserWindows() = default;
    // Whether the windows are known at all; without, the tab reader guesses from file times.
    [[nodiscard]] virtual bool knowsWindows() const = 0;
    [[nodiscard]] virtual std::optional<BrowserWindow> topmostWindow(const QString &browserId) const = 0;
};
