#pragma once

#include <QLatin1StringView>
#include <QString>

#include <optional>

// Where the session token and the remembered password are kept. Reads answer at once; a write may
// reach its storage later, but a read that follows it already sees it.
class SecretStore
{
public:
    virtual ~SecretStore() = default;

    [[nodiscard]] virtual std::optional<QString> text(QLatin1StringView key) const = 0;
    virtual void setText(QLatin1StringView key, const QString &value) = 0;
    virtual void remove(QLatin1StringView key) = 0;
};
