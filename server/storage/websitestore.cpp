#include "websitestore.h"

#include "database.h"
#include "timestamps.h"

using namespace Qt::StringLiterals;

namespace
{
const QString columns = u"id, url, title, screenshot_url, content, is_pinned, created_ms, updated_ms"_s;
const QString selectColumns = u"SELECT %1 FROM websites "_s.arg(columns);
const QString returnedColumns = u"RETURNING "_s + columns;

std::optional<QString> optionalText(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toString();
}

SavedWebsite fromRow(const Database::Row &row)
{
    SavedWebsite website;
    website.id = row.at(0).toLongLong();
    website.url = row.at(1).toString();
    website.title = row.at(2).toString();
    website.screenshotUrl = optionalText(row.at(3));
    website.content = optionalText(row.at(4));
    website.isPinned = row.at(5).toInt() != 0;
    website.createdAt = Timestamps::format(row.at(6).toLongLong());
    website.updatedAt = Timestamps::format(row.at(7).toLongLong());
    return website;
}

QVariant nullable(const std::optional<QString> &text)
{
    return text ? QVariant(*text) : QVariant(QMetaType::fromType<QString>());
}
}

WebsiteStore::WebsiteStore(Database &database)
    : m_database(database)
{ }

QList<SavedWebsite> WebsiteStore::list(qint64 userId)
{
    const auto rows = m_database.select(selectColumns + u"WHERE user_id = ? ORDER BY is_pinned DESC, created_ms DESC, id DESC"_s, {userId});
    QList<SavedWebsite> websites;
    websites.reserve(rows.size());
    for (const auto &row : rows)
        websites.append(fromRow(row));
    return websites;
}

SavedWebsite WebsiteStore::create(qint64 userId, const NewWebsite &website)
{
    const qint64 now = Timestamps::nowMs();
    const auto row
        = m_database.selectOne(u"INSERT INTO websites (user_id, url, title, screenshot_url, content, is_pinned, created_ms, updated_ms) "
                               "VALUES (?, ?, ?, ?, ?, 0, ?, ?) RETURNING id"_s,
                               {userId, website.url, website.title, nullable(website.screenshotUrl), nullable(website.content), now, now});
    if (!row)
        throw DatabaseError("inserting a website returned no id");
    return SavedWebsite{row->at(0).toLongLong(), website.url, website.title,           website.screenshotUrl,
                        website.content,         false,       Timestamps::format(now), Timestamps::format(now)};
}

std::optional<SavedWebsite> WebsiteStore::change(const QString &assignments, const QVariantList &values)
{
    const auto row = m_database.selectOne(
        u"UPDATE websites SET %1, updated_ms = ? WHERE id = ? AND user_id = ? "_s.arg(assignments) + returnedColumns, values);
    if (!row)
        return std::nullopt;
    return fromRow(*row);
}

std::optional<SavedWebsite> WebsiteStore::rename(qint64 userId, qint64 id, const QString &title)
{
    return change(u"title = ?"_s, {title, Timestamps::nowMs(), id, userId});
}

std::optional<SavedWebsite> WebsiteStore::setPinned(qint64 userId, qint64 id, bool pinned)
{
    return change(u"is_pinned = ?"_s, {pinned ? 1 : 0, Timestamps::nowMs(), id, userId});
}

bool WebsiteStore::remove(qint64 userId, qint64 id)
{
    return m_database.execute(u"DELETE FROM websites WHERE id = ? AND user_id = ?"_s, {id, userId}) > 0;
}
