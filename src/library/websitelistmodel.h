#pragma once

#include "records.h"

#include <QAbstractListModel>
#include <QList>

// The websites the list shows, one row each. A new list is applied as row removals, moves,
// insertions and changes, so that a pin, a rename, a save or a delete keeps every other row's
// delegate and the scroll position.
class WebsiteListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TitleRole,
        UrlRole,
        DomainRole,
        ScreenshotUrlRole,
        IsPinnedRole,
        CreatedAtRole,
    };
    Q_ENUM(Role)

    using QAbstractListModel::QAbstractListModel;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    [[nodiscard]] const QList<SavedWebsite> &websites() const { return m_websites; }
    // Shows exactly these websites, in this order.
    void update(const QList<SavedWebsite> &websites);

private:
    void removeRowsMissingFrom(const QList<SavedWebsite> &websites);

    QList<SavedWebsite> m_websites;
};
