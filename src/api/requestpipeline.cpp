#include "requestpipeline.h"

#include "api/jsonreader.h"

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

std::shared_ptr<BodyPieces> collectBody(QNetworkReply &reply)
{
    auto pieces = std::make_shared<BodyPieces>();
    // A reply hands over what it buffered without copying when it is read as it arrives.
    QObject::connect(&reply, &QIODevice::readyRead, &reply, [&reply, pieces] { pieces->append(reply.readAll()); });
    return pieces;
}

RequestResult<HttpAnswer> readAnswer(QNetworkReply &reply, BodyPieces body, const QString &serverAddress)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply.error();
    // Qt also reports statuses outside 2xx as errors; only the network-layer ones (refused,
    // closed early, timed out, cancelled...) mean the answer did not arrive whole.
    const bool transferFailed = error >= QNetworkReply::ConnectionRefusedError && error <= QNetworkReply::UnknownNetworkError;
    if (transferFailed || (!status.isValid() && error != QNetworkReply::NoError))
        return RequestError::unreachable(serverAddress);
    if (!status.isValid())
        return RequestError::invalidResponse();
    if (reply.bytesAvailable() > 0)
        body.append(reply.readAll());
    return HttpAnswer{.status = status.toInt(), .body = std::move(body)};
}

qsizetype totalSize(const BodyPieces &body)
{
    qsizetype size = 0;
    for (const QByteArray &piece : body)
        size += piece.size();
    return size;
}

RequestResult<QJsonValue> parseJson(const BodyPieces &body)
{
    const QByteArray whole = body.size() == 1 ? body.first() : body.join();
    if (whole.isEmpty())
        return RequestError::undecodable(u"the answer is empty"_s);
    std::optional<QJsonValue> value = JsonReader::parse(whole);
    if (!value)
        return RequestError::undecodable(u"not JSON"_s);
    return std::move(*value);
}
}
