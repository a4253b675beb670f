#include "keychainsecretstore.h"

#include "platformlog.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

using namespace std::chrono_literals;

namespace
{
// Errors that say no secret store is there at all, as opposed to one that refused or failed once.
bool meansNoSecretStore(QKeychain::Error error)
{
    return error == QKeychain::NoBackendAvailable || error == QKeychain::NotImplemented || error == QKeychain::OtherError;
}

constexpr std::chrono::milliseconds kWaitForWritesAtExit = 3s;
}

KeychainSecretStore::KeychainSecretStore(QString service)
    : m_service(std::move(service))
{ }

std::unique_ptr<KeychainSecretStore> KeychainSecretStore::open(const QString &service, const QList<QLatin1StringView> &keys,
                                                               std::chrono::milliseconds timeout)
{
    std::unique_ptr<KeychainSecretStore> store(new KeychainSecretStore(service));
    bool answered = false;
    bool refused = false;
    qsizetype unanswered = keys.size();
    QEventLoop loop;
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    for (const QLatin1StringView key : keys) {
        auto *job = new QKeychain::ReadPasswordJob(service);
        job->setKey(key);
        // Jobs delete themselves, even one that answers after the wait gave up; the loop is gone
        // by then and so is this connection.
        connect(job, &QKeychain::Job::finished, &loop, [&, key](QKeychain::Job *finished) {
            const QKeychain::Error error = finished->error();
            if (error == QKeychain::NoError)
                store->m_values.insert(key, static_cast<QKeychain::ReadPasswordJob *>(finished)->textData());
            answered = answered || error == QKeychain::NoError || error == QKeychain::EntryNotFound;
            refused = refused || error == QKeychain::AccessDenied || error == QKeychain::AccessDeniedByUser;
            if (meansNoSecretStore(error))
                qCInfo(lcPlatform) << "secret store:" << finished->errorString();
            if (--unanswered == 0)
                loop.quit();
        });
        job->start();
    }
    if (unanswered > 0)
        loop.exec();

    if (answered || refused || unanswered > 0) {
        if (refused || unanswered > 0)
            qCWarning(lcPlatform) << "the secret store did not hand over the stored secrets; signing in again stores them";
        return store;
    }
    return nullptr;
}

KeychainSecretStore::~KeychainSecretStore()
{
    if (m_jobsUnderWay == 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(kWaitForWritesAtExit, &loop, &QEventLoop::quit);
    connect(this, &KeychainSecretStore::allWritesDone, &loop, &QEventLoop::quit);
    loop.exec();
}

std::optional<QString> KeychainSecretStore::text(QLatin1StringView key) const
{
    const auto found = m_values.constFind(key);
    if (found == m_values.cend())
        return std::nullopt;
    return *found;
}

void KeychainSecretStore::setText(QLatin1StringView key, const QString &value)
{
    m_values.insert(key, value);
    auto *job = new QKeychain::WritePasswordJob(m_service);
    job->setTextData(value);
    start(job, key);
}

void KeychainSecretStore::remove(QLatin1StringView key)
{
    m_values.remove(key);
    start(new QKeychain::DeletePasswordJob(m_service), key);
}

void KeychainSecretStore::start(QKeychain::Job *job, QLatin1StringView key)
{
    job->setKey(key);
    ++m_jobsUnderWay;
    connect(job, &QKeychain::Job::finished, this, [this, key = QString(key)](QKeychain::Job *finished) {
        --m_jobsUnderWay;
        if (finished->error() != QKeychain::NoError && finished->error() != QKeychain::EntryNotFound)
            qCInfo(lcPlatform) << "the secret store did not take" << key << finished->errorString();
        if (m_jobsUnderWay == 0)
            Q_EMIT allWritesDone();
    });
    job->start();
}
