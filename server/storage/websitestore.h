#pragma once

#include "records.h"

#include <QList>
#include <QString>

#include <optional>

class Database;

struct NewWebsite {
    QString url;
    QString title;
    std::optional<QString> screenshotUrl;
    std::optional<QString> content;
};

// Each account's saved websites. Every call is scoped to one account: another account's id is
// indistinguishable from an id that does not exist.
class WebsiteStore
{
public:
    explicit WebsiteStore(Database &database);

    // Library order: pinned first, then newest first, then the larger id first. Timestamps are
    // fixed-width text, so this is also their order as text, which the client sorts by.
    QList<SavedWebsite> list(qint64 userId);
    SavedWebsite create(qint64 userId, const NewWebsite &website);
    std::optional<SavedWebsite> rename(qint64 userId, qint64 id, const QString &title);
    std::optional<SavedWebsite> setPinned(qint64 userId, qint64 id, bool pinned);
    bool remove(qint64 userId, qint64 id);

private:
    // One UPDATE of the website's assignments (their values first, then updated_ms, id, account),
    // answering the changed website.
    std::optional<SavedWebsite> change(const QString &assignments, const QVariantList &values);

    Database &m_database;
};
