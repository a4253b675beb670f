#pragma once

#include "systemtrayavailability.h"

#include <QObject>
#include <QStringList>

#include <memory>

class AppViewModel;
class PanelWindow;
class StatusItem;

// Owns what lives for the whole process: the view model, the panel and the tray item.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    AppDelegate(std::unique_ptr<AppViewModel> viewModel, QStringList resourceFolders,
                std::unique_ptr<TrayAvailability> tray = std::make_unique<SystemTrayAvailability>());
    ~AppDelegate() override;

    // The launch steps: application icon, tray item, then the panel, shown centred in front.
    void launch();

    // Another launch or the desktop asked for the application: bring the existing panel forward.
    void reopen();

    [[nodiscard]] AppViewModel &viewModel() const { return *m_viewModel; }
    [[nodiscard]] PanelWindow *mainWindow() const { return m_mainWindow.get(); }
    [[nodiscard]] StatusItem *statusItem() const { return m_statusItem.get(); }

private:
    void setupApplicationIcon();
    void setupMenuBarExtra();
    void setupFloatingRoundedWindow();
    // Follows the tray: the panel's frame and the header's quit button depend on it.
    void applyTrayAvailability(bool available);

    QStringList m_resourceFolders;
    std::unique_ptr<TrayAvailability> m_tray;
    // Declared first so that it goes last: the panel and the tray item point at it.
    std::unique_ptr<AppViewModel> m_viewModel;
    std::unique_ptr<PanelWindow> m_mainWindow;
    std::unique_ptr<StatusItem> m_statusItem;
};
