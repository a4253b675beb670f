#pragma once

#include "apirequest.h"
#include "apiresponse.h"
#include "passwordhasher.h"

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
// that waited for a hash answer 503 if the server went away meanwhile.
class AuthApi : public QObject
{
    Q_OBJECT

public:
    AuthApi(AccountStore &accounts, SessionStore &sessions, ResetCodeStore &resetCodes, Mailer &mailer,
            PasswordHasher hasher, QObject *parent = nullptr);

    void registerRoutes(Router &router);

private:
    QCoro::Task<ApiResponse> signIn(ApiRequest request);
    QCoro::Task<ApiResponse> registerAccount(ApiRequest request);
    QCoro::Task<ApiResponse> forgotPassword(ApiRequest request);
    QCoro::Task<ApiResponse> resetPassword(ApiRequest request);
    QCoro::Task<ApiResponse> changePassword(ApiRequest request);

    QFuture<QByteArray> hash(const QString &password);
    QFuture<bool> verify(const QByteArray &hash, const QString &password);

    AccountStore &m_accounts;
    SessionStore &m_sessions;
    ResetCodeStore &m_resetCodes;
    Mailer &m_mailer;
    PasswordHasher m_hasher;
    QThreadPool m_hashingPool;
    // Verified against when the address is unknown, so both failures take the same time.
    QByteArray m_decoyHash;
};
