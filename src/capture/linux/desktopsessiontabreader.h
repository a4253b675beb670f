#pragma once

#include "linux/browserhistory.h"
#include "linux/browserprofiles.h"
#include "linux/browserwindows.h"
#include "linux/sessiontab.h"
#include "linux/stampedfilecache.h"
#include "tabreader.h"

#include <QHash>

#include <memory>

// Reads a browser's active tab without talking to the browser: the live title of its topmost
// window, matched against the selected tab of its session file and then its history. A title
// that changed after both files were last written is a page whose address is pending. Reads
// only when asked; keeps what it parsed until the files change.
class DesktopSessionTabReader : public TabReader
{
public:
    explicit DesktopSessionTabReader(std::shared_ptr<BrowserWindows> windows);

    [[nodiscard]] std::optional<QString> readActiveTab(const KnownBrowser &browser) override;
    // Page text comes from fetching the page.
    [[nodiscard]] std::optional<QString> readPageText(const QString &) override { return std::nullopt; }
    [[nodiscard]] QJsonObject lastReadReport() const override { return m_lastReport; }
    [[nodiscard]] bool lastAddressPending() const override { return m_lastAddressPending; }

private:
    // A browser's topmost window and title as this reader last saw them. The title changed
    // after previousSeen (when the reader last saw something else) and by firstSeen.
    struct TitleSighting {
        quint32 windowId = 0;
        QString title;
        qint64 firstSeen = 0;
        qint64 lastSeen = 0;
        // Unset when this is the first title the reader saw: when it changed is unknown.
        std::optional<qint64> previousSeen;
    };

    [[nodiscard]] std::optional<QString> read(const KnownBrowser &browser, QJsonObject &report);
    [[nodiscard]] std::optional<SessionTab> selectedSessionTab(const KnownBrowser &browser, const QString &sessionFile);
    [[nodiscard]] const TitleSighting &sightTitle(const QString &browserId, const BrowserWindow &window, const QString &title);

    std::shared_ptr<BrowserWindows> m_windows;
    BrowserProfiles m_profiles;
    BrowserHistory m_history;
    StampedFileCache<std::optional<SessionTab>> m_firefoxSessions;
    StampedFileCache<std::optional<SessionTab>> m_chromiumSessions;
    QHash<QString, TitleSighting> m_titleSightings;
    QJsonObject m_lastReport;
    bool m_lastAddressPending = false;
};
