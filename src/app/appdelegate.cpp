#include "appdelegate.h"

#include "app/panelwindow.h"
#include "app/resourcefiles.h"
#include "app/statusitem.h"
#include "capture/browsercapture.h"
#include "state/appviewmodel.h"

#include <QGuiApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

AppDelegate::AppDelegate(std::unique_ptr<AppViewModel> viewModel, QStringList resourceFolders)
    : m_resourceFolders(std::move(resourceFolders))
    , m_viewModel(std::move(viewModel))
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch()
{
    setupApplicationIcon();
    // The panel exists before the tray item so that a click can never find it missing.
    setupFloatingRoundedWindow();
    setupMenuBarExtra();
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
    m_statusItem = std::make_unique<StatusItem>(m_mainWindow.get(), [capture] { capture->refreshActiveBrowserTab(); }, m_resourceFolders);
}

void AppDelegate::setupFloatingRoundedWindow()
{
    m_mainWindow = std::make_unique<PanelWindow>(m_viewModel.get());
}
