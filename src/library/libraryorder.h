#pragma once

#include "records.h"

#include <QList>

namespace LibraryOrder
{
// Pinned first, then createdAt descending compared as text (absent sorts as empty), then id
// descending. Stable, so equal keys keep the order they came in.
[[nodiscard]] bool precedes(const SavedWebsite &first, const SavedWebsite &second);
[[nodiscard]] QList<SavedWebsite> sorted(QList<SavedWebsite> websites);
}
