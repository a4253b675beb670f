#include "nativemessaging.h"

#include "bridgelog.h"

#include <QJsonDocument>

#include <cstring>

namespace
{
constexpr qsizetype headerSize = sizeof(quint32);
}

namespace NativeMessaging
{
std::optional<QByteArray> encode(const QJsonObject &message, qsizetype limit)
{
    const QByteArray payload = QJsonDocument(message).toJson(QJsonDocument::Compact);
    if (payload.size() > limit)
        return std::nullopt;
    const auto length = quint32(payload.size());
    QByteArray frame(headerSize, Qt::Uninitialized);
    std::memcpy(frame.data(), &length, headerSize);
    return frame + payload;
}
}

void FrameReader::append(QByteArrayView bytes)
{
    if (m_skipping > 0) {
        const qsizetype skipped = qsizetype(std::min<qint64>(m_skipping, bytes.size()));
        m_skipping -= skipped;
        bytes = bytes.sliced(skipped);
    }
    m_buffer.append(bytes);
}

std::optional<QByteArray> FrameReader::next()
{
    while (m_skipping == 0 && m_buffer.size() >= headerSize) {
        quint32 length = 0;
        std::memcpy(&length, m_buffer.constData(), headerSize);
        if (qint64(length) > m_limit) {
            qCInfo(lcBridge) << "dropped a message of" << length << "bytes, more than" << m_limit;
            const qsizetype available = std::min<qsizetype>(m_buffer.size() - headerSize, qsizetype(length));
            m_skipping = qint64(length) - available;
            m_buffer.remove(0, headerSize + available);
            continue;
        }
        if (m_buffer.size() - headerSize < qsizetype(length))
            return std::nullopt;
        QByteArray payload = m_buffer.mid(headerSize, qsizetype(length));
        m_buffer.remove(0, headerSize + qsizetype(length));
        return payload;
    }
    return std::nullopt;
}
