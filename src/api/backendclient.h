#pragma once

#include "answersizelimit.h"
#include "requestpipeline.h"

#include <QLoggingCategory>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <memory>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcApi)

// Sends every backend request except the version check. It knows nothing of the panel: it is
// told which session token to send and reports a session the backend rejected.
//
// Usage, inside a coroutine of an object that may be destroyed meanwhile:
//
//     QPointer self(this);
//     auto result = co_await m_backend.request<WebsitesResponse>(u"/websites"_s, "GET");
//     if (!self)
//         co_return;
//     if (!result) {
//         // result.error().message is the sentence to show; .code is -1, -2, -3, 401 or the
//         // HTTP status ("API" domain), or 0 for an answer that did not decode ("Decoding").
//         co_return;
//     }
//
// endpoint is appended to apiBaseURL as it stands ("/websites/12/pin"); method is the HTTP verb;
// body, when given, is sent as compact JSON and should hold text or boolean values only. Build
// the body in a variable first: GCC 12 rejects a brace-initialised QJsonObject inside a co_await
// expression. Response is any record with a static `Decoded<Response> fromJson(const QJsonValue &)`.
//
// Every request carries "Content-Type: application/json", and "Authorization: Bearer <token>"
// when a non-empty token is set at the moment it is built (one with a line break or another
// control character is never sent). A 401 answer while a token is set (even an empty one) emits
// sessionRejected and fails with 401 "Unauthorized", unless the token changed while the request
// was out (a new sign-in). An answer body larger than answerSizeLimit is cut off as soon as it
// says or shows so, and fails as undecodable whatever its status. Nothing is retried; several
// requests may be in flight at once.
class BackendClient : public QObject
{
    Q_OBJECT

public:
    BackendClient(QString webPortalURL, std::chrono::milliseconds requestTimeout, qsizetype answerSizeLimit = kMaximumAnswerSize,
                  QObject *parent = nullptr);
    ~BackendClient() override;

    [[nodiscard]] const QString &webPortalURL() const { return m_webPortalURL; }
    [[nodiscard]] const QString &apiBaseURL() const { return m_apiBaseURL; }
    [[nodiscard]] QNetworkAccessManager &network() const { return *m_network; }

    // The session token sent with every request from now on; nothing when signed out.
    [[nodiscard]] const std::optional<QString> &token() const { return m_token; }
    void setToken(std::optional<QString> token) { m_token = std::move(token); }

    // Asks the backend to end the session of the current token, without waiting for the answer
    // or reading it: signing out never depends on the backend. Nothing when no token is set.
    void revokeToken();

    template<typename Response>
    QCoro::Task<RequestResult<Response>> request(QString endpoint, QByteArray method, std::optional<QJsonObject> body = std::nullopt);

Q_SIGNALS:
    // The backend refused the token of the current session.
    void sessionRejected();

private:
    QString m_webPortalURL;
    QString m_apiBaseURL;
    std::chrono::milliseconds m_requestTimeout;
    qsizetype m_answerSizeLimit;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::optional<QString> m_token;
};

template<typename Response>
QCoro::Task<RequestResult<Response>> BackendClient::request(QString endpoint, QByteArray method, std::optional<QJsonObject> body)
{
    const std::optional<QString> tokenSent = m_token;
    const RequestResult<QNetworkRequest> built = RequestPipeline::buildRequest(m_apiBaseURL + endpoint, tokenSent, m_requestTimeout);
    if (!built)
        co_return built.error();

    const QString serverAddress = m_webPortalURL;
    QPointer self(this);
    const RequestPipeline::ReplyPointer reply(RequestPipeline::send(*m_network, built.value(), method, body));
    const std::shared_ptr<RequestPipeline::ReceivedBody> received = RequestPipeline::collectBody(*reply, m_answerSizeLimit);
    co_await reply.get();
    if (!self)
        co_return RequestError::unreachable(serverAddress);

    RequestResult<RequestPipeline::HttpAnswer> answer = RequestPipeline::readAnswer(*reply, std::move(*received), serverAddress);
    if (!answer) {
        qCInfo(lcApi) << method << endpoint << "failed:" << answer.error().message;
        co_return answer.error();
    }
    const int status = answer.value().status;

    // Presence alone counts: an empty token was not sent, yet its session still ends. A late
    // answer to a request of an earlier session must not end the one signed in since.
    if (status == 401 && m_token && m_token == tokenSent) {
        Q_EMIT sessionRejected();
        co_return RequestError::unauthorized();
    }
    if (status >= 200 && status <= 299)
        co_return co_await RequestPipeline::decodeOffThreadWhenLarge<Response>(std::move(answer.value()));

    qCInfo(lcApi) << method << endpoint << "answered" << status;
    const RequestResult<APIErrorResponse> serverError
        = co_await RequestPipeline::decodeOffThreadWhenLarge<APIErrorResponse>(std::move(answer.value()));
    co_return RequestError::failedStatus(status, serverError ? serverError.value().error : std::nullopt);
}
