#pragma once

#include "knownbrowsers.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// Where a browser's active tab comes from: a scripting bridge, the browser's own session files,
// or a fake in tests. Detection ranks the browsers and interprets the answers; a reader only
// fetches one browser's raw answer. Called on worker threads: readActiveTab by one detection at a
// time, readPageText by a save, possibly while a detection runs.
class TabReader
{
public:
    virtual ~TabReader() = default;

    // The browser's answer "URL|||title" (the URL may be empty), or nothing when it has none.
    [[nodiscard]] virtual std::optional<QString> readActiveTab(const KnownBrowser &browser) = 0;

    // The page text straight from the browser where it can give it; nothing sends the caller to
    // an HTTP fetch of the page.
    [[nodiscard]] virtual std::optional<QString> readPageText(const QString &browserName) = 0;

    // Whether the empty address of the last answer means "not known yet" rather than "no web
    // page": the browser shows a page whose address this reader is about to learn.
    [[nodiscard]] virtual bool lastAddressPending() const { return false; }

    // What the last readActiveTab looked at and why it answered as it did, for the capture report.
    [[nodiscard]] virtual QJsonObject lastReadReport() const { return {}; }
};
