#include "atomicwrite.h"

#include "privatefiles.h"

#include <QSaveFile>

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes, AtomicWrite how)
{
    // A saved file takes the place of the file a link points to: a private file replaces the link.
    if (how.ownerOnly && !PrivateFiles::removeLink(path))
        return QStringLiteral("a link stands in the way");
    QSaveFile file(path);
    file.setDirectWriteFallback(how.directWriteFallback);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (how.ownerOnly && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return file.errorString();
    }
    // The explicit flush matters: QSaveFile buffers, and commit() does not notice a buffer that
    // failed to reach the disk (a full disk would leave a truncated file in place of the old one).
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}
