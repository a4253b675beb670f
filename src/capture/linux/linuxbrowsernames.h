#pragma once

#include "x11propertysource.h"

#include <QHash>
#include <QString>

#include <optional>

// Maps what Linux knows of a browser — its window class or its executable — onto the id
// of the supported-browser table.
namespace LinuxBrowserNames
{
// WM_CLASS instance and class, compared without case.
[[nodiscard]] std::optional<QString> browserForWindowClass(const QString &instance, const QString &className);
// A full executable path such as /usr/lib/firefox-esr/firefox-esr or /opt/google/chrome/chrome.
[[nodiscard]] std::optional<QString> browserForExecutable(const QString &executablePath);
// The executable of a running process of this user, through /proc.
[[nodiscard]] std::optional<QString> browserOfProcess(qint64 processId);
// The main process of each running browser of this user, by browser id.
[[nodiscard]] QHash<QString, qint64> runningBrowserProcesses();
// A window by its class, else by its process's executable.
[[nodiscard]] std::optional<QString> browserOfWindow(const X11Window &window);
}
