#pragma once

#include "desktopworkspace.h"
#include "linux/browserprofiles.h"

#include <QMutex>

// For desktops that tell no application which window has the focus (a pure Wayland session):
// the running browsers come from the process list, and the one whose session file changed last
// counts as frontmost — a guess, which the tab reader's report says.
class SessionGuessWorkspace : public DesktopWorkspace
{
    Q_OBJECT

public:
    using DesktopWorkspace::DesktopWorkspace;

    [[nodiscard]] std::optional<QString> frontmostApplicationId() const override;
    [[nodiscard]] QStringList runningApplicationIds() const override;
    [[nodiscard]] std::optional<QString> applicationIdOfProcess(qint64 processId) const override;

private:
    mutable QMutex m_profilesLock;
    mutable BrowserProfiles m_profiles;
};
