#include "serversecret.h"

#include "crypto.h"
#include "database.h"

#include <QFile>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace
{
constexpr int secretBytes = 32;
}

namespace ServerSecret
{
std::optional<QByteArray> loadOrCreate(const QString &path, QString *error)
{
    if (!QFile::exists(path)) {
        // Written whole under another name and moved into place only where no other server got
        // there first: a server starting beside this one never reads half a key.
        QTemporaryFile created(path + u".XXXXXX"_s);
        const QByteArray secret = Crypto::randomBytes(secretBytes);
        if (!created.open() || created.write(secret.toHex() + '\n') < 0 || !created.flush()) {
            *error = u"cannot write the secret file %1: %2"_s.arg(path, created.errorString());
            return std::nullopt;
        }
        if (created.rename(path)) {
            created.setAutoRemove(false);
            return secret;
        }
    }
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        *error = u"cannot open the secret file %1: %2"_s.arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray secret = QByteArray::fromHex(file.read(4 * secretBytes).trimmed());
    if (secret.size() < 16 || secret.size() > 64) {
        *error = u"the secret file %1 does not hold a key of 16 to 64 bytes in hex"_s.arg(path);
        return std::nullopt;
    }
    return secret;
}

bool matchesDatabase(const QByteArray &secret, Database &database, QString *error)
{
    const QString check = QString::fromLatin1(Crypto::digest("corvane secret check", secret));
    database.execute(u"INSERT INTO server_settings (name, value) VALUES ('secret_check', ?) "
                     "ON CONFLICT (name) DO NOTHING"_s,
                     {check});
    const auto stored = database.selectOne(u"SELECT value FROM server_settings WHERE name = 'secret_check'"_s);
    if (stored && stored->at(0).toString() == check)
        return true;
    *error = u"the database was set up with another secret file; give every server on it the same --secret-file"_s;
    return false;
}
}
