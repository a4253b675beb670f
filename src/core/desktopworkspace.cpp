#include "desktopworkspace.h"

#include <QDesktopServices>
#include <QGuiApplication>

DesktopWorkspace::DesktopWorkspace(QObject *parent)
    : Workspace(parent)
{
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                Q_EMIT thisApplicationActivated();
        });
    }
}

std::optional<QString> DesktopWorkspace::frontmostApplicationId() const
{
    return std::nullopt;
}

QStringList DesktopWorkspace::runningApplicationIds() const
{
    return {};
}

std::optional<QString> DesktopWorkspace::applicationIdOfProcess(qint64) const
{
    return std::nullopt;
}

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
