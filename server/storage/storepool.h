#pragma once

#include "accountstore.h"
#include "database.h"
#include "iconcache.h"
#include "portalcodestore.h"
#include "ratelimiter.h"
#include "resetcodestore.h"
#include "sessionstore.h"
#include "websitestore.h"

#include <QFuture>
#include <QLoggingCategory>
#include <QThreadPool>
#include <QThreadStorage>
#include <QtConcurrent>

#include <chrono>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcStorage)

// The stores of one worker thread, on that thread's own connection.
struct Stores {
    struct Lifetimes {
        std::chrono::seconds session{0};
        std::chrono::seconds resetCode{0};
        std::chrono::seconds portalCode{0};
    };

    Stores(std::unique_ptr<Database> connection, const QByteArray &secret, Lifetimes lifetimes);

    std::unique_ptr<Database> database;
    AccountStore accounts;
    SessionStore sessions;
    ResetCodeStore resetCodes;
    PortalCodeStore portalCodes;
    WebsiteStore websites;
    RateLimiter limiter;
    IconCache icons;
};

// Runs store work on a few threads of its own, each with its own database connection, so that a
// statement waiting on the database (a network round trip with PostgreSQL) never holds up the
// thread serving HTTP. Callers await the future; a DatabaseError thrown by the work reaches them.
// Keep the future in a variable and await that: GCC 12 destroys the captures of a lambda that is
// a temporary inside a co_await expression twice.
class StorePool
{
public:
    struct Settings {
        QString database;
        QByteArray secret;
        Stores::Lifetimes lifetimes;
        int threads = 4;
        // Added before every call: lets tests see what a slow database would hold up.
        std::chrono::milliseconds delay{0};
    };

    explicit StorePool(Settings settings);

    template<typename Work> auto run(Work work) -> QFuture<std::invoke_result_t<Work, Stores &>>
    {
        return QtConcurrent::run(&m_pool, [this, work = std::move(work)]() mutable {
            try {
                return work(storesOnThisThread());
            } catch (const DatabaseError &failure) {
                qCWarning(lcStorage) << "a store call failed:" << failure.what();
                // The connection may be the broken part; the next call opens a fresh one.
                m_stores.setLocalData(nullptr);
                throw;
            }
        });
    }

private:
    // Throws DatabaseError when no connection can be opened.
    Stores &storesOnThisThread();

    Settings m_settings;
    // Declared before the pool: the pool's threads must end (closing their connections) first.
    QThreadStorage<Stores *> m_stores;
    QThreadPool m_pool;
};
