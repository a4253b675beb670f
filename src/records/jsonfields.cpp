#include "jsonfields.h"

using namespace Qt::StringLiterals;

JsonFields::JsonFields(const QJsonValue &value)
{
    if (value.isObject())
        m_object = value.toObject();
    else
        m_error = u"expected an object"_s;
}

std::optional<qint64> JsonFields::strictInteger(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() answers the default for fractions and out-of-range numbers; two different
    // defaults tell those apart from a stored value that happens to equal one of them.
    const qint64 first = value.toInteger(0);
    if (first != value.toInteger(1))
        return std::nullopt;
    return first;
}

qint64 JsonFields::requiredInteger(QLatin1StringView key)
{
    const QJsonValue value = required(key);
    if (!ok())
        return 0;
    const auto integer = strictInteger(value);
    if (!integer) {
        fail(key, u"expected an integer"_s);
        return 0;
    }
    return *integer;
}

QString JsonFields::requiredString(QLatin1StringView key)
{
    const QJsonValue value = required(key);
    if (!ok())
        return {};
    if (!value.isString()) {
        fail(key, u"expected a string"_s);
        return {};
    }
    return value.toString();
}

std::optional<QString> JsonFields::optionalString(QLatin1StringView key)
{
    const QJsonValue value = optional(key);
    if (value.isUndefined())
        return std::nullopt;
    if (!value.isString()) {
        fail(key, u"expected a string"_s);
        return std::nullopt;
    }
    return value.toString();
}

std::optional<bool> JsonFields::optionalBool(QLatin1StringView key)
{
    const QJsonValue value = optional(key);
    if (value.isUndefined())
        return std::nullopt;
    if (!value.isBool()) {
        fail(key, u"expected a boolean"_s);
        return std::nullopt;
    }
    return value.toBool();
}

QJsonValue JsonFields::required(QLatin1StringView key)
{
    if (!ok())
        return {};
    QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull()) {
        fail(key, u"missing"_s);
        return {};
    }
    return value;
}

// Missing and null both come back undefined, so callers test one thing.
QJsonValue JsonFields::optional(QLatin1StringView key)
{
    if (!ok())
        return QJsonValue::Undefined;
    const QJsonValue value = m_object.value(key);
    return value.isNull() ? QJsonValue(QJsonValue::Undefined) : value;
}

void JsonFields::fail(QLatin1StringView key, const QString &reason)
{
    if (ok())
        m_error = u"%1: %2"_s.arg(key, reason);
}
