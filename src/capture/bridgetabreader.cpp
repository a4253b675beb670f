#include "bridgetabreader.h"

#include "knownbrowsers.h"

#include <QMutexLocker>

using namespace Qt::StringLiterals;

BridgeTabReader::BridgeTabReader(std::unique_ptr<TabReader> desktop, std::shared_ptr<BrowserBridge> bridge, Clock clock)
    : m_desktop(std::move(desktop))
    , m_bridge(std::move(bridge))
    , m_clock(std::move(clock))
{ }

std::optional<BridgeBrowserState> BridgeTabReader::connectedState(const QString &browserId) const
{
    std::optional<BridgeBrowserState> state = m_bridge->state(browserId);
    return state && state->isConnected(m_clock()) ? state : std::nullopt;
}

std::optional<QString> BridgeTabReader::readActiveTab(const KnownBrowser &browser)
{
    const std::optional<BridgeBrowserState> state = connectedState(QString(browser.id));
    const QMutexLocker locker(&m_mutex);
    if (!state) {
        m_bridgeReport.reset();
        return m_desktop->readActiveTab(browser);
    }
    const auto age = std::chrono::duration_cast<std::chrono::milliseconds>(m_clock() - state->lastMessage);
    m_bridgeReport = QJsonObject{{u"reader"_s, u"add-on"_s}, {u"focused"_s, state->focused}, {u"lastMessageAgeMs"_s, double(age.count())}};
    return state->url + "|||"_L1 + state->title;
}

std::optional<QString> BridgeTabReader::readPageText(const QString &browserName)
{
    const KnownBrowser *browser = findBrowserByName(browserName);
    if (browser && connectedState(QString(browser->id))) {
        if (std::optional<QString> text = m_bridge->readPageText(QString(browser->id), pageTextTimeout))
            return text;
    }
    return m_desktop->readPageText(browserName);
}

QJsonObject BridgeTabReader::lastReadReport() const
{
    const QMutexLocker locker(&m_mutex);
    return m_bridgeReport ? *m_bridgeReport : m_desktop->lastReadReport();
}
