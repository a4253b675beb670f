#include "resourcefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageReader>

using namespace Qt::StringLiterals;

namespace ResourceFiles
{
QStringList standardFolders()
{
    return {QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(CORVANE_INSTALLED_RESOURCE_DIR))),
            QStringLiteral(CORVANE_BUILD_RESOURCE_DIR)};
}

QString findImage(const QStringList &folders, const QStringList &names)
{
    for (const QString &folder : folders) {
        for (const QString &name : names) {
            const QString path = QDir(folder).filePath(name);
            // Reading the whole image, not just the header, so a truncated file falls through.
            if (!QImageReader(path).read().isNull())
                return QDir::cleanPath(path);
        }
    }
    return {};
}
}
