#include "substringsearch.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace SubstringSearch
{
qsizetype indexOf(QByteArrayView haystack, QByteArrayView needle, qsizetype from)
{
    const qsizetype length = needle.size();
    if (from < 0 || from > haystack.size())
        return -1;
    if (length == 0)
        return from;
    if (length > haystack.size() - from)
        return -1;
    const char *text = haystack.data();
    const char *pattern = needle.data();
    if (length == 1) {
        const void *found = std::memchr(text + from, pattern[0], size_t(haystack.size() - from));
        return found ? static_cast<const char *>(found) - text : -1;
    }

    // Candidate starts are from .. end - 1; the last byte of a candidate sits length - 1 further.
    const qsizetype end = haystack.size() - length + 1;
    const char first = pattern[0];
    const char last = pattern[length - 1];
    const auto restMatches = [&](qsizetype start) { return std::memcmp(text + start + 1, pattern + 1, size_t(length - 2)) == 0; };
    qsizetype position = from;
#ifdef __SSE2__
    const __m128i firstBytes = _mm_set1_epi8(first);
    const __m128i lastBytes = _mm_set1_epi8(last);
    for (; position + 16 <= end; position += 16) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + position));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + position + length - 1));
        unsigned candidates
            = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(starts, firstBytes), _mm_cmpeq_epi8(ends, lastBytes))));
        while (candidates) {
            const qsizetype start = position + __builtin_ctz(candidates);
            if (restMatches(start))
                return start;
            candidates &= candidates - 1;
        }
    }
#endif
    for (; position < end; ++position) {
        if (text[position] == first && text[position + length - 1] == last && restMatches(position))
            return position;
    }
    return -1;
}
}
