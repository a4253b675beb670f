#include "websitelistmodel.h"

#include <QSet>

int WebsiteListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_websites.size());
}

QVariant WebsiteListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SavedWebsite &website = m_websites.at(index.row());
    switch (role) {
    case IdRole:
        return website.id;
    case Qt::DisplayRole:
    case TitleRole:
        return website.title;
    case UrlRole:
        return website.url;
    case DomainRole:
        return website.formattedDomain();
    case ScreenshotUrlRole:
        return website.screenshotUrl.value_or(QString());
    case IsPinnedRole:
        return website.pinned();
    case CreatedAtRole:
        return website.createdAt.value_or(QString());
    default:
        return {};
    }
}

QHash<int, QByteArray> WebsiteListModel::roleNames() const
{
    return {
        {IdRole, "websiteId"},
        {TitleRole, "title"},
        {UrlRole, "url"},
        {DomainRole, "domain"},
        {ScreenshotUrlRole, "screenshotUrl"},
        {IsPinnedRole, "isPinned"},
        {CreatedAtRole, "createdAt"},
    };
}

void WebsiteListModel::removeRowsMissingFrom(const QList<SavedWebsite> &websites)
{
    QSet<qint64> kept;
    kept.reserve(websites.size());
    for (const SavedWebsite &website : websites)
        kept.insert(website.id);
    // From the bottom up, one run of neighbouring rows at a time, so rows above keep their numbers.
    for (int last = int(m_websites.size()) - 1; last >= 0; --last) {
        if (kept.contains(m_websites.at(last).id))
            continue;
        int first = last;
        while (first > 0 && !kept.contains(m_websites.at(first - 1).id))
            --first;
        beginRemoveRows({}, first, last);
        m_websites.remove(first, last - first + 1);
        endRemoveRows();
        last = first;
    }
}

void WebsiteListModel::update(const QList<SavedWebsite> &websites)
{
    removeRowsMissingFrom(websites);
    for (int row = 0; row < websites.size(); ++row) {
        const SavedWebsite &wanted = websites.at(row);
        if (row >= m_websites.size() || m_websites.at(row).id != wanted.id) {
            int from = row + 1;
            while (from < m_websites.size() && m_websites.at(from).id != wanted.id)
                ++from;
            if (from < m_websites.size()) {
                beginMoveRows({}, from, from, {}, row);
                m_websites.move(from, row);
                endMoveRows();
            } else {
                beginInsertRows({}, row, row);
                m_websites.insert(row, wanted);
                endInsertRows();
                continue;
            }
        }
        if (m_websites.at(row) != wanted) {
            m_websites[row] = wanted;
            Q_EMIT dataChanged(index(row), index(row));
        }
    }
    // Only a list that repeated an id leaves rows over.
    if (m_websites.size() > websites.size()) {
        beginRemoveRows({}, int(websites.size()), int(m_websites.size()) - 1);
        m_websites.resize(websites.size());
        endRemoveRows();
    }
}
