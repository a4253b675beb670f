#pragma once

#include <QString>

// The profile a running browser uses, the files the tab reader looks at in it, and which rule
// chose it (for the capture report).
struct BrowserProfile {
    QString directory;
    QString rule;
    // The newest session file; empty when the browser has not written one yet.
    QString sessionFile;
    QString historyFile;
};
