#include "passwordhasher.h"

#include <sodium.h>

PasswordHasher::PasswordHasher(Cost cost)
{
    switch (cost) {
    case Cost::Interactive:
        m_opsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
        m_memLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;
        break;
    case Cost::Moderate:
        m_opsLimit = crypto_pwhash_OPSLIMIT_MODERATE;
        m_memLimit = crypto_pwhash_MEMLIMIT_MODERATE;
        break;
    case Cost::Minimal:
        m_opsLimit = crypto_pwhash_OPSLIMIT_MIN;
        m_memLimit = crypto_pwhash_MEMLIMIT_MIN;
        break;
    }
}

QByteArray PasswordHasher::hash(const QString &password) const
{
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), utf8.size(), m_opsLimit, m_memLimit, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return QByteArray(out);
}

bool PasswordHasher::verify(const QByteArray &hash, const QString &password) const
{
    const QByteArray utf8 = password.toUtf8();
    return !hash.isEmpty() && crypto_pwhash_str_verify(hash.constData(), utf8.constData(), utf8.size()) == 0;
}

bool PasswordHasher::needsRehash(const QByteArray &hash) const
{
    return crypto_pwhash_str_needs_rehash(hash.constData(), m_opsLimit, m_memLimit) != 0;
}
