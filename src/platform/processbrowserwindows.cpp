#include "processbrowserwindows.h"

#include "linuxbrowsernames.h"

std::optional<BrowserWindow> ProcessBrowserWindows::topmostWindow(const QString &bundleId) const
{
    const qint64 processId = LinuxBrowserNames::runningBrowserProcesses().value(bundleId);
    if (processId <= 0)
        return std::nullopt;
    return BrowserWindow{0, QString(), processId, QString()};
}
