#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path by bytes in one step: the bytes go to a temporary file beside it,
// which is moved over the target only once it is complete. False, with the target untouched and
// no temporary left behind, when anything fails.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);
