#include "mozlz4.h"

#include <QFile>
#include <QtEndian>

#include <lz4.h>

namespace
{
constexpr QByteArrayView magic("mozLz40\0", 8);
constexpr qsizetype headerSize = 12;
}

std::optional<QByteArray> MozLz4::read(const QString &path, qint64 maximumBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumBytes || file.size() < headerSize)
        return std::nullopt;
    const QByteArray compressed = file.read(maximumBytes);
    if (!compressed.startsWith(magic))
        return std::nullopt;
    const quint32 declaredSize = qFromLittleEndian<quint32>(compressed.constData() + magic.size());
    if (declaredSize > maximumBytes || declaredSize > quint32(LZ4_MAX_INPUT_SIZE))
        return std::nullopt;
    QByteArray decompressed(qsizetype(declaredSize), Qt::Uninitialized);
    const int produced = LZ4_decompress_safe(compressed.constData() + headerSize, decompressed.data(), int(compressed.size() - headerSize),
                                             int(declaredSize));
    if (produced < 0 || quint32(produced) != declaredSize)
        return std::nullopt;
    return decompressed;
}
