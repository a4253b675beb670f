#pragma once

#include "secretstore.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <chrono>
#include <memory>

namespace QKeychain
{
class Job;
}

// Secrets in the system's secret store (the Secret Service on Linux, the Keychain on macOS),
// through QtKeychain. Its jobs are asynchronous, so the secrets are read once when the store is
// opened and kept in memory; writes and removals go out in the background, in order.
class KeychainSecretStore : public QObject, public SecretStore
{
    Q_OBJECT

public:
    // Reads keys, waiting at most timeout in all. Nothing when no secret store runs. A store that
    // runs but does not answer in time (it may be asking the user to unlock it), or refuses, is
    // still used, holding what it handed over: secrets never fall back to a file while a secret
    // store exists.
    [[nodiscard]] static std::unique_ptr<KeychainSecretStore> open(const QString &service, const QList<QLatin1StringView> &keys,
                                                                   std::chrono::milliseconds timeout);
    // Waits a moment for writes still under way, so a sign-out just before quitting sticks.
    ~KeychainSecretStore() override;

    [[nodiscard]] std::optional<QString> text(QLatin1StringView key) const override;
    void setText(QLatin1StringView key, const QString &value) override;
    void remove(QLatin1StringView key) override;

Q_SIGNALS:
    void allWritesDone();

private:
    explicit KeychainSecretStore(QString service);
    // Starts job and counts it until it finishes.
    void start(QKeychain::Job *job, QLatin1StringView key);

    QString m_service;
    QHash<QString, QString> m_values;
    int m_jobsUnderWay = 0;
};
