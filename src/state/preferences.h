#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <memory>
#include <optional>

// The per-user preferences store. Reads are forgiving: an absent key reads as false or nothing,
// and a value of the wrong type reads as nothing rather than failing.
class Preferences
{
public:
    static constexpr QLatin1StringView kJWTToken{"corvane.jwtToken"};
    static constexpr QLatin1StringView kCurrentUser{"corvane.currentUser"};
    static constexpr QLatin1StringView kSavedWebsites{"corvane.savedWebsites"};
    static constexpr QLatin1StringView kRememberMe{"corvane.rememberMe"};
    static constexpr QLatin1StringView kRememberedEmail{"corvane.rememberedEmail"};
    static constexpr QLatin1StringView kRememberedPassword{"corvane.rememberedPassword"};
    static constexpr QLatin1StringView kBrowserPermission{"corvane.browserAccessPermission"};
    static constexpr QLatin1StringView kShowHeaderEmail{"corvane.showHeaderEmail"};

    // The user's own store ("Corvane"/"Corvane" in the platform's native format).
    Preferences();
    explicit Preferences(std::unique_ptr<QSettings> settings);

    [[nodiscard]] bool contains(QLatin1StringView key) const;
    [[nodiscard]] bool boolValue(QLatin1StringView key) const;
    [[nodiscard]] std::optional<QString> text(QLatin1StringView key) const;
    [[nodiscard]] std::optional<QByteArray> data(QLatin1StringView key) const;

    void setBool(QLatin1StringView key, bool value);
    void setText(QLatin1StringView key, const QString &value);
    void setData(QLatin1StringView key, const QByteArray &value);
    void remove(QLatin1StringView key);

    // Another handle on the same store, for another thread: a settings object must not be used
    // from two threads, but several of them on one store see each other's changes at once.
    [[nodiscard]] std::unique_ptr<Preferences> openAnother() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
