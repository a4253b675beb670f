#pragma once

#include <QByteArray>

// The few libsodium primitives the stores share.
namespace Crypto
{
// Must succeed once before any other call.
bool initialize();
QByteArray randomBytes(int count);
// Uniform in [0, upperBound).
quint32 randomBelow(quint32 upperBound);
// BLAKE2b-256 of data, keyed when key is not empty, as lower-case hex.
QByteArray digest(const QByteArray &data, const QByteArray &key = {});
bool equalInConstantTime(const QByteArray &left, const QByteArray &right);
}
