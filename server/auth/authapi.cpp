#include "authapi.h"

#include "crypto.h"
#include "mailer.h"
#include "requestbody.h"
#include "router.h"
#include "storepool.h"

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

// Failed sign-ins and password changes share one budget: both guess the same password. Per
// account and client, and per client, over the limit window; per account from all clients
// together, over a longer window, so that guessers on many addresses cannot get further. The
// ceilings keep guessing hopeless: 100 passwords an hour; 30 codes a day, below 3 in 100,000 for
// a six-digit code.
constexpr AuthApi::Budget passwordGuesses{"password guess"_L1, 30, 10, 100, std::chrono::hours(1)};
constexpr AuthApi::Budget codeGuesses{"reset code guess"_L1, 20, 5, 30, std::chrono::hours(24)};
// Each code requested replaces the account's last one, and each is a mail to its owner: three per
// account and client, so that one client cannot keep the owner from getting a code, and at most
// ten an hour to any one owner.
constexpr AuthApi::Budget codeRequests{"reset code request"_L1, 10, 3, 10, std::chrono::hours(1)};
constexpr int registrationsPerClient = 10;
constexpr std::chrono::hours registrationWindow(1);

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

ApiResponse tooManyAttempts(const QString &what, qint64 waitSeconds)
{
    // Rounded up to the unit a person reads: a day's ceiling says hours, not 1440 minutes.
    const auto inUnits = [waitSeconds](qint64 unitSeconds, const QString &one, const QString &many) {
        const qint64 count = (waitSeconds + unitSeconds - 1) / unitSeconds;
        return count == 1 ? one : many.arg(count);
    };
    const QString wait = waitSeconds < 60 ? inUnits(1, u"1 second"_s, u"%1 seconds"_s)
        : waitSeconds < 7200              ? inUnits(60, u"1 minute"_s, u"%1 minutes"_s)
                                          : inUnits(3600, u"1 hour"_s, u"%1 hours"_s);
    return ApiResponse::retryLater(429, u"%1 Please try again in %2."_s.arg(what, wait), waitSeconds);
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

// The answer to a reset or change whose body or new password does not pass, if either does not.
std::optional<ApiResponse> refusedNewPassword(const RequestBody &body, const QString &newPassword)
{
    if (!body.ok())
        return ApiResponse::error(400, body.error());
    if (const QString problem = newPasswordProblem(newPassword); !problem.isEmpty())
        return ApiResponse::error(400, problem);
    return std::nullopt;
}
}

AuthApi::AuthApi(StorePool &store, Mailer &mailer, PasswordHasher hasher, std::chrono::seconds limitWindow, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_mailer(mailer)
    , m_limitWindow(limitWindow)
    , m_hasher(hasher)
    , m_decoyHash(hasher.hash(QString::fromLatin1(Crypto::randomBytes(16).toHex())))
{
    m_hashingPool.setMaxThreadCount(2);
}

void AuthApi::registerRoutes(Router &router)
{
    using Method = QHttpServerRequest::Method;
    router.addPublic(Method::Post, u"/api/auth/login"_s, [this](ApiRequest request) { return signIn(std::move(request)); });
    router.addPublic(Method::Post, u"/api/auth/register"_s, [this](ApiRequest request) { return registerAccount(std::move(request)); });
    router.addPublic(Method::Post, u"/api/auth/forgot-password"_s,
                     [this](ApiRequest request) { return forgotPassword(std::move(request)); });
    router.addPublic(Method::Post, u"/api/auth/reset-password"_s, [this](ApiRequest request) { return resetPassword(std::move(request)); });
    router.addAuthenticated(Method::Post, u"/api/auth/change-password"_s, [this](ApiRequest request, Router::Caller caller) {
        return changePassword(std::move(request), caller.accountId);
    });
    router.addPublic(Method::Post, u"/api/auth/logout"_s, [this](ApiRequest request) { return signOut(std::move(request)); });
    router.addAuthenticated(Method::Post, u"/api/auth/portal-code"_s,
                            [this](ApiRequest request, Router::Caller caller) { return portalCode(std::move(request), caller.accountId); });
}

QCoro::Task<std::optional<Router::Caller>> AuthApi::callerFor(QString token)
{
    if (token.isEmpty())
        co_return std::nullopt;
    auto resolving = m_store.run([token](Stores &stores) -> std::optional<Router::Caller> {
        const auto owner = stores.sessions.ownerOf(token);
        return owner ? std::optional(Router::Caller{owner->userId, owner->libraryVersion}) : std::nullopt;
    });
    co_return co_await resolving;
}

QList<AuthApi::Bucket> AuthApi::buckets(const Budget &budget, const QString &emailKey, const ApiRequest &request) const
{
    const QString client = u" client "_s + RateLimiter::clientKey(request.clientAddress);
    const QString account = u" account "_s + emailKey;
    const std::chrono::seconds accountWindow = budget.accountWindow.count() > 0 ? budget.accountWindow : m_limitWindow;
    const QList<Bucket> all{{budget.kind + client, {budget.perClient, m_limitWindow}},
                            {budget.kind + account + client, {budget.perAccountAndClient, m_limitWindow}},
                            {budget.kind + account, {budget.perAccount, accountWindow}}};
    QList<Bucket> limited;
    std::copy_if(all.begin(), all.end(), std::back_inserter(limited), [](const Bucket &bucket) { return bucket.rule.limit > 0; });
    return limited;
}

QFuture<qint64> AuthApi::takeAttempt(const Budget &budget, const QString &emailKey, const ApiRequest &request)
{
    return m_store.run([all = buckets(budget, emailKey, request)](Stores &stores) -> qint64 {
        for (qsizetype index = 0; index < all.size(); ++index) {
            if (const qint64 wait = stores.limiter.take(all.at(index).name, all.at(index).rule)) {
                // A refused attempt is no failure: the buckets it passed get their hit back.
                for (const Bucket &passed : all.first(index))
                    stores.limiter.giveBack(passed.name);
                return wait;
            }
        }
        return 0;
    });
}

QFuture<void> AuthApi::giveBackAttempt(const Budget &budget, const QString &emailKey, const ApiRequest &request)
{
    return m_store.run([all = buckets(budget, emailKey, request)](Stores &stores) {
        for (const Bucket &bucket : all)
            stores.limiter.giveBack(bucket.name);
    });
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

    // Refused before any hashing: a flood of guesses must not keep real sign-ins waiting for the pool.
    QPointer self(this);
    const QString emailKey = AccountStore::emailKey(email);
    const qint64 wait = co_await takeAttempt(passwordGuesses, emailKey, request);
    if (wait)
        co_return tooManyAttempts(u"Too many failed sign-ins."_s, wait);
    auto finding = m_store.run([email](Stores &stores) { return stores.accounts.findByEmail(email); });
    const auto account = co_await finding;
    if (!self)
        co_return shuttingDown();
    const bool matches = co_await verify(account ? account->passwordHash : m_decoyHash, password);
    if (!self)
        co_return shuttingDown();
    if (!account || !matches)
        co_return ApiResponse::error(401, wrongCredentials);
    co_await giveBackAttempt(passwordGuesses, emailKey, request);
    auto issuing = m_store.run([id = account->id](Stores &stores) { return stores.sessions.issue(id); });
    const QString token = co_await issuing;
    co_return authenticated(*account, token, 200);
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

    QPointer self(this);
    const QString taken = u"An account with this email already exists."_s;
    auto checking = m_store.run([email](Stores &stores) { return stores.accounts.findByEmail(email).has_value(); });
    const bool exists = co_await checking;
    if (exists)
        co_return ApiResponse::error(409, taken);
    // Counted before hashing, so that parallel requests cannot slip past; only new accounts count.
    const QString bucket = u"registration client "_s + RateLimiter::clientKey(request.clientAddress);
    QFuture<qint64> taking = m_store.run([bucket](Stores &stores) {
        return stores.limiter.take(bucket, {registrationsPerClient, registrationWindow});
    });
    const qint64 wait = co_await taking;
    if (wait)
        co_return tooManyAttempts(u"Too many new accounts."_s, wait);
    if (!self)
        co_return shuttingDown();
    const QByteArray passwordHash = co_await hash(password);
    if (!self)
        co_return shuttingDown();
    // Account and session in one go; a taken address or a busy hasher gives the hit back.
    auto creating = m_store.run([email, passwordHash, bucket](Stores &stores) -> std::optional<std::pair<Account, QString>> {
        const auto account = passwordHash.isEmpty() ? std::nullopt : stores.accounts.create(email, passwordHash);
        if (!account) {
            stores.limiter.giveBack(bucket);
            return std::nullopt;
        }
        return std::pair{*account, stores.sessions.issue(account->id)};
    });
    const auto created = co_await creating;
    if (passwordHash.isEmpty())
        co_return ApiResponse::error(503, u"The server is too busy. Please try again."_s);
    if (!created)
        co_return ApiResponse::error(409, taken);
    co_return authenticated(created->first, created->second, 201);
}

QCoro::Task<ApiResponse> AuthApi::forgotPassword(ApiRequest request)
{
    RequestBody body = RequestBody::parse(request.body);
    const QString email = body.nonBlankText("email"_L1, maxEmailLength);
    if (!body.ok())
        co_return ApiResponse::error(400, body.error());

    QPointer self(this);
    const qint64 wait = co_await takeAttempt(codeRequests, AccountStore::emailKey(email), request);
    if (wait)
        co_return tooManyAttempts(u"Too many verification codes requested."_s, wait);
    // The same answer whether or not the address has an account, so nobody learns who has one.
    const QString sentOrNot = u"If an account uses this address, a verification code is on its way."_s;
    auto issuing = m_store.run([email](Stores &stores) -> std::optional<std::pair<QString, QString>> {
        const auto account = stores.accounts.findByEmail(email);
        if (!account)
            return std::nullopt;
        return std::pair{account->email, stores.resetCodes.issue(account->id)};
    });
    const auto issued = co_await issuing;
    if (!self)
        co_return shuttingDown();
    if (!issued)
        co_return success(sentOrNot);
    const auto &[recipient, code] = *issued;
    const bool sent = m_mailer.send(recipient, u"Your Corvane verification code is %1"_s.arg(code),
                                    u"Someone asked to reset the password of your Corvane account.\n\n"
                                    "Your verification code is %1. It is valid for a short time.\n\n"
                                    "If this was not you, ignore this message: your password stays as it is.\n"_s.arg(code));
    if (!sent)
        co_return ApiResponse::error(500, u"The verification code could not be sent. Please try again."_s);
    co_return success(sentOrNot);
}

QCoro::Task<ApiResponse> AuthApi::resetPassword(ApiRequest request)
{
    RequestBody body = RequestBody::parse(request.body);
    const QString email = body.nonBlankText("email"_L1, maxEmailLength);
    const QString code = body.nonBlankText("code"_L1, maxCodeLength);
    const QString newPassword = body.text("newPassword"_L1, maxPasswordLength);
    if (auto refused = refusedNewPassword(body, newPassword))
        co_return *refused;

    // The budget belongs to the account for the whole window, whichever code the tries were for.
    QPointer self(this);
    const QString emailKey = AccountStore::emailKey(email);
    const qint64 wait = co_await takeAttempt(codeGuesses, emailKey, request);
    if (wait)
        co_return tooManyAttempts(u"Too many wrong codes."_s, wait);
    if (!self)
        co_return shuttingDown();
    // Hash before the code is used up: a server too busy to hash must not cost the user the code.
    // Addresses without an account are hashed for too, so that the time taken does not tell.
    const QByteArray passwordHash = co_await hash(newPassword);
    if (!self)
        co_return shuttingDown();
    if (passwordHash.isEmpty()) {
        co_await giveBackAttempt(codeGuesses, emailKey, request);
        co_return ApiResponse::error(503, u"The server is too busy. Please try again."_s);
    }
    auto consuming = m_store.run([email, code, passwordHash](Stores &stores) {
        const auto account = stores.accounts.findByEmail(email);
        if (!account)
            return ResetCodeStore::Check::Missing;
        const auto outcome
            = stores.resetCodes.consume(account->id, code, [&] { stores.accounts.setPasswordHash(account->id, passwordHash); });
        // Whoever knew the old password must not stay signed in.
        if (outcome == ResetCodeStore::Check::Accepted)
            stores.sessions.revokeAll(account->id);
        return outcome;
    });
    const auto check = co_await consuming;
    switch (check) {
    case ResetCodeStore::Check::Accepted:
        break;
    case ResetCodeStore::Check::Wrong:
    case ResetCodeStore::Check::Missing:
        co_return ApiResponse::error(400, wrongCode);
    case ResetCodeStore::Check::Expired:
        co_return ApiResponse::error(400, u"The verification code has expired. Please request a new one."_s);
    }
    // The right code is no guess.
    co_await giveBackAttempt(codeGuesses, emailKey, request);
    co_return success(u"Password reset successfully. Please sign in."_s);
}

QCoro::Task<ApiResponse> AuthApi::changePassword(ApiRequest request, qint64 userId)
{
    RequestBody body = RequestBody::parse(request.body);
    const QString currentPassword = body.text("currentPassword"_L1, maxPasswordLength);
    const QString newPassword = body.text("newPassword"_L1, maxPasswordLength);
    if (auto refused = refusedNewPassword(body, newPassword))
        co_return *refused;

    QPointer self(this);
    auto finding = m_store.run([userId](Stores &stores) { return stores.accounts.findById(userId); });
    const auto account = co_await finding;
    if (!account)
        co_return ApiResponse::error(401, u"Please sign in again."_s);
    // A stolen session must not make guessing the password any cheaper than signing in does.
    const QString emailKey = AccountStore::emailKey(account->email);
    const qint64 wait = co_await takeAttempt(passwordGuesses, emailKey, request);
    if (wait)
        co_return tooManyAttempts(u"Too many wrong passwords."_s, wait);
    if (!self)
        co_return shuttingDown();
    const bool matches = co_await verify(account->passwordHash, currentPassword);
    if (!self)
        co_return shuttingDown();
    // Not 401: the client would take that for an ended session and sign the user out.
    if (!matches)
        co_return ApiResponse::error(400, u"Your current password is incorrect."_s);
    co_await giveBackAttempt(passwordGuesses, emailKey, request);
    const QByteArray passwordHash = co_await hash(newPassword);
    if (!self)
        co_return shuttingDown();
    if (passwordHash.isEmpty())
        co_return ApiResponse::error(503, u"The server is too busy. Please try again."_s);
    auto storing = m_store.run([userId, passwordHash, token = request.bearerToken()](Stores &stores) {
        stores.accounts.setPasswordHash(userId, passwordHash);
        stores.sessions.revokeAllExcept(userId, token);
    });
    co_await storing;
    co_return success(u"Password updated successfully."_s);
}

QCoro::Task<ApiResponse> AuthApi::signOut(ApiRequest request)
{
    // Idempotent: an unknown or already ended token is simply not there afterwards either.
    if (const QString token = request.bearerToken(); !token.isEmpty()) {
        auto revoking = m_store.run([token](Stores &stores) { stores.sessions.revoke(token); });
        co_await revoking;
    }
    co_return ApiResponse{204, {}, {}, {}};
}

QCoro::Task<ApiResponse> AuthApi::portalCode(ApiRequest, qint64 userId)
{
    auto issuing = m_store.run([userId](Stores &stores) { return stores.portalCodes.issue(userId); });
    const QString code = co_await issuing;
    co_return ApiResponse::json(PortalCodeResponse{code}.toJson());
}
