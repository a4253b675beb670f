#pragma once

#include <QFileInfo>
#include <QString>

// A file's size and modification time: when both are unchanged the file is taken as unchanged.
struct FileStamp {
    qint64 size = -1;
    qint64 modifiedMsecs = 0;

    [[nodiscard]] static FileStamp of(const QString &path)
    {
        const QFileInfo info(path);
        if (!info.isFile())
            return {};
        return {info.size(), info.lastModified().toMSecsSinceEpoch()};
    }
    [[nodiscard]] bool exists() const { return size >= 0; }
    bool operator==(const FileStamp &) const = default;
};
