#pragma once

#include "browserbridge.h"
#include "tabreader.h"

#include <QMutex>

#include <chrono>
#include <functional>
#include <memory>

// Reads a connected browser's tab from its add-on's last report, exactly and without touching
// the browser's files, and its page text from the page itself; any other browser, and page text
// the add-on cannot give in time, go to the desktop's reader.
class BridgeTabReader : public TabReader
{
public:
    using Clock = std::function<BridgeBrowserState::Clock::time_point()>;
    static constexpr std::chrono::milliseconds pageTextTimeout{2000};

    BridgeTabReader(std::unique_ptr<TabReader> desktop, std::shared_ptr<BrowserBridge> bridge,
                    Clock clock = BridgeBrowserState::Clock::now);

    [[nodiscard]] std::optional<QString> readActiveTab(const KnownBrowser &browser) override;
    [[nodiscard]] std::optional<QString> readPageText(const QString &browserName) override;
    [[nodiscard]] QJsonObject lastReadReport() const override;

private:
    [[nodiscard]] std::optional<BridgeBrowserState> connectedState(const QString &browserId) const;

    std::unique_ptr<TabReader> m_desktop;
    std::shared_ptr<BrowserBridge> m_bridge;
    Clock m_clock;
    mutable QMutex m_mutex;
    // Set when the bridge answered the last read; the desktop reader's report otherwise.
    std::optional<QJsonObject> m_bridgeReport;
};
