#include "browserconnections.h"

#include "browserbridge.h"
#include "knownbrowsers.h"

#include <QVariantMap>

#include <algorithm>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

BrowserConnections::BrowserConnections(std::shared_ptr<const BrowserBridge> bridge, HostRegistration registration, QObject *parent)
    : QObject(parent)
    , m_bridge(std::move(bridge))
    , m_registration(std::move(registration))
{
    if (m_bridge)
        connect(m_bridge.get(), &BrowserBridge::stateChanged, this, &BrowserConnections::refresh);
    m_silenceCheck.setInterval(10s);
    connect(&m_silenceCheck, &QTimer::timeout, this, &BrowserConnections::refresh);
    m_silenceCheck.start();
    refresh();
}

BrowserConnections::State BrowserConnections::stateOf(bool registered, bool connected)
{
    // A connected add-on proves a host is registered somewhere, if not where Corvane looks.
    if (connected)
        return State::Connected;
    return registered ? State::AddonMissing : State::HostNotRegistered;
}

QString BrowserConnections::stateText(State state)
{
    switch (state) {
    case State::Connected:
        return tr("Connected");
    case State::AddonMissing:
        return tr("Add-on missing");
    case State::HostNotRegistered:
        break;
    }
    return tr("Host not registered");
}

BrowserConnections::State BrowserConnections::summary() const
{
    const auto best = std::ranges::min_element(m_browsers, {}, &Browser::state);
    return best == m_browsers.cend() ? State::HostNotRegistered : best->state;
}

void BrowserConnections::refresh()
{
    const auto now = BridgeBrowserState::Clock::now();
    QList<Browser> browsers;
    for (const HostRegistration::Browser &entry : HostRegistration::browsers()) {
        const QString &id = entry.browserId;
        if (std::ranges::any_of(browsers, [&id](const Browser &seen) { return seen.browserId == id; }))
            continue;
        const std::optional<BridgeBrowserState> bridgeState = m_bridge ? m_bridge->state(id) : std::nullopt;
        const bool connected = bridgeState && bridgeState->isConnected(now);
        if (connected || m_registration.hasBrowser(id))
            browsers.append(Browser{id, stateOf(m_registration.isRegistered(id), connected)});
    }
    if (browsers == m_browsers)
        return;
    m_browsers = std::move(browsers);
    Q_EMIT browsersChanged();
}

void BrowserConnections::connectBrowsers()
{
    std::ignore = m_registration.connectBrowsers();
    refresh();
}

QVariantList BrowserConnections::browsersValue() const
{
    QVariantList list;
    for (const Browser &browser : m_browsers) {
        const KnownBrowser *known = findBrowser(browser.browserId);
        list.append(QVariantMap{
            {u"browserId"_s, browser.browserId},
            {u"name"_s, known ? QString(known->appName) : browser.browserId},
            {u"state"_s, static_cast<int>(browser.state)},
            {u"stateText"_s, stateText(browser.state)},
        });
    }
    return list;
}
