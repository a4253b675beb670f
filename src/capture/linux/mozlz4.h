#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Firefox's compressed JSON files: "mozLz40\0", the decompressed size as uint32 little-endian,
// then one LZ4 block.
namespace MozLz4
{
// Nothing when the file is missing, not in that format, larger than maximumBytes compressed
// or decompressed, or its block does not decompress to exactly the size it declares.
[[nodiscard]] std::optional<QByteArray> read(const QString &path, qint64 maximumBytes);
}
