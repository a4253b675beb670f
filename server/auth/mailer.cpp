#include "mailer.h"

#include "crypto.h"

#include <QDateTime>
#include <QDir>
#include <QLoggingCategory>
#include <QSaveFile>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcMail, "corvane.mail", QtInfoMsg)

Mailer::Mailer(QString outboxDirectory, QString sender)
    : m_outboxDirectory(std::move(outboxDirectory))
    , m_sender(std::move(sender))
{ }

bool Mailer::send(const QString &recipient, const QString &subject, const QString &body)
{
    constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QDir().mkpath(m_outboxDirectory) || !QFile::setPermissions(m_outboxDirectory, ownerOnly | QFileDevice::ExeOwner))
        return false;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Names sort in sending order: time, then a counter for messages within one millisecond.
    const QString name = u"%1-%2-%3.eml"_s.arg(now.toString(u"yyyyMMdd-HHmmss-zzz"_s))
                             .arg(++m_sequence, 6, 10, QLatin1Char('0'))
                             .arg(QString::fromLatin1(Crypto::randomBytes(4).toHex()));
    const QString path = QDir(m_outboxDirectory).filePath(name);
    QString message;
    message += u"From: "_s + m_sender + u"\r\n"_s;
    message += u"To: "_s + recipient + u"\r\n"_s;
    message += u"Subject: "_s + subject + u"\r\n"_s;
    message += u"Date: "_s + now.toString(Qt::RFC2822Date) + u"\r\n"_s;
    message += u"MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"_s;
    message += QString(body).replace(u"\r\n"_s, u"\n"_s).replace(u'\n', u"\r\n"_s);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(ownerOnly) || file.write(message.toUtf8()) < 0 || !file.commit())
        return false;
    qCInfo(lcMail).noquote() << "mail to" << recipient << "in" << path;
    return true;
}
