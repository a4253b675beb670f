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
    // Its file, found without opening it (opening a store reads all of it); empty where the
    // platform keeps the store itself.
    [[nodiscard]] static QString userStoreFileName();
    explicit Preferences(std::unique_ptr<QSettings> settings);

    [[nodiscard]] bool contains(QLatin1StringView key) const;
    [[nodiscard]] bool boolValue(QLatin1StringView key) const;
    [[nodiscard]] std::optional<QString> text(QLatin1StringView key) const;
    [[nodiscard]] std::optional<QByteArray> data(QLatin1StringView key) const;

    void setBool(QLatin1StringView key, bool value);
    void setText(QLatin1StringView key, const QString &value);
    void setData(QLatin1StringView key, const QByteArray &value);
    void remove(QLatin1StringView key);
    // Writes pending changes to the file now rather than at some later moment.
    void save();

    // Where a store lives, in plain values. A settings object must not be used from two threads,
    // so another thread opens a handle of its own from these; several handles on one store see
    // each other's changes at once.
    struct Location {
        QString fileName;
        QSettings::Format format = QSettings::NativeFormat;
        QSettings::Scope scope = QSettings::UserScope;
        QString organization;
        QString application;
    };
    // Read on the thread that uses this handle.
    [[nodiscard]] Location location() const;
    [[nodiscard]] static std::unique_ptr<Preferences> open(const Location &location);

    // Settings objects keep what they read or wrote of a file for the rest of the process, which
    // for a store as large as the library is as much again. These leave nothing behind: one value
    // of a store in a file, read through a second name that is removed afterwards; and dropping
    // what is kept of a file that is gone, such as one renamed elsewhere.
    [[nodiscard]] static std::optional<QByteArray> readDataOnce(const Location &location, QLatin1StringView key);
    static void forgetRemovedFile(const Location &location);

private:
    std::unique_ptr<QSettings> m_settings;
};
