#include "appdelegate.h"
#include "appviewmodel.h"
#include "capturereport.h"
#include "desktopcaptureplatform.h"
#include "resourcefiles.h"
#include "singleinstance.h"

#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace
{
bool captureReportRequested(int argc, char *argv[])
{
    return std::find(argv + 1, argv + argc, std::string_view("--capture-report")) != argv + argc;
}

// Detects once and prints what it saw, without a window and without the stored session or
// preferences, even while another instance runs.
int printCaptureReport(int argc, char *argv[])
{
    const QCoreApplication application(argc, argv);
    const DesktopCapturePlatform platform = makeDesktopCapturePlatform();
    const QByteArray report = CaptureReport(*platform.workspace, *platform.windowList, *platform.tabReader).run().toJson();
    std::fwrite(report.constData(), 1, size_t(report.size()), stdout);
    return 0;
}
}

int main(int argc, char *argv[])
{
    if (captureReportRequested(argc, argv))
        return printCaptureReport(argc, argv);

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("corvane"));
    // The panel is only ever hidden; the process lives on with the tray item.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(SingleInstance::sessionServerName());
    if (instance.notifyRunningInstance())
        return 0;
    instance.listen();

    AppDelegate delegate(std::make_unique<AppViewModel>(AppViewModelDependencies::forDesktop()), ResourceFiles::standardFolders());
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, &AppDelegate::reopen);
    delegate.launch();
    return application.exec();
}
