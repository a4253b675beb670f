#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

// argon2id password hashes in libsodium's self-describing string form. A plain value, safe to copy
// into worker threads: hashing is deliberately slow and never runs on the thread serving HTTP.
class PasswordHasher
{
public:
    enum class Cost {
        Interactive, // libsodium's interactive limits: 2 passes over 64 MiB
        Moderate, // 3 passes over 256 MiB
        Minimal, // the smallest limits argon2id allows; for tests only
    };

    explicit PasswordHasher(Cost cost = Cost::Interactive);

    // Empty when the system cannot provide the memory.
    [[nodiscard]] QByteArray hash(const QString &password) const;
    [[nodiscard]] bool verify(const QByteArray &hash, const QString &password) const;
    // True for hashes made with other limits than the current ones.
    [[nodiscard]] bool needsRehash(const QByteArray &hash) const;

private:
    unsigned long long m_opsLimit;
    std::size_t m_memLimit;
};
