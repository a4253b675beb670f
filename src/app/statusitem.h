#pragma once

#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>

class PanelWindow;

// The item in the system tray. Clicking it refreshes the active tab and shows or hides the panel.
class StatusItem : public QObject
{
    Q_OBJECT

public:
    StatusItem(PanelWindow *panel, std::function<void()> refreshActiveTab, const QStringList &resourceFolders, QObject *parent = nullptr);

    [[nodiscard]] QIcon icon() const { return m_trayIcon.icon(); }

    // The click: one tab refresh, then the panel flips between hidden and shown in front.
    void toggleWindowOrPopover();

    // The monochrome stand-in when no tray image ships: a check mark with an arc beside it,
    // 16 × 16 logical pixels.
    [[nodiscard]] static QImage createMenuBarVectorIcon(const QColor &colour, qreal devicePixelRatio = 2);

private:
    QPointer<PanelWindow> m_panel;
    std::function<void()> m_refreshActiveTab;
    QMenu m_menu;
    QSystemTrayIcon m_trayIcon;
};
