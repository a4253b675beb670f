#pragma once

#include "knownbrowsers.h"

#include <QString>

// The AppleScript texts that ask a browser for its tab or its page text. Tab scripts answer
// "URL|||title" or nothing; page-text scripts answer the text or nothing.
namespace BrowserScripts
{
[[nodiscard]] QString chromiumTabScript(const QString &appName);
[[nodiscard]] QString safariTabScript(const QString &appName);
[[nodiscard]] QString firefoxTabScript(const QString &appName);
// The tab script for the browser's kind.
[[nodiscard]] QString tabScript(const KnownBrowser &browser);

// Always addressed to "Safari", whichever Safari asked for it.
[[nodiscard]] QString safariTextScript();
[[nodiscard]] QString chromiumTextScript(const QString &browserName);
}
