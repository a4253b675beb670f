#pragma once

#include <QString>

// The selected tab a browser's session file names; the title may be empty.
struct SessionTab {
    QString url;
    QString title;
    bool operator==(const SessionTab &) const = default;
};
