#pragma once

#include "apirequest.h"
#include "apiresponse.h"
#include "passwordhasher.h"
#include "ratelimiter.h"

#include <QCoroTask>
#include <QFuture>
#include <QObject>
#include <QThreadPool>

class AccountStore;
class Mailer;
class ResetCodeStore;
class Router;
class SessionStore;

// The /api/auth routes. Password hashing runs on a small pool of its own: argon2id is slow and
// memory-hungry by design, so it must neither block the HTTP thread nor run unbounded. Handlers
// that waited for a hash answer 503 if the server went away meanwhile. Sign-ins, reset codes and
// code guesses are limited per e-mail address and per client over a time window; an attempt is
// counted before it is judged, so parallel attempts cannot slip past the count.
class AuthApi : public QObject
{
    Q_OBJECT

public:
    AuthApi(AccountStore &accounts, SessionStore &sessions, ResetCodeStore &resetCodes, RateLimiter &limiter, Mailer &mailer,
            PasswordHasher hasher, std::chrono::seconds limitWindow, QObject *parent = nullptr);

    void registerRoutes(Router &router);

private:
    QCoro::Task<ApiResponse> signIn(ApiRequest request);
    QCoro::Task<ApiResponse> registerAccount(ApiRequest request);
    QCoro::Task<ApiResponse> forgotPassword(ApiRequest request);
    QCoro::Task<ApiResponse> resetPassword(ApiRequest request);
    QCoro::Task<ApiResponse> changePassword(ApiRequest request);
    QCoro::Task<ApiResponse> signOut(ApiRequest request);

    // Takes one hit from the client's bucket, then from the address's; the seconds to wait if
    // either is spent, else 0. kind names the limited action.
    qint64 takeAttempt(const QString &kind, const QString &emailKey, const ApiRequest &request, int perAddress, int perClient);
    void giveBackAttempt(const QString &kind, const QString &emailKey, const ApiRequest &request);

    QFuture<QByteArray> hash(const QString &password);
    QFuture<bool> verify(const QByteArray &hash, const QString &password);

    AccountStore &m_accounts;
    SessionStore &m_sessions;
    ResetCodeStore &m_resetCodes;
    RateLimiter &m_limiter;
    Mailer &m_mailer;
    std::chrono::seconds m_limitWindow;
    PasswordHasher m_hasher;
    QThreadPool m_hashingPool;
    // Verified against when the address is unknown, so both failures take the same time.
    QByteArray m_decoyHash;
};
