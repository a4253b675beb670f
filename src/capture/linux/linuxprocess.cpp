#include "linuxprocess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{
// A command line longer than this is cut: browsers' switches come first.
constexpr qint64 maximumCommandLineBytes = 64 * 1024;

QString processPath(qint64 processId, const char *entry)
{
    return QStringLiteral("/proc/%1/%2").arg(processId).arg(QLatin1StringView(entry));
}
}

QString LinuxProcess::executablePath(qint64 processId)
{
    if (processId <= 0)
        return {};
    return QFileInfo(processPath(processId, "exe")).symLinkTarget();
}

QStringList LinuxProcess::commandLine(qint64 processId)
{
    if (processId <= 0)
        return {};
    QFile file(processPath(processId, "cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList arguments;
    for (const QByteArray &argument : file.read(maximumCommandLineBytes).split('\0')) {
        if (!argument.isEmpty())
            arguments.append(QString::fromLocal8Bit(argument));
    }
    return arguments;
}

QList<qint64> LinuxProcess::processIds()
{
    QList<qint64> ids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isNumber = false;
        const qint64 id = entry.toLongLong(&isNumber);
        if (isNumber)
            ids.append(id);
    }
    return ids;
}
