#include "libraryorder.h"

#include <algorithm>

namespace
{
// A view, not a copy: sorting a large library compares these many times.
QStringView createdText(const SavedWebsite &website)
{
    return website.createdAt ? QStringView(*website.createdAt) : QStringView();
}
}

namespace LibraryOrder
{
bool precedes(const SavedWebsite &first, const SavedWebsite &second)
{
    if (first.pinned() != second.pinned())
        return first.pinned();
    if (const int created = createdText(first).compare(createdText(second)); created != 0)
        return created > 0;
    return first.id > second.id;
}

QList<SavedWebsite> sorted(QList<SavedWebsite> websites)
{
    std::stable_sort(websites.begin(), websites.end(), precedes);
    return websites;
}
}
