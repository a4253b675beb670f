#pragma once

#include "apirequest.h"
#include "apiresponse.h"
#include "passwordhasher.h"
#include "ratelimiter.h"
#include "router.h"

#include <QCoroTask>
#include <QFuture>
#include <QObject>
#include <QThreadPool>

class Mailer;
class StorePool;

// The /api/auth routes. Password hashing runs on a small pool of its own: argon2id is slow and
// memory-hungry by design, so it must neither block the HTTP thread nor run unbounded. Handlers
// that waited for a hash answer 503 if the server went away meanwhile. Password and code guesses
// and code requests are limited per client, per account and client, and per account; new accounts
// per client. An attempt is counted before it is judged, so parallel attempts cannot slip past the
// count, and given back when it succeeds: a guesser spends the account's budget for their own
// client only, and the account's own ceiling only with failures.
class AuthApi : public QObject
{
    Q_OBJECT

public:
    // The attempts of one kind allowed per client and per account and client over the limit
    // window, and per account over accountWindow (0: the limit window). A limit of 0 leaves that
    // bucket out.
    struct Budget {
        QLatin1StringView kind;
        int perClient = 0;
        int perAccountAndClient = 0;
        int perAccount = 0;
        std::chrono::seconds accountWindow{0};
    };

    AuthApi(StorePool &store, Mailer &mailer, PasswordHasher hasher, std::chrono::seconds limitWindow, QObject *parent = nullptr);

    void registerRoutes(Router &router);
    // The caller of a live session token, or empty: what authenticated routes are given.
    QCoro::Task<std::optional<Router::Caller>> callerFor(QString token);

private:
    QCoro::Task<ApiResponse> signIn(ApiRequest request);
    QCoro::Task<ApiResponse> registerAccount(ApiRequest request);
    QCoro::Task<ApiResponse> forgotPassword(ApiRequest request);
    QCoro::Task<ApiResponse> resetPassword(ApiRequest request);
    QCoro::Task<ApiResponse> changePassword(ApiRequest request, qint64 userId);
    QCoro::Task<ApiResponse> signOut(ApiRequest request);
    QCoro::Task<ApiResponse> portalCode(ApiRequest request, qint64 userId);

    struct Bucket {
        QString name;
        RateLimiter::Rule rule;
    };
    QList<Bucket> buckets(const Budget &budget, const QString &emailKey, const ApiRequest &request) const;
    // Takes one hit from each of the budget's buckets; the seconds to wait if one is spent, else 0.
    QFuture<qint64> takeAttempt(const Budget &budget, const QString &emailKey, const ApiRequest &request);
    QFuture<void> giveBackAttempt(const Budget &budget, const QString &emailKey, const ApiRequest &request);

    QFuture<QByteArray> hash(const QString &password);
    QFuture<bool> verify(const QByteArray &hash, const QString &password);

    StorePool &m_store;
    Mailer &m_mailer;
    std::chrono::seconds m_limitWindow;
    PasswordHasher m_hasher;
    QThreadPool m_hashingPool;
    // Verified against when the address is unknown, so both failures take the same time.
    QByteArray m_decoyHash;
};
