#include "crypto.h"

#include <sodium.h>

namespace Crypto
{
bool initialize()
{
    return sodium_init() >= 0;
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    randombytes_buf(bytes.data(), size_t(bytes.size()));
    return bytes;
}

quint32 randomBelow(quint32 upperBound)
{
    return randombytes_uniform(upperBound);
}

QByteArray digest(const QByteArray &data, const QByteArray &key)
{
    unsigned char out[crypto_generichash_BYTES];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size()),
                       key.isEmpty() ? nullptr : reinterpret_cast<const unsigned char *>(key.constData()), size_t(key.size()));
    return QByteArray(reinterpret_cast<const char *>(out), sizeof out).toHex();
}

bool equalInConstantTime(const QByteArray &left, const QByteArray &right)
{
    return left.size() == right.size() && sodium_memcmp(left.constData(), right.constData(), size_t(left.size())) == 0;
}
}
