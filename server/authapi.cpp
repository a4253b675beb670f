#include "authapi.h"

#include "accountstore.h"
#include "crypto.h"
#include "mailer.h"
#include "requestbody.h"
#include "resetcodestore.h"
#include "router.h"
#include "sessionstore.h"

#include <QCoroFuture>
#include <QJsonObject>
#include <QPointer>
#include <QtConcurrent>

using namespace Qt::StringLiterals;

namespace
{
constexpr qsizetype maxEmailLength = 254;
constexpr qsizetype minPasswordLength = 6;
constexpr qsizetype maxPasswordLength = 1024;
constexpr qsizetype maxCodeLength = 64;

const QString wrongCredentials = u"Incorrect email or password."_s;
const QString wrongCode = u"The verification code is incorrect."_s;

bool isPlausibleEmail(const QString &email)
{
    const qsizetype at = email.indexOf(u'@');
    if (at <= 0 || at != email.lastIndexOf(u'@') || at == email.size() - 1)
        return false;
    return std::none_of(email.begin(), email.end(), [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
}

ApiResponse shuttingDown()
{
    return ApiResponse::error(503, u"The server is shutting down."_s);
}

ApiResponse success(const QString &message)
{
    return ApiResponse::json({{"success"_L1, true}, {"message"_L1, message}});
}

ApiResponse authenticated(const Account &account, const QString &token, int status)
{
    return ApiResponse::json(AuthResponse{token, account.toUser()}.toJson(), status);
}

// Checks what registration, reset and change ask of a new password; empty when it is fine.
QString newPasswordProblem(const QString &password)
{
    if (password.size() < minPasswordLength)
        return u"Password must be at least 6 characters."_s;
    return {};
}
}

AuthApi::AuthApi(AccountStore &accounts, SessionStore &sessions, ResetCodeStore &resetCodes, Mailer &mailer,
                 PasswordHasher hasher, QObject *parent)
    : QObject(parent)
    , m_accounts(accounts)
    , m_sessions(sessions)
    , m_resetCodes(resetCodes)
    , m_mailer(mailer)
    , m_hasher(hasher)
    , m_decoyHash(hasher.hash(QString::fromLatin1(Crypto::randomBytes(16).toHex())))
{
    m_hashingPool.setMaxThreadCount(2);
}

void AuthApi::registerRoutes(Router &router)
{
    using Method = QHttpServerRequest::Method;
    router.add(Method::Post, u"/api/auth/login"_s, [this](ApiRequest request) { return signIn(std::move(request)); });
    router.add(Method::Post, u"/api/auth/register"_s,
               [this](ApiRequest request) { return registerAccount(std::move(request)); });
    router.add(Method::Post, u"/api/auth/forgot-password"_s,
               [this](ApiRequest request) { return forgotPassword(std::move(request)); });
    router.add(Method::Post, u"/api/auth/reset-password"_s,
               [this](ApiRequest request) { return resetPassword(std::move(request)); });
    router.add(Method::Post, u"/api/auth/change-password"_s,
               [this](ApiRequest request) { return changePassword(std::move(request)); });
}

QFuture<QByteArray> AuthApi::hash(const QString &password)
{
    return QtConcurrent::run(&m_hashingPool, [hasher = m_hasher, password] { return hasher.hash(password); });
}

QFuture<bool> AuthApi::verify(const QByteArray &hash, const QString &password)
{
    return QtConcurrent::run(&m_hashingPool, [hasher = m_hasher, hash, password] { return hasher.verify(hash, password); });
}

QCoro::Task<ApiResponse> AuthApi::signIn(ApiRequest request)
{
    RequestBody body = RequestBody::parse(request.body);
    const QString email = body.nonBlankText("email"_L1, maxEmailLength);
    const QString password = body.text("password"_L1, maxPasswordLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());

    const auto account = m_accounts.findByEmail(email);
    QPointer self(this);
    const bool matches = co_await verify(account ? account->passwordHash : m_decoyHash, password);
    if (!self)
        co_return shuttingDown();
    if (!account || !matches)
        co_return ApiResponse::error(401, wrongCredentials);
    co_return authenticated(*account, m_sessions.issue(account->id), 200);
}

QCoro::Task<ApiResponse> AuthApi::registerAccount(ApiRequest request)
{
    RequestBody body = RequestBody::parse(request.body);
    const QString email = body.nonBlankText("email"_L1, maxEmailLength);
    const QString password = body.text("password"_L1, maxPasswordLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());
    if (!isPlausibleEmail(email))
        co_return ApiResponse::error(400, u"Please enter a valid email address."_s);
    if (const QString problem = newPasswordProblem(password); !problem.isEmpty())
        co_return ApiResponse::error(400, problem);

    const QString taken = u"An account with this email already exists."_s;
    if (m_accounts.findByEmail(email))
        co_return ApiResponse::error(409, taken);
    QPointer self(this);
    const QByteArray passwordHash = co_await hash(password);
    if (!self)
        co_return shuttingDown();
    if (passwordHash.isEmpty())
        co_return ApiResponse::error(503, u"The server is too busy. Please try again."_s);
    const auto account = m_accounts.create(email, passwordHash);
    if (!account)
        co_return ApiResponse::error(409, taken);
    co_return authenticated(*account, m_sessions.issue(account->id), 201);
}

QCoro::Task<ApiResponse> AuthApi::forgotPassword(ApiRequest request)
{
    RequestBody body = RequestBody::parse(request.body);
    const QString email = body.nonBlankText("email"_L1, maxEmailLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());

    const auto account = m_accounts.findByEmail(email);
    if (!account)
        co_return ApiResponse::error(404, u"No account uses this email address."_s);
    const QString code = m_resetCodes.issue(account->id);
    const bool sent = m_mailer.send(
        account->email, u"Your Corvane verification code is %1"_s.arg(code),
        u"Someone asked to reset the password of your Corvane account.\n\n"
        "Your verification code is %1. It is valid for a short time.\n\n"
        "If this was not you, ignore this message: your password stays as it is.\n"_s.arg(code));
    if (!sent)
        co_return ApiResponse::error(500, u"The verification code could not be sent. Please try again."_s);
    co_return success(u"Verification code sent to your email."_s);
}

QCoro::Task<ApiResponse> AuthApi::resetPassword(ApiRequest request)
{
    RequestBody body = RequestBody::parse(request.body);
    const QString email = body.nonBlankText("email"_L1, maxEmailLength);
    const QString code = body.nonBlankText("code"_L1, maxCodeLength);
    const QString newPassword = body.text("newPassword"_L1, maxPasswordLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());
    if (const QString problem = newPasswordProblem(newPassword); !problem.isEmpty())
        co_return ApiResponse::error(400, problem);

    const auto account = m_accounts.findByEmail(email);
    if (!account)
        co_return ApiResponse::error(400, wrongCode);
    // Hash before the code is used up: a server too busy to hash must not cost the user the code.
    QPointer self(this);
    const QByteArray passwordHash = co_await hash(newPassword);
    if (!self)
        co_return shuttingDown();
    if (passwordHash.isEmpty())
        co_return ApiResponse::error(503, u"The server is too busy. Please try again."_s);
    const auto storeNewPassword = [&] { m_accounts.setPasswordHash(account->id, passwordHash); };
    switch (m_resetCodes.consume(account->id, code, storeNewPassword)) {
    case ResetCodeStore::Check::Accepted:
        break;
    case ResetCodeStore::Check::Wrong:
    case ResetCodeStore::Check::Missing:
        co_return ApiResponse::error(400, wrongCode);
    case ResetCodeStore::Check::Expired:
        co_return ApiResponse::error(400, u"The verification code has expired. Please request a new one."_s);
    case ResetCodeStore::Check::Exhausted:
        co_return ApiResponse::error(400, u"Too many wrong codes. Please request a new one."_s);
    }
    // Whoever knew the old password must not stay signed in.
    m_sessions.revokeAll(account->id);
    co_return success(u"Password reset successfully. Please sign in."_s);
}

QCoro::Task<ApiResponse> AuthApi::changePassword(ApiRequest request)
{
    const QString token = request.bearerToken();
    const auto userId = m_sessions.userFor(token);
    if (!userId)
        co_return ApiResponse::error(401, u"Please sign in again."_s);
    RequestBody body = RequestBody::parse(request.body);
    const QString currentPassword = body.text("currentPassword"_L1, maxPasswordLength);
    const QString newPassword = body.text("newPassword"_L1, maxPasswordLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());
    if (const QString problem = newPasswordProblem(newPassword); !problem.isEmpty())
        co_return ApiResponse::error(400, problem);

    const auto account = m_accounts.findById(*userId);
    if (!account)
        co_return ApiResponse::error(401, u"Please sign in again."_s);
    QPointer self(this);
    const bool matches = co_await verify(account->passwordHash, currentPassword);
    if (!self)
        co_return shuttingDown();
    // Not 401: the client would take that for an ended session and sign the user out.
    if (!matches)
        co_return ApiResponse::error(400, u"Your current password is incorrect."_s);
    const QByteArray passwordHash = co_await hash(newPassword);
    if (!self)
        co_return shuttingDown();
    if (passwordHash.isEmpty())
        co_return ApiResponse::error(503, u"The server is too busy. Please try again."_s);
    m_accounts.setPasswordHash(account->id, passwordHash);
    m_sessions.revokeAllExcept(account->id, token);
    co_return success(u"Password updated successfully."_s);
}
