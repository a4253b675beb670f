#pragma once

#include <QString>

// Delivers mail into an outbox folder, one .eml file per message, and announces each message with
// one line on standard output, so whoever runs the server locally can read it.
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
