#pragma once

#include <QByteArrayView>

namespace SubstringSearch
{
// Position of the first occurrence of needle in haystack at or after from, or -1. Compares bytes
// exactly; a scan of a whole library's text must take milliseconds, so it tests sixteen
// positions at a time for the needle's first and last byte before comparing the rest.
[[nodiscard]] qsizetype indexOf(QByteArrayView haystack, QByteArrayView needle, qsizetype from = 0);
}
