#pragma once

#include "hostregistration.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>

#include <chrono>
#include <memory>

class BrowserBridge;

// Whether each of this user's browsers can report its tabs to Corvane: its add-on speaks over the
// bridge, the host is registered but no add-on speaks, or the host is not registered. The views
// read this, never the bridge itself.
class BrowserConnections : public QObject
{
    Q_OBJECT

    // One map per browser: browserId, name, state and stateText.
    Q_PROPERTY(QVariantList browsers READ browsersValue NOTIFY browsersChanged)
    // The best state of any browser, for the one chip that stands for all of them.
    Q_PROPERTY(State summary READ summary NOTIFY browsersChanged)
    Q_PROPERTY(QString summaryText READ summaryText NOTIFY browsersChanged)

public:
    // Best first.
    enum class State {
        Connected,
        AddonMissing,
        HostNotRegistered
    };
    Q_ENUM(State)

    struct Browser {
        QString browserId;
        State state = State::HostNotRegistered;
        bool operator==(const Browser &) const = default;
    };

    // Without a bridge no add-on can be connected.
    BrowserConnections(std::shared_ptr<const BrowserBridge> bridge, HostRegistration registration, QObject *parent = nullptr);

    [[nodiscard]] static State stateOf(bool registered, bool connected);
    [[nodiscard]] static QString stateText(State state);

    // The browsers this user has, and any other whose add-on speaks, in the registration's order.
    [[nodiscard]] const QList<Browser> &browsers() const { return m_browsers; }
    [[nodiscard]] State summary() const;
    [[nodiscard]] QString summaryText() const { return stateText(summary()); }

    // Registers the host with every browser found, as `corvane --connect-browsers` does.
    Q_INVOKABLE void connectBrowsers();
    // Reads the bridge and the browsers' folders again.
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void browsersChanged();

private:
    [[nodiscard]] QVariantList browsersValue() const;

    std::shared_ptr<const BrowserBridge> m_bridge;
    HostRegistration m_registration;
    QList<Browser> m_browsers;
    // A quiet add-on stops counting as connected without a message to say so.
    QTimer m_silenceCheck;
};
