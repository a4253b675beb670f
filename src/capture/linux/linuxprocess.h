#pragma once

#include <QString>
#include <QStringList>

// What /proc says about a process of this user; empty when it is gone or not ours to read.
namespace LinuxProcess
{
[[nodiscard]] QString executablePath(qint64 processId);
[[nodiscard]] QStringList commandLine(qint64 processId);
// Process ids of every process listed in /proc.
[[nodiscard]] QList<qint64> processIds();
}
