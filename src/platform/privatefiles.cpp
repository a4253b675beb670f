#include "privatefiles.h"

#include "platform/platformlog.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace
{
constexpr QFile::Permissions kFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kFolder = kFile | QFile::ExeOwner;

bool restrict(const QFileInfo &entry)
{
    // Links are left alone: their mode means nothing and following one could reach any file.
    if (entry.isSymLink())
        return false;
    return QFile::setPermissions(entry.filePath(), entry.isDir() ? kFolder : kFile);
}
}

namespace PrivateFiles
{
bool makeFolder(const QString &path)
{
    if (!removeLink(path))
        return false;
    const QFileInfo folder(path);
    if (folder.exists())
        return restrict(folder);
    // The folder itself is created private, so it is never open to others even for a moment.
    return QDir().mkpath(folder.absolutePath()) && QDir().mkdir(folder.absoluteFilePath(), kFolder);
}

bool makeFile(const QString &path)
{
    if (!removeLink(path))
        return false;
    const QFileInfo file(path);
    if (file.exists())
        return restrict(file);
    if (!QDir().mkpath(file.absolutePath()))
        return false;
    QFile created(path);
    return created.open(QIODevice::WriteOnly | QIODevice::NewOnly, kFile);
}

bool removeLink(const QString &path)
{
    if (!QFileInfo(path).isSymLink())
        return true;
    qCInfo(lcPlatform) << "a link stood where a private file belongs; it is removed, its target left alone:" << path;
    return QFile::remove(path);
}

void restrictTree(const QString &path)
{
    if (!restrict(QFileInfo(path)))
        return;
    QDirIterator entries(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        entries.next();
        restrict(entries.fileInfo());
    }
}
}
