#include "privatefiles.h"

#include "platformlog.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

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

std::optional<struct stat> statusOf(const QString &path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

bool isOwnFolder(const struct stat &status)
{
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid();
}

bool isPrivateFolder(const QString &path)
{
    const auto status = statusOf(path);
    return status && isOwnFolder(*status) && (status->st_mode & 077) == 0;
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

std::optional<QString> runtimeFolder()
{
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!session.isEmpty() && isPrivateFolder(session))
        return session;
    // The temporary folder is everyone's: whoever makes the name first owns it.
    const QString ours = QDir(QDir::tempPath()).filePath(u"corvane-runtime-%1"_s.arg(::geteuid()));
    if (isPrivateFolder(ours))
        return ours;
    if (const auto status = statusOf(ours)) {
        if (!isOwnFolder(*status)) {
            qCInfo(lcPlatform) << "the runtime folder's name is taken by another:" << ours;
            return std::nullopt;
        }
        // Someone may have put a socket of theirs into it while it stood open.
        if (!QDir(ours).removeRecursively())
            return std::nullopt;
    }
    // A folder made meanwhile by someone else makes this fail rather than be used.
    if (::mkdir(QFile::encodeName(ours).constData(), 0700) != 0 || !isPrivateFolder(ours))
        return std::nullopt;
    return ours;
}
}
