#include "library/libraryorder.h"

#include <QTest>

using namespace Qt::StringLiterals;

class LibraryOrderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void order_data()
    {
        QTest::addColumn<QList<SavedWebsite>>("websites");
        QTest::addColumn<QList<qint64>>("ids");

        QTest::newRow("pinned first, absent flag unpinned")
            << QList<SavedWebsite>{{.id = 1, .isPinned = std::nullopt, .createdAt = u"2025"_s},
                                   {.id = 2, .isPinned = true, .createdAt = u"2020"_s},
                                   {.id = 3, .isPinned = false, .createdAt = u"2026"_s}}
            << QList<qint64>{2, 3, 1};
        QTest::newRow("createdAt compared as text") << QList<SavedWebsite>{{.id = 1, .createdAt = u"2024-09-01"_s},
                                                                           {.id = 2, .createdAt = u"2024-10-01"_s},
                                                                           {.id = 3, .createdAt = u"9"_s}}
                                                    << QList<qint64>{3, 2, 1};
        QTest::newRow("ties broken by id descending")
            << QList<SavedWebsite>{{.id = 5, .createdAt = u"x"_s}, {.id = 9, .createdAt = u"x"_s}, {.id = 7, .createdAt = u"x"_s}}
            << QList<qint64>{9, 7, 5};
        QTest::newRow("absent createdAt sorts last")
            << QList<SavedWebsite>{{.id = 8}, {.id = 1, .createdAt = u"2020"_s}} << QList<qint64>{1, 8};
    }

    void order()
    {
        QFETCH(QList<SavedWebsite>, websites);
        QFETCH(QList<qint64>, ids);
        QList<qint64> sortedIds;
        for (const SavedWebsite &website : LibraryOrder::sorted(websites))
            sortedIds.append(website.id);
        QCOMPARE(sortedIds, ids);
    }
};

QTEST_GUILESS_MAIN(LibraryOrderTest)
#include "libraryordertest.moc"
