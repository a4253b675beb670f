#include "versionorder.h"

namespace
{
bool isDigit(QChar character)
{
    return character >= u'0' && character <= u'9';
}

// The run of digits that starts at position, which then moves past it.
QStringView takeDigits(QStringView text, qsizetype &position)
{
    const qsizetype start = position;
    while (position < text.size() && isDigit(text[position]))
        ++position;
    return text.sliced(start, position - start);
}

// Compared as text without leading zeros, so runs of any length never overflow.
int compareNumbers(QStringView left, QStringView right)
{
    while (left.size() > 1 && left.front() == u'0')
        left = left.sliced(1);
    while (right.size() > 1 && right.front() == u'0')
        right = right.sliced(1);
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left.compare(right);
}

int sign(qsizetype value)
{
    return (value > 0) - (value < 0);
}
}

namespace VersionOrder
{
int compare(QStringView left, QStringView right)
{
    qsizetype leftPosition = 0;
    qsizetype rightPosition = 0;
    while (leftPosition < left.size() && rightPosition < right.size()) {
        if (isDigit(left[leftPosition]) && isDigit(right[rightPosition])) {
            const int order = compareNumbers(takeDigits(left, leftPosition), takeDigits(right, rightPosition));
            if (order != 0)
                return sign(order);
            continue;
        }
        if (left[leftPosition] != right[rightPosition])
            return left[leftPosition] < right[rightPosition] ? -1 : 1;
        ++leftPosition;
        ++rightPosition;
    }
    return sign(left.size() - leftPosition) - sign(right.size() - rightPosition);
}
}
