#pragma once

#include "desktopworkspace.h"
#include "x11propertysource.h"

#include <memory>

// Running browsers, the frontmost one and activation notices from the window manager's EWMH
// properties; opening addresses and this application's own activation as on any desktop.
class X11Workspace : public DesktopWorkspace
{
    Q_OBJECT

public:
    explicit X11Workspace(std::shared_ptr<X11PropertySource> source, QObject *parent = nullptr);

    [[nodiscard]] std::optional<QString> frontmostApplicationId() const override;
    [[nodiscard]] QStringList runningApplicationIds() const override;
    [[nodiscard]] std::optional<QString> applicationIdOfProcess(qint64 processId) const override;

private:
    void handleActiveWindowChanged();

    std::shared_ptr<X11PropertySource> m_source;
};
