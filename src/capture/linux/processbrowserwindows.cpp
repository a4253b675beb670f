#include "processbrowserwindows.h"

#include "linuxbrowsernames.h"

std::optional<BrowserWindow> ProcessBrowserWindows::topmostWindow(const QString &browserId) const
{
    const qint64 processId = LinuxBrowserNames::runningBrowserProcesses().value(browserId);
    if (processId <= 0)
        return std::nullopt;
    return BrowserWindow{0, QString(), processId, QString()};
}
