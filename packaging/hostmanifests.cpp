// Writes the native-messaging host manifests that the client's package installs for every user of
// the machine, with the code that registers the host for one user, so that the two cannot differ.
#include "hostregistration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace
{
bool write(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}
}

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <host program> <Chromium family manifest> <Firefox manifest>\n", argv[0]);
        return 2;
    }
    const HostRegistration registration(QString(), QString::fromLocal8Bit(argv[1]));
    const bool written = write(QString::fromLocal8Bit(argv[2]), registration.manifest(HostRegistration::Family::Chromium))
        && write(QString::fromLocal8Bit(argv[3]), registration.manifest(HostRegistration::Family::Firefox));
    return written ? 0 : 1;
}
