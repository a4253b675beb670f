#pragma once

#include "filestamp.h"

#include <QHash>
#include <QString>

#include <functional>

// Remembers what was read from each file and reads it again only when its stamp changes, so a
// poll over unchanged files parses nothing.
template<typename Value> class StampedFileCache
{
public:
    using Reader = std::function<Value(const QString &path)>;

    explicit StampedFileCache(Reader reader)
        : m_reader(std::move(reader))
    { }

    [[nodiscard]] Value value(const QString &path)
    {
        const FileStamp stamp = FileStamp::of(path);
        const auto found = m_entries.constFind(path);
        if (found != m_entries.cend() && found->stamp == stamp)
            return found->value;
        Value value = stamp.exists() ? m_reader(path) : Value{};
        m_entries.insert(path, {stamp, value});
        return value;
    }

private:
    struct Entry {
        FileStamp stamp;
        Value value;
    };

    Reader m_reader;
    QHash<QString, Entry> m_entries;
};
