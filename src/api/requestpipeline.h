#pragma once

// The pieces of a backend request shared by the backend client and the version check: building
// the request, sending it, collecting and reading the answer, and decoding it (large bodies off
// the main thread).

#include "jsonreader.h"
#include "records.h"
#include "requestresult.h"

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

// Replies are deleted later, never inside the finished() emission that resumed the coroutine.
struct ReplyDeleter {
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};
using ReplyPointer = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// What a reply has received so far, never more than limit bytes in all.
struct ReceivedBody {
    qsizetype limit = 0;
    // One buffer, as large as the answer declares itself once its headers are in: a large answer
    // then costs its size once, not again in the pieces it arrived in.
    QByteArray bytes;
    // The answer declared or sent more than limit; it was aborted, not buffered further.
    bool tooLarge = false;
};

// Keeps what the reply receives, as it arrives, up to limit bytes; hand it to readAnswer once the
// reply has finished.
[[nodiscard]] std::shared_ptr<ReceivedBody> collectBody(QNetworkReply &reply, qsizetype limit);

// An answer that arrived over HTTP, complete.
struct HttpAnswer {
    int status = 0;
    QByteArray body;
};

// The request for address: -1 when it is not a valid URL; otherwise the JSON content type, the
// bearer token when a non-empty one without control characters is given, the time-out, no cached
// data, and redirects followed only within the same origin.
[[nodiscard]] RequestResult<QNetworkRequest> buildRequest(const QString &address, const std::optional<QString> &token,
                                                          std::chrono::milliseconds timeout);

// Sends request with method and, when given, body as compact JSON.
[[nodiscard]] QNetworkReply *send(QNetworkAccessManager &network, const QNetworkRequest &request, const QByteArray &method,
                                  const std::optional<QJsonObject> &body);

// Reads a finished reply whose body was collected: the status and body of a complete HTTP answer;
// a "Decoding" error when the body was too large, whatever the status; -2 naming serverAddress
// when the transfer did not complete (a refused redirect included); -3 when the answer was not HTTP.
[[nodiscard]] RequestResult<HttpAnswer> readAnswer(QNetworkReply &reply, ReceivedBody body, const QString &serverAddress);

// The body as a JSON object or array; a "Decoding" error when it is empty or not JSON.
[[nodiscard]] RequestResult<QJsonValue> parseJson(const QByteArray &body);

// A record straight from the text where it can be read so (a long list is then never held as JSON
// values), else through the parsed values; nothing when the text is not JSON.
template<typename Record> std::optional<Decoded<Record>> decodeJsonText(QByteArrayView json)
{
    if constexpr (requires { Record::fromJsonText(json); }) {
        return Record::fromJsonText(json);
    } else {
        const std::optional<QJsonValue> value = JsonReader::parse(json);
        if (!value)
            return std::nullopt;
        return Record::fromJson(*value);
    }
}

// The body as Record; a "Decoding" error when it is empty, not JSON or not such a record. Taken by
// value, so that the body is let go of as soon as it is decoded.
template<typename Record> RequestResult<Record> decode(QByteArray body)
{
    if (body.isEmpty())
        return RequestError::undecodable(QStringLiteral("the answer is empty"));
    std::optional<Decoded<Record>> decoded = decodeJsonText<Record>(body);
    body = QByteArray();
    if (!decoded)
        return RequestError::undecodable(QStringLiteral("not JSON"));
    if (!*decoded)
        return RequestError::undecodable(decoded->error());
    return std::move(decoded->value());
}

template<typename Record> QCoro::Task<RequestResult<Record>> decodeOffThreadWhenLarge(HttpAnswer answer)
{
    if (answer.body.size() < kOffThreadDecodeThreshold)
        co_return decode<Record>(std::move(answer.body));
    co_return co_await QtConcurrent::run(&decode<Record>, std::move(answer.body));
}
}
