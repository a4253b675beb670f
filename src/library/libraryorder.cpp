#include "libraryorder.h"

#include <algorithm>

namespace LibraryOrder
{
bool precedes(const SavedWebsite &first, const SavedWebsite &second)
{
    if (first.pinned() != second.pinned())
        return first.pinned();
    const QString firstCreated = first.createdAt.value_or(QString());
    const QString secondCreated = second.createdAt.value_or(QString());
    if (firstCreated != secondCreated)
        return firstCreated > secondCreated;
    return first.id > second.id;
}

QList<SavedWebsite> sorted(QList<SavedWebsite> websites)
{
    std::stable_sort(websites.begin(), websites.end(), precedes);
    return websites;
}
}
