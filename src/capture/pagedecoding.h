#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Turns a downloaded page into text: the charset the page declares (its Content-Type header
// first, then a <meta> charset near its start) when Qt knows it, otherwise strict UTF-8.
namespace PageDecoding
{
// A truncated body may end inside a character; that last partial character is dropped instead
// of failing the whole page.
[[nodiscard]] std::optional<QString> decode(const QByteArray &body, const QByteArray &contentType, bool truncated);
}
