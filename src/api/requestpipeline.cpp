#include "requestpipeline.h"

#include "jsonreader.h"

#include <QJsonDocument>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace
{
// Qt writes header values as given: a line break in the token would start a header of its own.
bool fitsInHeader(const QString &value)
{
    return std::none_of(value.cbegin(), value.cend(),
                        [](QChar character) { return character.unicode() < 0x20 || character.unicode() == 0x7F; });
}

void refuseAsTooLarge(QNetworkReply &reply, RequestPipeline::ReceivedBody &received)
{
    received.tooLarge = true;
    received.bytes = QByteArray();
    reply.abort();
}

// Reads what the reply has buffered straight into the body, unless that would carry the body past
// its limit.
void takeAvailable(QNetworkReply &reply, RequestPipeline::ReceivedBody &received)
{
    const qint64 available = reply.bytesAvailable();
    const qsizetype size = received.bytes.size();
    if (received.tooLarge || available <= 0)
        return;
    if (available > received.limit - size) {
        refuseAsTooLarge(reply, received);
        return;
    }
    received.bytes.resize(size + available);
    const qint64 read = reply.read(received.bytes.data() + size, available);
    received.bytes.truncate(size + std::max<qint64>(read, 0));
}
}

namespace RequestPipeline
{
RequestResult<QNetworkRequest> buildRequest(const QString &address, const std::optional<QString> &token, std::chrono::milliseconds timeout)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        return RequestError::invalidUrl();
    QNetworkRequest request(url);
    request.setTransferTimeout(int(timeout.count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // The token and the sign-in body must never reach another server; a redirect elsewhere fails.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json"_ba);
    if (token && !token->isEmpty() && fitsInHeader(*token))
        request.setRawHeader("Authorization"_ba, "Bearer "_ba + token->toUtf8());
    return request;
}

QNetworkReply *send(QNetworkAccessManager &network, const QNetworkRequest &request, const QByteArray &method,
                    const std::optional<QJsonObject> &body)
{
    if (!body)
        return method == "GET" ? network.get(request) : network.sendCustomRequest(request, method);
    return network.sendCustomRequest(request, method, QJsonDocument(*body).toJson(QJsonDocument::Compact));
}

std::shared_ptr<ReceivedBody> collectBody(QNetworkReply &reply, qsizetype limit)
{
    auto received = std::make_shared<ReceivedBody>(ReceivedBody{.limit = limit});
    // The reply stops reading from the network while this much waits to be taken, so a large
    // answer that arrives faster than the main thread takes it is still taken in quick pieces:
    // copying a piece into fresh memory costs the main thread about 10 ms a megabyte at worst.
    constexpr qint64 kLargestPiece = 1024 * 1024;
    reply.setReadBufferSize(kLargestPiece);
    QObject::connect(&reply, &QNetworkReply::metaDataChanged, &reply, [&reply, received] {
        const qint64 declared = reply.header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (declared > received->limit)
            refuseAsTooLarge(reply, *received);
        else if (declared > received->bytes.capacity())
            received->bytes.reserve(declared);
    });
    QObject::connect(&reply, &QIODevice::readyRead, &reply, [&reply, received] { takeAvailable(reply, *received); });
    return received;
}

RequestResult<HttpAnswer> readAnswer(QNetworkReply &reply, ReceivedBody body, const QString &serverAddress)
{
    const auto tooLarge = [&body] { return RequestError::undecodable(u"the answer is larger than %1 bytes"_s.arg(body.limit)); };
    // Checked first: cutting an answer off leaves the reply cancelled, which is no network failure.
    if (body.tooLarge)
        return tooLarge();
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply.error();
    // Qt also reports statuses outside 2xx as errors; only the network-layer ones (refused,
    // closed early, timed out, cancelled...) mean the answer did not arrive whole.
    const bool transferFailed = error >= QNetworkReply::ConnectionRefusedError && error <= QNetworkReply::UnknownNetworkError;
    if (transferFailed || (!status.isValid() && error != QNetworkReply::NoError))
        return RequestError::unreachable(serverAddress);
    if (!status.isValid())
        return RequestError::invalidResponse();
    takeAvailable(reply, body);
    if (body.tooLarge)
        return tooLarge();
    return HttpAnswer{.status = status.toInt(), .body = std::move(body.bytes)};
}

RequestResult<QJsonValue> parseJson(const QByteArray &body)
{
    if (body.isEmpty())
        return RequestError::undecodable(u"the answer is empty"_s);
    std::optional<QJsonValue> value = JsonReader::parse(body);
    if (!value)
        return RequestError::undecodable(u"not JSON"_s);
    return std::move(*value);
}
}
