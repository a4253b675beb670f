#include "snsssession.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QtEndian>

#include <cstring>

namespace
{
constexpr qint64 maximumSessionBytes = 64 * 1024 * 1024;
// The history kept for one tab is bounded by the browser; a larger index is corrupt.
constexpr qint32 maximumIndex = 100000;

enum Command : quint8 {
    SetTabWindow = 0,
    SetTabIndexInWindow = 2,
    UpdateTabNavigation = 6,
    SetSelectedNavigationIndex = 7,
    SetSelectedTabInIndex = 8,
    TabClosed = 16,
    WindowClosed = 17,
    SetActiveWindow = 20,
};

struct Tab {
    qint32 window = -1;
    qint32 indexInWindow = -1;
    qint32 selectedNavigation = -1;
    QMap<qint32, SessionTab> navigations;
};

// Reads little-endian values from a payload; every read past its end fails.
class PayloadReader
{
public:
    explicit PayloadReader(QByteArrayView data)
        : m_data(data)
    { }

    bool readInt32(qint32 &value)
    {
        if (m_position + 4 > m_data.size())
            return false;
        value = qFromLittleEndian<qint32>(m_data.data() + m_position);
        m_position += 4;
        return true;
    }

    bool readPair(qint32 &first, qint32 &second) { return readInt32(first) && readInt32(second); }

    // A pickled string: an int32 count of units, the units, padding to four bytes.
    bool readBytes(qint32 units, int unitSize, QByteArrayView &bytes)
    {
        if (units < 0 || qint64(units) * unitSize > m_data.size() - m_position)
            return false;
        const qsizetype length = qsizetype(units) * unitSize;
        bytes = m_data.sliced(m_position, length);
        m_position += (length + 3) & ~qsizetype(3);
        return true;
    }

private:
    QByteArrayView m_data;
    qsizetype m_position = 0;
};

class SessionReplay
{
public:
    bool apply(quint8 command, QByteArrayView payload)
    {
        PayloadReader reader(payload);
        qint32 first = 0;
        qint32 second = 0;
        switch (command) {
        case SetTabWindow:
            if (!reader.readPair(first, second))
                return false;
            m_tabs[second].window = first;
            return true;
        case SetTabIndexInWindow:
            if (!reader.readPair(first, second))
                return false;
            m_tabs[first].indexInWindow = second;
            return true;
        case SetSelectedNavigationIndex:
            if (!reader.readPair(first, second))
                return false;
            m_tabs[first].selectedNavigation = second;
            return true;
        case SetSelectedTabInIndex:
            if (!reader.readPair(first, second))
                return false;
            m_selectedTabInWindow[first] = second;
            return true;
        case TabClosed:
            if (!reader.readInt32(first))
                return false;
            m_tabs.remove(first);
            return true;
        case WindowClosed:
            if (!reader.readInt32(first))
                return false;
            m_selectedTabInWindow.remove(first);
            if (m_activeWindow == first)
                m_activeWindow = -1;
            return true;
        case SetActiveWindow:
            if (!reader.readInt32(first))
                return false;
            m_activeWindow = first;
            return true;
        case UpdateTabNavigation:
            return applyNavigation(reader);
        default:
            return true;
        }
    }

    [[nodiscard]] std::optional<SessionTab> selectedTab() const
    {
        const auto window = m_selectedTabInWindow.constFind(m_activeWindow);
        if (window == m_selectedTabInWindow.cend())
            return std::nullopt;
        for (const Tab &tab : m_tabs) {
            if (tab.window != m_activeWindow || tab.indexInWindow != *window)
                continue;
            const auto navigation = tab.navigations.constFind(tab.selectedNavigation);
            if (navigation == tab.navigations.cend() || navigation->url.isEmpty())
                return std::nullopt;
            return *navigation;
        }
        return std::nullopt;
    }

private:
    bool applyNavigation(PayloadReader &reader)
    {
        qint32 pickleSize = 0;
        qint32 tabId = 0;
        qint32 index = 0;
        qint32 urlLength = 0;
        qint32 titleLength = 0;
        QByteArrayView url;
        QByteArrayView title;
        if (!reader.readInt32(pickleSize) || !reader.readInt32(tabId) || !reader.readInt32(index) || !reader.readInt32(urlLength)
            || !reader.readBytes(urlLength, 1, url))
            return false;
        if (index < 0 || index > maximumIndex)
            return false;
        // The title is absent from some records; the address alone still counts.
        if (reader.readInt32(titleLength))
            reader.readBytes(titleLength, 2, title);
        // The payload is not aligned for UTF-16 units: copy the bytes rather than cast them. A
        // record without a title has no bytes to copy from at all, and memcpy takes no null source.
        QString titleText(title.size() / 2, Qt::Uninitialized);
        if (!title.isEmpty())
            std::memcpy(titleText.data(), title.data(), size_t(title.size()));
        m_tabs[tabId].navigations.insert(index, SessionTab{QString::fromUtf8(url), titleText});
        return true;
    }

    QHash<qint32, Tab> m_tabs;
    QHash<qint32, qint32> m_selectedTabInWindow;
    qint32 m_activeWindow = -1;
};
}

std::optional<SessionTab> SnssSession::selectedTab(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumSessionBytes)
        return std::nullopt;
    const QByteArray data = file.read(maximumSessionBytes);
    if (data.size() < 8 || !data.startsWith("SNSS"))
        return std::nullopt;

    SessionReplay replay;
    qsizetype position = 8;
    while (position < data.size()) {
        if (position + 2 > data.size())
            return std::nullopt;
        const quint16 size = qFromLittleEndian<quint16>(data.constData() + position);
        position += 2;
        if (size == 0 || position + size > data.size())
            return std::nullopt;
        const auto command = quint8(data.at(position));
        if (!replay.apply(command, QByteArrayView(data).sliced(position + 1, size - 1)))
            return std::nullopt;
        position += size;
    }
    return replay.selectedTab();
}
