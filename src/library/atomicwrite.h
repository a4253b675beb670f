#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct AtomicWrite {
    // Files of the local store are the user's alone (0600) and never written through a link;
    // other files keep the mode of the file they replace, or the usual one.
    bool ownerOnly = true;
    // Where the folder takes no new file but the file itself may be written, writes it in place
    // rather than failing. A failed write may then leave it truncated.
    bool directWriteFallback = false;
};

// Replaces the file at path by bytes in one step: the bytes go to a temporary file beside it,
// which is moved over the target only once it is complete. On failure, the reason, with the target
// untouched and no temporary left behind.
std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes, AtomicWrite how = {});
