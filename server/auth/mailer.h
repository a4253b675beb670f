#pragma once

#include <QString>

// Delivers mail into an outbox folder private to the server's user, one .eml file per message,
// and logs one line per message naming its recipient and file, so whoever runs the server locally
// can read it. The line never carries the subject: it may hold a code.
class Mailer
{
public:
    explicit Mailer(QString outboxDirectory, QString sender = QStringLiteral("Corvane <no-reply@corvane.invalid>"));

    [[nodiscard]] const QString &outboxDirectory() const { return m_outboxDirectory; }
    // False when the message could not be written.
    bool send(const QString &recipient, const QString &subject, const QString &body);

private:
    QString m_outboxDirectory;
    QString m_sender;
    quint64 m_sequence = 0;
};
