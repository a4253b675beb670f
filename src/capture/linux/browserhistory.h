#pragma once

#include "knownbrowsers.h"
#include "linux/filestamp.h"

#include <QHash>
#include <QString>

#include <optional>

// Looks up a browser's history database, read-only: Firefox's places.sqlite is copied with its
// write-ahead log into a private temporary folder (the browser holds it locked), Chromium's
// History is opened as immutable. The last answer per file is kept until the files or the
// title change.
class BrowserHistory
{
public:
    // The address of the newest visit in the last weeks whose page had exactly this title.
    [[nodiscard]] std::optional<QString> newestUrlWithTitle(KnownBrowser::Kind kind, const QString &historyFile, const QString &title);

private:
    struct Entry {
        FileStamp database;
        FileStamp writeAheadLog;
        QString title;
        std::optional<QString> url;
    };

    QHash<QString, Entry> m_entries;
};
