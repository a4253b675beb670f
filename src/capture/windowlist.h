#pragma once

#include <QList>
#include <QVariantMap>

#include <optional>

// The window server's list of on-screen windows, front to back, desktop elements excluded. Each
// entry is a window description keyed like the window server's ("kCGWindowLayer",
// "kCGWindowBounds", "kCGWindowOwnerPID"), with values as loosely typed as the platform gives them.
class WindowList
{
public:
    virtual ~WindowList() = default;
    [[nodiscard]] virtual std::optional<QList<QVariantMap>> onScreenWindows() const = 0;
};

// No window server to ask: there is no list.
class UnavailableWindowList : public WindowList
{
public:
    [[nodiscard]] std::optional<QList<QVariantMap>> onScreenWindows() const override { return std::nullopt; }
};
