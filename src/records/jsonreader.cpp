#include "jsonreader.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <charconv>
#include <cstring>

namespace
{
constexpr int kMaximumDepth = 1024;

class Parser
{
public:
    Parser(QByteArrayView json, const JsonReader::StreamedArray *streamed)
        : m_position(json.data())
        , m_end(json.data() + json.size())
        , m_streamed(streamed)
    { }

    std::optional<QJsonValue> document()
    {
        if (m_end - m_position >= 3 && QByteArrayView(m_position, 3) == "\xef\xbb\xbf")
            m_position += 3;
        skipWhitespace();
        if (m_position == m_end || (*m_position != '[' && *m_position != '{'))
            return std::nullopt;
        auto root = m_streamed && m_streamed->key.isEmpty() && *m_position == '[' ? streamedArray(1) : value(0);
        skipWhitespace();
        if (!root || m_position != m_end)
            return std::nullopt;
        return root;
    }

private:
    void skipWhitespace()
    {
        while (m_position < m_end && (*m_position == ' ' || *m_position == '\n' || *m_position == '\r' || *m_position == '\t'))
            ++m_position;
    }

    bool consume(char expected)
    {
        skipWhitespace();
        if (m_position == m_end || *m_position != expected)
            return false;
        ++m_position;
        return true;
    }

    bool consumeWord(QByteArrayView word)
    {
        if (m_end - m_position < word.size() || QByteArrayView(m_position, word.size()) != word)
            return false;
        m_position += word.size();
        return true;
    }

    std::optional<QJsonValue> value(int depth)
    {
        skipWhitespace();
        if (m_position == m_end)
            return std::nullopt;
        switch (*m_position) {
        case '{':
            return depth < kMaximumDepth ? object(depth + 1) : std::nullopt;
        case '[':
            return depth < kMaximumDepth ? array(depth + 1) : std::nullopt;
        case '"':
            if (auto text = string())
                return QJsonValue(*text);
            return std::nullopt;
        case 't':
            return consumeWord("true") ? std::optional(QJsonValue(true)) : std::nullopt;
        case 'f':
            return consumeWord("false") ? std::optional(QJsonValue(false)) : std::nullopt;
        case 'n':
            return consumeWord("null") ? std::optional(QJsonValue(QJsonValue::Null)) : std::nullopt;
        default:
            return number();
        }
    }

    std::optional<QJsonValue> array(int depth)
    {
        ++m_position;
        QJsonArray array;
        if (consume(']'))
            return array;
        do {
            auto element = value(depth);
            if (!element)
                return std::nullopt;
            array.append(*element);
        } while (consume(','));
        if (!consume(']'))
            return std::nullopt;
        return array;
    }

    // The streamed array's elements go to its taker one by one; what is returned stands in for it.
    std::optional<QJsonValue> streamedArray(int depth)
    {
        ++m_position;
        m_streamed->begin();
        if (consume(']'))
            return QJsonArray();
        do {
            auto element = value(depth);
            if (!element)
                return std::nullopt;
            m_streamed->element(*element);
        } while (consume(','));
        if (!consume(']'))
            return std::nullopt;
        return QJsonArray();
    }

    std::optional<QJsonValue> object(int depth)
    {
        ++m_position;
        QJsonObject object;
        if (consume('}'))
            return object;
        do {
            skipWhitespace();
            if (m_position == m_end || *m_position != '"')
                return std::nullopt;
            auto key = string();
            if (!key || !consume(':'))
                return std::nullopt;
            skipWhitespace();
            const bool streamed = depth == 1 && m_streamed && !m_streamed->key.isEmpty() && *key == m_streamed->key && m_position < m_end
                && *m_position == '[';
            auto member = streamed ? streamedArray(depth + 1) : value(depth);
            if (!member)
                return std::nullopt;
            // A repeated key keeps its last value.
            if (streamed)
                object.remove(*key);
            else
                object.insert(*key, *member);
        } while (consume(','));
        if (!consume('}'))
            return std::nullopt;
        return object;
    }

    std::optional<QJsonValue> number()
    {
        const char *start = m_position;
        const char *cursor = m_position;
        const auto digits = [&cursor, this] {
            const char *first = cursor;
            while (cursor < m_end && *cursor >= '0' && *cursor <= '9')
                ++cursor;
            return cursor - first;
        };
        if (cursor < m_end && *cursor == '-')
            ++cursor;
        const char *integerStart = cursor;
        const auto integerDigits = digits();
        if (integerDigits == 0 || (integerDigits > 1 && *integerStart == '0'))
            return std::nullopt;
        bool integral = true;
        if (cursor < m_end && *cursor == '.') {
            ++cursor;
            integral = false;
            if (digits() == 0)
                return std::nullopt;
        }
        if (cursor < m_end && (*cursor == 'e' || *cursor == 'E')) {
            ++cursor;
            integral = false;
            if (cursor < m_end && (*cursor == '+' || *cursor == '-'))
                ++cursor;
            if (digits() == 0)
                return std::nullopt;
        }
        m_position = cursor;
        if (integral) {
            qint64 integer = 0;
            if (std::from_chars(start, cursor, integer).ec == std::errc())
                return QJsonValue(integer);
        }
        double real = 0;
        if (std::from_chars(start, cursor, real).ec != std::errc())
            return std::nullopt;
        return QJsonValue(real);
    }

    // Decodes the string at m_position (on its opening quote) straight into UTF-16. It never
    // needs more UTF-16 units than it has bytes, so one allocation of that size holds it.
    std::optional<QString> string()
    {
        ++m_position;
        const char *const close = closingQuote();
        if (!close)
            return std::nullopt;
        QString text(close - m_position, Qt::Uninitialized);
        char16_t *out = reinterpret_cast<char16_t *>(text.data());
        char16_t *const begin = out;
        while (m_position < close) {
            // The long runs of plain ASCII, in one tight loop.
            while (m_position < close) {
                const auto byte = static_cast<unsigned char>(*m_position);
                if (byte == '\\' || byte >= 0x80)
                    break;
                *out++ = byte;
                ++m_position;
            }
            if (m_position == close)
                break;
            if (*m_position == '\\' ? !escape(out) : !utf8Sequence(out))
                return std::nullopt;
        }
        // An escape or a sequence must not have run past the quote.
        if (m_position != close)
            return std::nullopt;
        ++m_position;
        text.truncate(out - begin);
        return text;
    }

    // The quote that ends the string starting at m_position: the first one not escaped by an odd
    // number of backslashes.
    const char *closingQuote() const
    {
        const char *search = m_position;
        while (true) {
            const auto *quote = static_cast<const char *>(std::memchr(search, '"', size_t(m_end - search)));
            if (!quote)
                return nullptr;
            const char *backslash = quote;
            while (backslash > m_position && backslash[-1] == '\\')
                --backslash;
            if ((quote - backslash) % 2 == 0)
                return quote;
            search = quote + 1;
        }
    }

    bool escape(char16_t *&out)
    {
        ++m_position;
        if (m_position == m_end)
            return false;
        const char kind = *m_position++;
        switch (kind) {
        case '"':
            *out++ = u'"';
            return true;
        case '\\':
            *out++ = u'\\';
            return true;
        case '/':
            *out++ = u'/';
            return true;
        case 'b':
            *out++ = u'\b';
            return true;
        case 'f':
            *out++ = u'\f';
            return true;
        case 'n':
            *out++ = u'\n';
            return true;
        case 'r':
            *out++ = u'\r';
            return true;
        case 't':
            *out++ = u'\t';
            return true;
        case 'u':
            break;
        default:
            return false;
        }
        if (m_end - m_position < 4)
            return false;
        char16_t unit = 0;
        for (int digit = 0; digit < 4; ++digit) {
            const char character = *m_position++;
            unit <<= 4;
            if (character >= '0' && character <= '9')
                unit |= character - '0';
            else if (character >= 'a' && character <= 'f')
                unit |= character - 'a' + 10;
            else if (character >= 'A' && character <= 'F')
                unit |= character - 'A' + 10;
            else
                return false;
        }
        // Surrogates are kept as the code units they are, paired or not, as QJsonDocument does.
        *out++ = unit;
        return true;
    }

    // One multi-byte UTF-8 sequence; overlong forms, surrogates and values past U+10FFFF are
    // not UTF-8.
    bool utf8Sequence(char16_t *&out)
    {
        const auto lead = static_cast<unsigned char>(*m_position);
        int length = 0;
        char32_t codePoint = 0;
        char32_t minimum = 0;
        if ((lead & 0xe0) == 0xc0) {
            length = 2;
            codePoint = lead & 0x1f;
            minimum = 0x80;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3;
            codePoint = lead & 0x0f;
            minimum = 0x800;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4;
            codePoint = lead & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (m_end - m_position < length)
            return false;
        for (int index = 1; index < length; ++index) {
            const auto continuation = static_cast<unsigned char>(m_position[index]);
            if ((continuation & 0xc0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (continuation & 0x3f);
        }
        if (codePoint < minimum || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;
        m_position += length;
        if (codePoint >= 0x10000) {
            *out++ = QChar::highSurrogate(codePoint);
            *out++ = QChar::lowSurrogate(codePoint);
        } else {
            *out++ = char16_t(codePoint);
        }
        return true;
    }

    const char *m_position;
    const char *const m_end;
    const JsonReader::StreamedArray *const m_streamed;
};
}

namespace JsonReader
{
std::optional<QJsonValue> parse(QByteArrayView json)
{
    return Parser(json, nullptr).document();
}

std::optional<QJsonValue> parse(QByteArrayView json, const StreamedArray &streamed)
{
    return Parser(json, &streamed).document();
}
}
