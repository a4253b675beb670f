#include "linuxbrowsernames.h"

#include "linuxprocess.h"

#include <QLatin1StringView>

#include <algorithm>
#include <array>

namespace
{
struct NameRow {
    QLatin1StringView name;
    QLatin1StringView browserId;
};

constexpr QLatin1StringView firefox("firefox");
constexpr QLatin1StringView firefoxDeveloperEdition("firefox-developer-edition");
constexpr QLatin1StringView firefoxNightly("firefox-nightly");
constexpr QLatin1StringView zen("zen");
constexpr QLatin1StringView chrome("chrome");
constexpr QLatin1StringView chromeCanary("chrome-canary");
constexpr QLatin1StringView chromium("chromium");
constexpr QLatin1StringView brave("brave");
constexpr QLatin1StringView edge("edge");
constexpr QLatin1StringView vivaldi("vivaldi");
constexpr QLatin1StringView opera("opera");

// WM_CLASS class names (lower case) as the browsers set them, Flatpak application ids included.
constexpr std::array<NameRow, 28> windowClasses{{
    {QLatin1StringView("firefox"), firefox},
    {QLatin1StringView("firefox-esr"), firefox},
    {QLatin1StringView("org.mozilla.firefox"), firefox},
    {QLatin1StringView("firefox-aurora"), firefoxDeveloperEdition},
    {QLatin1StringView("firefoxdeveloperedition"), firefoxDeveloperEdition},
    {QLatin1StringView("firefox-developer-edition"), firefoxDeveloperEdition},
    {QLatin1StringView("firefox-nightly"), firefoxNightly},
    {QLatin1StringView("nightly"), firefoxNightly},
    {QLatin1StringView("zen"), zen},
    {QLatin1StringView("zen-browser"), zen},
    {QLatin1StringView("app.zen_browser.zen"), zen},
    {QLatin1StringView("google-chrome"), chrome},
    {QLatin1StringView("google-chrome-beta"), chrome},
    {QLatin1StringView("com.google.chrome"), chrome},
    {QLatin1StringView("google-chrome-unstable"), chromeCanary},
    {QLatin1StringView("google-chrome-canary"), chromeCanary},
    {QLatin1StringView("chromium"), chromium},
    {QLatin1StringView("chromium-browser"), chromium},
    {QLatin1StringView("org.chromium.chromium"), chromium},
    {QLatin1StringView("brave-browser"), brave},
    {QLatin1StringView("com.brave.browser"), brave},
    {QLatin1StringView("microsoft-edge"), edge},
    {QLatin1StringView("microsoft-edge-beta"), edge},
    {QLatin1StringView("microsoft-edge-dev"), edge},
    {QLatin1StringView("vivaldi-stable"), vivaldi},
    {QLatin1StringView("vivaldi-snapshot"), vivaldi},
    {QLatin1StringView("opera"), opera},
    {QLatin1StringView("com.opera.opera"), opera},
}};

// Ends of executable paths; the vendors' folders tell Chrome's channels apart.
constexpr std::array<NameRow, 20> executables{{
    {QLatin1StringView("/firefox"), firefox},
    {QLatin1StringView("/firefox-bin"), firefox},
    {QLatin1StringView("/firefox-esr"), firefox},
    {QLatin1StringView("/firefox-developer-edition"), firefoxDeveloperEdition},
    {QLatin1StringView("/firefox-nightly"), firefoxNightly},
    {QLatin1StringView("/zen"), zen},
    {QLatin1StringView("/zen-bin"), zen},
    {QLatin1StringView("/google/chrome/chrome"), chrome},
    {QLatin1StringView("/google/chrome-beta/chrome"), chrome},
    {QLatin1StringView("/google/chrome-unstable/chrome"), chromeCanary},
    {QLatin1StringView("/google/chrome-canary/chrome"), chromeCanary},
    {QLatin1StringView("/chromium"), chromium},
    {QLatin1StringView("/chromium-browser"), chromium},
    {QLatin1StringView("/brave"), brave},
    {QLatin1StringView("/msedge"), edge},
    {QLatin1StringView("/vivaldi-bin"), vivaldi},
    {QLatin1StringView("/opera"), opera},
    {QLatin1StringView("/opera-beta"), opera},
    {QLatin1StringView("/opera-developer"), opera},
    {QLatin1StringView("/vivaldi-snapshot"), vivaldi},
}};
}

std::optional<QString> LinuxBrowserNames::browserForWindowClass(const QString &instance, const QString &className)
{
    // Chromium puts a non-default user-data folder into the instance, "chromium (/path)", so the
    // class decides; the instance helps when a class is missing.
    for (const QString &name : {className, instance.section(QLatin1Char(' '), 0, 0)}) {
        const QString lowered = name.toLower();
        for (const NameRow &row : windowClasses) {
            if (lowered == row.name)
                return QString(row.browserId);
        }
    }
    return std::nullopt;
}

std::optional<QString> LinuxBrowserNames::browserForExecutable(const QString &executablePath)
{
    // The first, most specific end that fits wins: Chrome's channels before the bare "/chrome".
    for (const NameRow &row : executables) {
        if (executablePath.endsWith(row.name))
            return QString(row.browserId);
    }
    return std::nullopt;
}

std::optional<QString> LinuxBrowserNames::browserOfProcess(qint64 processId)
{
    const QString executable = LinuxProcess::executablePath(processId);
    if (executable.isEmpty())
        return std::nullopt;
    return browserForExecutable(executable);
}

std::optional<QString> LinuxBrowserNames::browserOfWindow(const X11Window &window)
{
    if (auto byClass = browserForWindowClass(window.classInstance, window.className))
        return byClass;
    if (window.processId)
        return browserOfProcess(*window.processId);
    return std::nullopt;
}

QHash<QString, qint64> LinuxBrowserNames::runningBrowserProcesses()
{
    QHash<QString, qint64> processes;
    for (const qint64 processId : LinuxProcess::processIds()) {
        const std::optional<QString> browserId = browserOfProcess(processId);
        if (!browserId || processes.contains(*browserId))
            continue;
        // Content and helper processes carry the browser's executable too; the main one is
        // the one whose switches name the profile.
        const QStringList commandLine = LinuxProcess::commandLine(processId);
        const bool helper = std::any_of(commandLine.cbegin(), commandLine.cend(), [](const QString &argument) {
            return argument == QLatin1StringView("-contentproc") || argument.startsWith(QLatin1StringView("--type="));
        });
        if (!helper)
            processes.insert(*browserId, processId);
    }
    return processes;
}
