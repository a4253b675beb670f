#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

// The browsers' native-messaging framing: a 32-bit length in the machine's byte order, then that
// many bytes of UTF-8 JSON. The relay between the host and Corvane uses the same framing.
namespace NativeMessaging
{
// Browsers refuse a larger message from their host.
inline constexpr qsizetype maximumToBrowser = 1024 * 1024;
// What the add-on may send: a state report is small; only page text may be large.
inline constexpr qsizetype maximumStateMessage = 64 * 1024;
inline constexpr qsizetype maximumPageTextMessage = 8 * 1024 * 1024;

// The frame for message; nothing when it is larger than limit.
[[nodiscard]] std::optional<QByteArray> encode(const QJsonObject &message, qsizetype limit = maximumToBrowser);
}

// Splits a byte stream into frames, however the bytes arrive. A frame longer than the limit is
// skipped as its bytes pass, so one oversized message neither fills memory nor ends the stream.
class FrameReader
{
public:
    explicit FrameReader(qsizetype limit)
        : m_limit(limit)
    { }

    void append(QByteArrayView bytes);
    // The next whole frame's payload, or nothing until more bytes arrive.
    [[nodiscard]] std::optional<QByteArray> next();

private:
    qsizetype m_limit;
    QByteArray m_buffer;
    // Bytes of an oversized frame still to be thrown away.
    qint64 m_skipping = 0;
};
