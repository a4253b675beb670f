#include "state/appviewmodel.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));

    AppViewModel viewModel(AppViewModelDependencies::forDesktop());
    QWidget window;
    window.setWindowTitle(QStringLiteral("Corvane"));
    window.resize(430, 590);
    window.show();
    return application.exec();
}
