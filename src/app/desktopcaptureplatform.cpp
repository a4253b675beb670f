#include "desktopcaptureplatform.h"

#include "capturelog.h"
#include "desktopsessiontabreader.h"
#include "processbrowserwindows.h"
#include "sessionguessworkspace.h"
#include "x11windowlist.h"
#include "x11workspace.h"
#include "xcbpropertysource.h"

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
