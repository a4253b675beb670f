#pragma once

#include "secretstore.h"

class Preferences;

// Where no secret store runs (a bare server, CI): the secrets stay in the preferences file, which
// only its owner may read.
class PreferencesSecretStore : public SecretStore
{
public:
    explicit PreferencesSecretStore(Preferences &preferences);

    [[nodiscard]] std::optional<QString> text(QLatin1StringView key) const override;
    void setText(QLatin1StringView key, const QString &value) override;
    void remove(QLatin1StringView key) override;

private:
    Preferences &m_preferences;
};
