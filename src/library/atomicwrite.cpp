#include "atomicwrite.h"

#include <QSaveFile>

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The explicit flush matters: QSaveFile buffers, and commit() does not notice a buffer that
    // failed to reach the disk (a full disk would leave a truncated file in place of the old one).
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
