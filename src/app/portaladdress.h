#pragma once

#include <QString>

namespace PortalAddress
{
// The production web portal.
inline constexpr QLatin1StringView kDefault{"https://corvane.app"};

// The portal to talk to: the override when it is an https origin, or an http origin on a loopback
// host, without a trailing slash; the default otherwise.
[[nodiscard]] QString resolve(const QString &override);
// resolve() applied to the CORVANE_PORTAL_URL environment variable.
[[nodiscard]] QString fromEnvironment();
}
