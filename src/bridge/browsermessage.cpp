#include "browsermessage.h"

#include "bridgelog.h"
#include "nativemessaging.h"

#include <QJsonDocument>
#include <QUrl>

#include <cmath>

using namespace Qt::StringLiterals;

namespace
{
// A JSON number that is a whole, non-negative integer a double holds exactly.
std::optional<qint64> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > 9007199254740991.0 || std::trunc(number) != number)
        return std::nullopt;
    return qint64(number);
}

QString webAddress(const QJsonValue &value)
{
    const QString text = value.toString();
    if (text.size() > BrowserMessage::maximumUrlLength)
        return {};
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() && (scheme == "http"_L1 || scheme == "https"_L1) ? text : QString();
}

std::optional<BrowserMessage> rejected(const char *reason)
{
    qCInfo(lcBridge) << "dropped a message from the add-on:" << reason;
    return std::nullopt;
}
}

std::optional<BrowserMessage> BrowserMessage::fromPayload(const QByteArray &payload)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return rejected("not a JSON object");
    const QJsonObject json = document.object();
    const QString type = json.value("type"_L1).toString();
    const std::optional<qint64> sequence = wholeNumber(json.value("seq"_L1));
    if (!sequence)
        return rejected("no sequence number");

    BrowserMessage message{.sequence = *sequence};
    if (type == "state"_L1) {
        if (payload.size() > NativeMessaging::maximumStateMessage)
            return rejected("an oversized state report");
        if (!json.value("focused"_L1).isBool())
            return rejected("a state report without focus");
        message.type = Type::State;
        message.focused = json.value("focused"_L1).toBool();
        message.url = webAddress(json.value("url"_L1));
        message.title = json.value("title"_L1).toString().left(maximumTitleLength);
        return message;
    }
    if (type == "pageText"_L1) {
        const std::optional<qint64> requestId = wholeNumber(json.value("requestId"_L1));
        if (!requestId)
            return rejected("page text without its request");
        message.type = Type::PageText;
        message.requestId = *requestId;
        if (json.value("text"_L1).isString())
            message.text = json.value("text"_L1).toString();
        return message;
    }
    return rejected("an unknown type");
}

QJsonObject BrowserMessage::toJson() const
{
    QJsonObject json{{u"seq"_s, double(sequence)}};
    if (type == Type::State) {
        json.insert(u"type"_s, u"state"_s);
        json.insert(u"focused"_s, focused);
        json.insert(u"url"_s, url);
        json.insert(u"title"_s, title);
    } else {
        json.insert(u"type"_s, u"pageText"_s);
        json.insert(u"requestId"_s, double(requestId));
        if (text)
            json.insert(u"text"_s, *text);
    }
    return json;
}
