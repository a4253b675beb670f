#pragma once

#include "sessiontab.h"

#include <QString>

#include <optional>

// The selected tab of the active window in a Chromium-family session file (SNSS): a header,
// then commands of a uint16 size, a command id and a payload, replayed in order.
namespace SnssSession
{
// Nothing when the file is missing, too large, not SNSS, or ends inside a record: a half
// written command may be the very one that changed the selection.
[[nodiscard]] std::optional<SessionTab> selectedTab(const QString &path);
}
