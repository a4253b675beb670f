#pragma once

#include "decoded.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

// Strict field access shared by every record: exact JSON types, null or missing means absent for
// optional fields, unknown keys ignored. The first failure is kept and every later read is a no-op,
// so a record's fromJson reads all of its fields and then asks once whether that worked.
class JsonFields
{
public:
    explicit JsonFields(const QJsonValue &value);

    [[nodiscard]] bool ok() const { return m_error.isEmpty(); }
    [[nodiscard]] const QString &error() const { return m_error; }

    qint64 requiredInteger(QLatin1StringView key);
    QString requiredString(QLatin1StringView key);
    std::optional<QString> optionalString(QLatin1StringView key);
    std::optional<bool> optionalBool(QLatin1StringView key);

    template<typename Record> Record requiredRecord(QLatin1StringView key)
    {
        const QJsonValue value = required(key);
        if (!ok())
            return {};
        auto decoded = Record::fromJson(value);
        if (!decoded) {
            fail(key, decoded.error());
            return {};
        }
        return std::move(decoded.value());
    }

    template<typename Record> QList<Record> requiredList(QLatin1StringView key)
    {
        const QJsonValue value = required(key);
        if (!ok())
            return {};
        auto decoded = decodeList<Record>(value);
        if (!decoded) {
            fail(key, decoded.error());
            return {};
        }
        return std::move(decoded.value());
    }

    template<typename Record> Decoded<Record> result(Record record) const
    {
        if (!ok())
            return Decoded<Record>::failure(m_error);
        return record;
    }

    // A JSON number counts as an integer only if it has no fractional part and fits 64 bits.
    static std::optional<qint64> strictInteger(const QJsonValue &value);

    template<typename Record> static Decoded<QList<Record>> decodeList(const QJsonValue &value)
    {
        if (!value.isArray())
            return Decoded<QList<Record>>::failure(QStringLiteral("expected an array"));
        const QJsonArray array = value.toArray();
        QList<Record> records;
        records.reserve(array.size());
        for (qsizetype index = 0; index < array.size(); ++index) {
            auto decoded = Record::fromJson(array.at(index));
            if (!decoded)
                return Decoded<QList<Record>>::failure(QStringLiteral("[%1]: %2").arg(index).arg(decoded.error()));
            records.append(std::move(decoded.value()));
        }
        return records;
    }

    template<typename Record> static QJsonArray encodeList(const QList<Record> &records)
    {
        QJsonArray array;
        for (const Record &record : records)
            array.append(record.toJson());
        return array;
    }

private:
    QJsonValue required(QLatin1StringView key);
    QJsonValue optional(QLatin1StringView key);
    void fail(QLatin1StringView key, const QString &reason);

    QJsonObject m_object;
    QString m_error;
};

// Writes an optional field only when it is present: absent optionals are left out, never null.
template<typename T> void insertIfPresent(QJsonObject &object, QLatin1StringView key, const std::optional<T> &value)
{
    if (value)
        object.insert(key, *value);
}
