#pragma once

#include <QString>

#include <optional>
#include <utility>

// The outcome of decoding one record: the whole record, or the reason it was refused.
template<typename T> class Decoded
{
public:
    Decoded(T value)
        : m_value(std::move(value))
    { }

    static Decoded failure(const QString &error)
    {
        Decoded decoded;
        decoded.m_error = error;
        return decoded;
    }

    [[nodiscard]] bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const T &value() const { return *m_value; }
    [[nodiscard]] T &value() { return *m_value; }
    [[nodiscard]] const QString &error() const { return m_error; }
    [[nodiscard]] std::optional<T> toOptional() && { return std::move(m_value); }

private:
    Decoded() = default;

    std::optional<T> m_value;
    QString m_error;
};
