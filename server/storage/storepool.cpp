#include "storepool.h"

#include <QThread>

Q_LOGGING_CATEGORY(lcStorage, "corvane.storage", QtInfoMsg)

Stores::Stores(std::unique_ptr<Database> connection, const QByteArray &secret, Lifetimes lifetimes)
    : database(std::move(connection))
    , accounts(*database)
    , sessions(*database, lifetimes.session)
    , resetCodes(*database, secret, lifetimes.resetCode)
    , portalCodes(*database, secret, lifetimes.portalCode)
    , websites(*database)
    , limiter(*database, secret)
    , icons(*database)
{ }

StorePool::StorePool(Settings settings)
    : m_settings(std::move(settings))
{
    m_pool.setMaxThreadCount(m_settings.threads);
    // Threads stay, and so do their connections.
    m_pool.setExpiryTimeout(-1);
}

Stores &StorePool::storesOnThisThread()
{
    if (m_settings.delay.count() > 0)
        QThread::msleep(std::chrono::milliseconds(m_settings.delay).count());
    if (!m_stores.hasLocalData()) {
        QString error;
        auto database = Database::open(m_settings.database, &error);
        if (!database)
            throw DatabaseError(("a store thread cannot open the database: " + error).toStdString());
        m_stores.setLocalData(new Stores(std::move(database), m_settings.secret, m_settings.lifetimes));
    }
    return *m_stores.localData();
}
