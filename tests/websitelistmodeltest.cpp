#include "websitelistmodel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
QList<SavedWebsite> websites(std::initializer_list<qint64> ids)
{
    QList<SavedWebsite> list;
    for (const qint64 id : ids)
        list.append({.id = id, .url = u"https://site%1.test/"_s.arg(id), .title = u"Site %1"_s.arg(id)});
    return list;
}

QString describe(qint64 id, const QString &title, bool pinned)
{
    return u"%1 %2%3"_s.arg(id).arg(title, pinned ? u" pinned"_s : QString());
}

QString describeRow(const QAbstractItemModel &model, int row)
{
    const QModelIndex index = model.index(row, 0);
    return describe(index.data(WebsiteListModel::IdRole).toLongLong(), index.data(WebsiteListModel::TitleRole).toString(),
                    index.data(WebsiteListModel::IsPinnedRole).toBool());
}

QStringList describe(const QList<SavedWebsite> &websites)
{
    QStringList rows;
    for (const SavedWebsite &website : websites)
        rows.append(describe(website.id, website.title, website.pinned()));
    return rows;
}

// What a list view knows of the model: rows are read when they appear or change, and otherwise
// only moved and removed as the signals say. Every signal is noted.
class RowMirror : public QObject
{
public:
    explicit RowMirror(const QAbstractItemModel &model)
    {
        for (int row = 0; row < model.rowCount(); ++row)
            rows.append(describeRow(model, row));
        connect(&model, &QAbstractItemModel::rowsInserted, this, [this, &model](const QModelIndex &, int first, int last) {
            seen.append(u"inserted %1-%2"_s.arg(first).arg(last));
            for (int row = first; row <= last; ++row)
                rows.insert(row, describeRow(model, row));
        });
        connect(&model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &, int first, int last) {
            seen.append(u"removed %1-%2"_s.arg(first).arg(last));
            rows.remove(first, last - first + 1);
        });
        connect(&model, &QAbstractItemModel::rowsMoved, this,
                [this](const QModelIndex &, int first, int last, const QModelIndex &, int destination) {
                    seen.append(u"moved %1-%2 to %3"_s.arg(first).arg(last).arg(destination));
                    const QStringList moving = rows.mid(first, last - first + 1);
                    rows.remove(first, moving.size());
                    // The destination counts the rows as they were before the move.
                    const qsizetype at = destination > last ? destination - moving.size() : destination;
                    for (qsizetype offset = 0; offset < moving.size(); ++offset)
                        rows.insert(at + offset, moving.at(offset));
                });
        connect(&model, &QAbstractItemModel::dataChanged, this, [this, &model](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
            seen.append(u"changed %1-%2"_s.arg(topLeft.row()).arg(bottomRight.row()));
            for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
                rows[row] = describeRow(model, row);
        });
        // Either one fails the comparison of signals, so the rows need not follow it.
        connect(&model, &QAbstractItemModel::modelReset, this, [this] { seen.append(u"reset"_s); });
        connect(&model, &QAbstractItemModel::layoutChanged, this, [this] { seen.append(u"layout changed"_s); });
    }

    QStringList rows;
    QStringList seen;
};
}

class WebsiteListModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void update_data()
    {
        QTest::addColumn<QList<SavedWebsite>>("before");
        QTest::addColumn<QList<SavedWebsite>>("after");
        QTest::addColumn<QStringList>("expectedSignals");

        QList<SavedWebsite> pinned = websites({3, 1, 2, 4});
        pinned[0].isPinned = true;
        QList<SavedWebsite> renamed = websites({1, 2, 3});
        renamed[1].title = u"News"_s;
        QList<SavedWebsite> mixed = websites({4, 1, 3});
        mixed[1].title = u"News"_s;

        QTest::newRow("unchanged") << websites({1, 2, 3}) << websites({1, 2, 3}) << QStringList{};
        QTest::newRow("reorder") << websites({1, 2, 3}) << websites({3, 2, 1}) << QStringList{u"moved 2-2 to 0"_s, u"moved 2-2 to 1"_s};
        QTest::newRow("pin") << websites({1, 2, 3, 4}) << pinned << QStringList{u"moved 2-2 to 0"_s, u"changed 0-0"_s};
        QTest::newRow("rename") << websites({1, 2, 3}) << renamed << QStringList{u"changed 1-1"_s};
        QTest::newRow("save at the front of a full page")
            << websites({1, 2, 3, 4, 5}) << websites({9, 1, 2, 3, 4}) << QStringList{u"removed 4-4"_s, u"inserted 0-0"_s};
        QTest::newRow("search narrows, runs removed together")
            << websites({1, 2, 3, 4, 5, 6}) << websites({1, 4}) << QStringList{u"removed 4-5"_s, u"removed 1-2"_s};
        QTest::newRow("show more") << websites({1, 2, 3}) << websites({1, 2, 3, 4, 5}) << QStringList{u"inserted 3-3"_s, u"inserted 4-4"_s};
        QTest::newRow("delete, move and rename at once")
            << websites({1, 2, 3, 4}) << mixed << QStringList{u"removed 1-1"_s, u"moved 2-2 to 0"_s, u"changed 1-1"_s};
        QTest::newRow("emptied") << websites({1, 2, 3}) << websites({}) << QStringList{u"removed 0-2"_s};
        QTest::newRow("repeated id shown once") << websites({7, 7}) << websites({7}) << QStringList{u"removed 1-1"_s};
    }

    void update()
    {
        QFETCH(QList<SavedWebsite>, before);
        QFETCH(QList<SavedWebsite>, after);
        QFETCH(QStringList, expectedSignals);

        WebsiteListModel model;
        model.update(before);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        RowMirror view(model);
        model.update(after);
        QCOMPARE(view.seen, expectedSignals);
        QCOMPARE(view.rows, describe(after));
        QCOMPARE(model.websites(), after);
    }
};

QTEST_MAIN(WebsiteListModelTest)
#include "websitelistmodeltest.moc"
