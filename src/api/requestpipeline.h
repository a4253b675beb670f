#pragma once

// The request pipeline: every backend call except the version check goes through
// AppViewModel::performRequest, defined at the end of this header. Include it in the .cpp files
// that call performRequest.
//
// Usage, inside an AppViewModel coroutine:
//
//     QPointer self(this);
//     auto result = co_await performRequest<WebsitesResponse>(u"/websites"_s, "GET");
//     if (!self)
//         co_return;
//     if (!result) {
//         // result.error().message is the sentence to show; .code is -1, -2, -3, 401 or the
//         // HTTP status ("API" domain), or 0 for an answer that did not decode ("Decoding").
//         co_return;
//     }
//     use(std::move(result.value().websites));
//
// endpoint is appended to apiBaseURL as it stands ("/websites/12/pin"); method is the HTTP verb
// ("GET", "POST", "PUT", "PATCH", "DELETE"); body, when given, is sent as compact JSON and should
// hold text or boolean values only. Build the body in a variable first: GCC 12 rejects a
// brace-initialised QJsonObject inside a co_await expression. Response is any record with a
// static `Decoded<Response> fromJson(const QJsonValue &)`.
//
// Every request carries "Content-Type: application/json", and "Authorization: Bearer <token>" when
// a non-empty token is stored at the moment it is built (a token with a line break or another
// control character is never sent). A 401 answer while a token is stored (even an empty one)
// signs the user out, shows the session message on the authentication card and fails with 401
// "Unauthorized", unless the stored token changed while the request was out (a new sign-in). Nothing is retried; several requests may be in flight at once.

#include "api/records.h"
#include "api/requestresult.h"
#include "state/appviewmodel.h"

#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QtConcurrent>

#include <chrono>
#include <memory>
#include <optional>

namespace RequestPipeline
{
// Bodies at least this large are parsed and decoded on a worker thread, so that a big library
// does not stall the interface while it is read.
inline constexpr qsizetype kOffThreadDecodeThreshold = 256 * 1024;

inline constexpr QLatin1StringView kSessionEndedMessage{"Your session ended. Please sign in again."};

// Replies are deleted later, never inside the finished() emission that resumed the coroutine.
struct ReplyDeleter {
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};
using ReplyPointer = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// A body in the pieces it arrived in. Gluing 40 MB together takes tens of milliseconds, so large
// bodies are glued where they are decoded, off the main thread.
using BodyPieces = QList<QByteArray>;

// Keeps what the reply receives, as it arrives; hand the pieces to readAnswer once it has finished.
[[nodiscard]] std::shared_ptr<BodyPieces> collectBody(QNetworkReply &reply);

// An answer that arrived over HTTP, complete.
struct HttpAnswer {
    int status = 0;
    BodyPieces body;
};

// The request for address: -1 when it is not a valid URL; otherwise the JSON content type, the
// bearer token when a non-empty one without control characters is given, the time-out, and no
// cached data.
[[nodiscard]] RequestResult<QNetworkRequest> buildRequest(const QString &address, const std::optional<QString> &token,
                                                          std::chrono::milliseconds timeout);

// Sends request with method and, when given, body as compact JSON.
[[nodiscard]] QNetworkReply *send(QNetworkAccessManager &network, const QNetworkRequest &request, const QByteArray &method,
                                  const std::optional<QJsonObject> &body);

// Reads a finished reply whose body was collected: the status and body of a complete HTTP answer;
// -2 naming serverAddress when the transfer did not complete; -3 when the answer was not HTTP.
[[nodiscard]] RequestResult<HttpAnswer> readAnswer(QNetworkReply &reply, BodyPieces body, const QString &serverAddress);

// The body as a JSON object or array; a "Decoding" error when it is empty or not JSON.
[[nodiscard]] RequestResult<QJsonValue> parseJson(const BodyPieces &body);

template<typename Record>
RequestResult<Record> decode(const BodyPieces &body)
{
    const RequestResult<QJsonValue> json = parseJson(body);
    if (!json)
        return json.error();
    Decoded<Record> decoded = Record::fromJson(json.value());
    if (!decoded)
        return RequestError::undecodable(decoded.error());
    return std::move(decoded.value());
}

[[nodiscard]] qsizetype totalSize(const BodyPieces &body);

template<typename Record>
QCoro::Task<RequestResult<Record>> decodeOffThreadWhenLarge(BodyPieces body)
{
    if (totalSize(body) < kOffThreadDecodeThreshold)
        co_return decode<Record>(body);
    co_return co_await QtConcurrent::run(&decode<Record>, std::move(body));
}
}

template<typename Response>
QCoro::Task<RequestResult<Response>> AppViewModel::performRequest(QString endpoint, QByteArray method, std::optional<QJsonObject> body)
{
    const std::optional<QString> tokenSent = m_defaults->text(Preferences::kJWTToken);
    const RequestResult<QNetworkRequest> request = RequestPipeline::buildRequest(m_apiBaseURL + endpoint, tokenSent, m_requestTimeout);
    if (!request)
        co_return request.error();

    const QString serverAddress = m_webPortalURL;
    QPointer self(this);
    const RequestPipeline::ReplyPointer reply(RequestPipeline::send(*m_network, request.value(), method, body));
    const std::shared_ptr<RequestPipeline::BodyPieces> received = RequestPipeline::collectBody(*reply);
    co_await reply.get();
    if (!self)
        co_return RequestError::unreachable(serverAddress);

    RequestResult<RequestPipeline::HttpAnswer> answer = RequestPipeline::readAnswer(*reply, std::move(*received), serverAddress);
    if (!answer)
        co_return answer.error();
    const int status = answer.value().status;

    // Presence alone counts: an empty stored token was not sent, yet its session still ends. A
    // late answer to a request of an earlier session must not end the one signed in since.
    if (status == 401 && m_defaults->contains(Preferences::kJWTToken) && m_defaults->text(Preferences::kJWTToken) == tokenSent) {
        logout();
        assign(m_authError, std::optional<QString>(RequestPipeline::kSessionEndedMessage), &AppViewModel::authErrorChanged);
        co_return RequestError::unauthorized();
    }
    if (status >= 200 && status <= 299)
        co_return co_await RequestPipeline::decodeOffThreadWhenLarge<Response>(std::move(answer.value().body));

    const RequestResult<APIErrorResponse> serverError =
        co_await RequestPipeline::decodeOffThreadWhenLarge<APIErrorResponse>(std::move(answer.value().body));
    co_return RequestError::failedStatus(status, serverError ? serverError.value().error : std::nullopt);
}
