#include "appdelegate.h"

#include "allworkspaces.h"
#include "appviewmodel.h"
#include "browsercapture.h"
#include "panelwindow.h"
#include "resourcefiles.h"
#include "statusitem.h"

#include <QGuiApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

AppDelegate::AppDelegate(std::unique_ptr<AppViewModel> viewModel, QStringList resourceFolders, std::unique_ptr<TrayAvailability> tray)
    : m_resourceFolders(std::move(resourceFolders))
    , m_tray(std::move(tray))
    , m_viewModel(std::move(viewModel))
{ }

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch()
{
    setupApplicationIcon();
    // The panel exists before the tray item so that a click can never find it missing.
    setupFloatingRoundedWindow();
    setupMenuBarExtra();
    applyTrayAvailability(m_tray->isAvailable());
    connect(m_tray.get(), &TrayAvailability::availabilityChanged, this, &AppDelegate::applyTrayAvailability);
    m_mainWindow->centreOnScreen();
    m_mainWindow->bringToFront();
}

void AppDelegate::reopen()
{
    if (m_mainWindow)
        m_mainWindow->bringToFront();
}

void AppDelegate::setupApplicationIcon()
{
    const QString icon = ResourceFiles::findImage(m_resourceFolders, {u"corvane.png"_s, u"icon128.png"_s});
    if (!icon.isEmpty())
        QGuiApplication::setWindowIcon(QIcon(icon));
}

void AppDelegate::setupMenuBarExtra()
{
    BrowserCapture *capture = m_viewModel->capture();
    m_statusItem = std::make_unique<StatusItem>(
        m_mainWindow.get(), [capture] { capture->refreshActiveBrowserTab(); }, m_resourceFolders);
}

void AppDelegate::setupFloatingRoundedWindow()
{
    m_mainWindow = std::make_unique<PanelWindow>(m_viewModel.get());
    m_mainWindow->setComposited(hasCompositingManager());
}

void AppDelegate::applyTrayAvailability(bool available)
{
    m_viewModel->setHasTrayIcon(available);
    // A new frame only takes effect when the window is shown again.
    const bool shown = m_mainWindow->isVisible();
    m_mainWindow->hide();
    m_mainWindow->setHasTrayIcon(available);
    if (shown)
        m_mainWindow->bringToFront();
}
