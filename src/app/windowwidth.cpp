#include "app/panelgeometry.h"
#include "app/panelwindow.h"
#include "state/appviewmodel.h"

#include <QGuiApplication>

void AppViewModel::toggleWindowWidth()
{
    const QWindowList windows = QGuiApplication::topLevelWindows();
    for (QWindow *window : windows) {
        if (auto *panel = qobject_cast<PanelWindow *>(window)) {
            const int startWidth = panel->switchWidth();
            setWideLayout(startWidth <= PanelGeometry::kWideLayoutThreshold);
            return;
        }
    }
}
