#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// A JSON request body checked field by field: exact types, required keys, length limits. The first
// problem, a body that is not a JSON object included, is kept as the sentence the client shows;
// later reads are no-ops. Unknown keys are ignored. Handlers read every field, then ask once.
class RequestBody
{
public:
    static RequestBody parse(const QByteArray &body);

    QString text(QLatin1StringView key, qsizetype maxLength);
    // Like text, but blank is refused and the answer is trimmed.
    QString nonBlankText(QLatin1StringView key, qsizetype maxLength);
    // Missing and null are both absent.
    std::optional<QString> optionalText(QLatin1StringView key, qsizetype maxLength);
    bool boolean(QLatin1StringView key);

    [[nodiscard]] bool ok() const { return m_error.isEmpty(); }
    [[nodiscard]] const QString &error() const { return m_error; }

private:
    RequestBody() = default;
    std::optional<QString> checkedText(QLatin1StringView key, const QJsonValue &value, qsizetype maxLength);
    void fail(const QString &message);

    QJsonObject m_object;
    QString m_error;
};
