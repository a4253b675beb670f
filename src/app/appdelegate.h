#pragma once

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
    explicit AppDelegate(std::unique_ptr<AppViewModel> viewModel, QStringList resourceFolders);
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

    QStringList m_resourceFolders;
    // Declared first so that it goes last: the panel and the tray item point at it.
    std::unique_ptr<AppViewModel> m_viewModel;
    std::unique_ptr<PanelWindow> m_mainWindow;
    std::unique_ptr<StatusItem> m_statusItem;
};
