#include "requestbody.h"

#include <QJsonDocument>
#include <QJsonParseError>

using namespace Qt::StringLiterals;

RequestBody RequestBody::parse(const QByteArray &body)
{
    RequestBody parsed;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        parsed.fail(u"The request body is not valid JSON."_s);
    else if (!document.isObject())
        parsed.fail(u"The request body must be a JSON object."_s);
    else
        parsed.m_object = document.object();
    return parsed;
}

void RequestBody::fail(const QString &message)
{
    if (ok())
        m_error = message;
}

std::optional<QString> RequestBody::checkedText(QLatin1StringView key, const QJsonValue &value, qsizetype maxLength)
{
    if (!value.isString()) {
        fail(u"\"%1\" must be text."_s.arg(key));
        return std::nullopt;
    }
    QString text = value.toString();
    if (text.size() > maxLength) {
        fail(u"\"%1\" is too long (at most %2 characters)."_s.arg(key).arg(maxLength));
        return std::nullopt;
    }
    return text;
}

QString RequestBody::text(QLatin1StringView key, qsizetype maxLength)
{
    if (!ok())
        return {};
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull()) {
        fail(u"\"%1\" is required."_s.arg(key));
        return {};
    }
    return checkedText(key, value, maxLength).value_or(QString());
}

QString RequestBody::nonBlankText(QLatin1StringView key, qsizetype maxLength)
{
    QString value = text(key, maxLength).trimmed();
    if (ok() && value.isEmpty())
        fail(u"\"%1\" must not be empty."_s.arg(key));
    return value;
}

std::optional<QString> RequestBody::optionalText(QLatin1StringView key, qsizetype maxLength)
{
    if (!ok())
        return std::nullopt;
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return checkedText(key, value, maxLength);
}

bool RequestBody::boolean(QLatin1StringView key)
{
    if (!ok())
        return false;
    const QJsonValue value = m_object.value(key);
    if (!value.isBool()) {
        fail(value.isUndefined() || value.isNull() ? u"\"%1\" is required."_s.arg(key) : u"\"%1\" must be true or false."_s.arg(key));
        return false;
    }
    return value.toBool();
}
