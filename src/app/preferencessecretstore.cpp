#include "preferencessecretstore.h"

#include "preferences.h"

PreferencesSecretStore::PreferencesSecretStore(Preferences &preferences)
    : m_preferences(preferences)
{ }

std::optional<QString> PreferencesSecretStore::text(QLatin1StringView key) const
{
    return m_preferences.text(key);
}

void PreferencesSecretStore::setText(QLatin1StringView key, const QString &value)
{
    m_preferences.setText(key, value);
}

void PreferencesSecretStore::remove(QLatin1StringView key)
{
    m_preferences.remove(key);
}
