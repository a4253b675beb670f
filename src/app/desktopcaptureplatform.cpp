#include "desktopcaptureplatform.h"

#include "bridgetabreader.h"
#include "bridgeworkspace.h"
#include "capturelog.h"

DesktopCapturePlatform withBrowserBridge(DesktopCapturePlatform platform, const std::shared_ptr<BrowserBridge> &bridge)
{
    return {std::make_unique<BridgeWorkspace>(std::move(platform.workspace), bridge), std::move(platform.windowList),
            std::make_unique<BridgeTabReader>(std::move(platform.tabReader), bridge)};
}

#ifdef Q_OS_MACOS
#include "desktopworkspace.h"
#include "macos/osascripttabreader.h"

// The system's workspace and window list are not wired in yet: detection sees no browser.
DesktopCapturePlatform makeDesktopCapturePlatform()
{
    return {std::make_unique<DesktopWorkspace>(), std::make_unique<UnavailableWindowList>(), std::make_unique<OsascriptTabReader>()};
}

std::optional<QString> browserOfProcess(qint64)
{
    return std::nullopt;
}
#else
#include "linux/desktopsessiontabreader.h"
#include "linux/linuxbrowsernames.h"
#include "linux/processbrowserwindows.h"
#include "linux/sessionguessworkspace.h"
#include "linux/x11windowlist.h"
#include "linux/x11workspace.h"
#include "linux/xcbpropertysource.h"

DesktopCapturePlatform makeDesktopCapturePlatform()
{
    const QByteArray display = qgetenv("DISPLAY");
    std::shared_ptr<XcbPropertySource> source = display.isEmpty() ? nullptr : XcbPropertySource::connect(display);
    if (source) {
        auto windows = std::make_shared<X11WindowList>(source);
        return {std::make_unique<X11Workspace>(source), std::make_unique<X11WindowList>(source),
                std::make_unique<DesktopSessionTabReader>(windows)};
    }
    qCInfo(lcCapture) << "no X server: the frontmost browser is guessed from its session file";
    return {std::make_unique<SessionGuessWorkspace>(), std::make_unique<UnavailableWindowList>(),
            std::make_unique<DesktopSessionTabReader>(std::make_shared<ProcessBrowserWindows>())};
}

std::optional<QString> browserOfProcess(qint64 processId)
{
    return LinuxBrowserNames::browserOfProcess(processId);
}
#endif
