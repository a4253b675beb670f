#include "apiresponse.h"

#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QMetaEnum>

using namespace Qt::StringLiterals;

namespace
{
QByteArray reasonPhrase(int status)
{
    if (status == 200)
        return "OK";
    const QMetaEnum codes = QMetaEnum::fromType<QHttpServerResponder::StatusCode>();
    const char *key = codes.valueToKey(status);
    if (!key)
        return "Status";
    // "PayloadTooLarge" becomes "Payload Too Large".
    QByteArray phrase;
    for (const char *c = key; *c; ++c) {
        if (c != key && *c >= 'A' && *c <= 'Z')
            phrase += ' ';
        phrase += *c;
    }
    return phrase;
}
}

ApiResponse ApiResponse::json(const QJsonObject &object, int status)
{
    return ApiResponse{status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact), {}};
}

ApiResponse ApiResponse::error(int status, const QString &message)
{
    return json(QJsonObject{{"error"_L1, message}}, status);
}

ApiResponse ApiResponse::retryLater(int status, const QString &message, qint64 seconds)
{
    ApiResponse response = error(status, message);
    response.headers.append({"Retry-After", QByteArray::number(seconds)});
    return response;
}

ApiResponse ApiResponse::html(const QString &html, int status)
{
    return ApiResponse{status,
                       "text/html; charset=utf-8",
                       html.toUtf8(),
                       {{"Cache-Control", "no-store"},
                        {"Referrer-Policy", "no-referrer"},
                        // Nothing but this origin's own style sheet and images; no scripts, no framing.
                        {"Content-Security-Policy",
                         "default-src 'none'; style-src 'self'; img-src 'self'; base-uri 'none'; "
                         "form-action 'self'; frame-ancestors 'none'"}}};
}

QByteArray ApiResponse::serialize(bool keepAlive) const
{
    return head(keepAlive) + body;
}

QByteArray ApiResponse::head(bool keepAlive) const
{
    QByteArray out;
    out.reserve(256);
    out += "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    // A 204 answer has no body, and so no headers describing one.
    if (status != 204) {
        if (!contentType.isEmpty())
            out += "Content-Type: " + contentType + "\r\n";
        out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    }
    for (const auto &[name, value] : headers)
        out += name + ": " + value + "\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return out;
}
