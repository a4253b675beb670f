#pragma once

#include "sessiontab.h"

#include <QString>

#include <optional>

// The selected tab of the selected window in Firefox's recovery.jsonlz4.
namespace FirefoxSession
{
[[nodiscard]] std::optional<SessionTab> selectedTab(const QString &path);
}
