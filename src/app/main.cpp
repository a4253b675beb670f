#include "app/appdelegate.h"
#include "app/resourcefiles.h"
#include "app/singleinstance.h"
#include "state/appviewmodel.h"

#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

int main(int argc, char *argv[])
{
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

    AppDelegate delegate(std::make_unique<AppViewModel>(AppViewModelDependencies::forDesktop()),
                         ResourceFiles::standardFolders());
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, &AppDelegate::reopen);
    delegate.launch();
    return application.exec();
}
