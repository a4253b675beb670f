#pragma once

#include <QString>

// Filters typed text one user-perceived character at a time. A character is ASCII when it is a
// single code point up to U+007F or a carriage-return/line-feed pair; a character of several code
// points (an accented letter built with a combining mark, an emoji sequence) is not.
namespace TextInputFilter
{
[[nodiscard]] bool isAsciiCharacter(QStringView character);
[[nodiscard]] bool isAscii(QStringView text);
// Keeps ASCII characters, whitespace included (passwords).
[[nodiscard]] QString keepAscii(const QString &text);
// Keeps ASCII characters that are not whitespace (e-mail addresses, codes).
[[nodiscard]] QString keepAsciiWithoutWhitespace(const QString &text);
}
