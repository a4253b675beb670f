#pragma once

#include <QByteArrayView>
#include <QJsonValue>
#include <QLatin1StringView>

#include <functional>
#include <optional>

// Parses JSON text into the same values QJsonDocument gives, many times faster on long strings
// with escapes: page text is full of line breaks, and QJsonDocument builds such strings one
// character at a time (about 600 ms for a library of 2,000 pages). The root must be an array or
// an object; numbers without fraction or exponent that fit 64 bits become integers, as there.
// Anything that is not JSON (bad UTF-8, unknown escapes, trailing text, nesting deeper than
// 1,024 levels) gives nothing.
namespace JsonReader
{
[[nodiscard]] std::optional<QJsonValue> parse(QByteArrayView json);

// One array whose elements are handed over as they are read instead of being kept, so that a long
// list never exists as JSON values all at once: the root itself (an empty key) or the member key
// of a root object. Each time such an array starts, begin is called; a repeated key starts anew.
// The array is left out of the value parse returns (the root array comes back empty).
struct StreamedArray {
    QLatin1StringView key;
    std::function<void()> begin;
    std::function<void(const QJsonValue &element)> element;
};
[[nodiscard]] std::optional<QJsonValue> parse(QByteArrayView json, const StreamedArray &streamed);
}
