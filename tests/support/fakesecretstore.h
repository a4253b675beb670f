#pragma once

#include "secretstore.h"

#include <QHash>

// A secret store over a table the test owns, so what a model left there can be read after it is
// gone.
class FakeSecretStore : public SecretStore
{
public:
    explicit FakeSecretStore(QHash<QString, QString> &values)
        : m_values(values)
    { }

    std::optional<QString> text(QLatin1StringView key) const override
    {
        return m_values.contains(key) ? std::optional(m_values.value(key)) : std::nullopt;
    }
    void setText(QLatin1StringView key, const QString &value) override { m_values.insert(key, value); }
    void remove(QLatin1StringView key) override { m_values.remove(key); }

private:
    QHash<QString, QString> &m_values;
};
