#include "librarysearch.h"
#include "libraryorder.h"
#include "librarysearchindex.h"
#include "support/testdata.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
// The filter as the rule states it, lower-casing everything on every call.
QList<qint64> plainFilter(const QList<SavedWebsite> &websites, const QString &query)
{
    const QString lowered = query.trimmed().toLower();
    QList<qint64> ids;
    for (const SavedWebsite &website : websites) {
        if (lowered.isEmpty() || website.title.toLower().contains(lowered) || website.url.toLower().contains(lowered)
            || website.content.value_or(PageText()).toString().toLower().contains(lowered))
            ids.append(website.id);
    }
    return ids;
}

// Text drawn from pieces that lower-case in awkward ways: letters that change length when lowered
// (capital I with dot, sharp s), that lower to ASCII (Kelvin sign), combining marks, surrogate pairs
// (one lowering to another) and lone halves.
QString awkwardText(QRandomGenerator &random, int pieces)
{
    static const QStringList alphabet
        = u"a|B|c|Z| |\n|ab|AB|k|i|\u0130|\u212A|\u00DF|\u1E9E|\u03A3|\u00C9|\u0307|\U0001F600|\U00010400"_s.split(u'|')
        + QStringList{QString(QChar(0xD83D)), QString(QChar(0xDE00))};
    QString text;
    for (int piece = 0; piece < pieces; ++piece)
        text += alphabet.at(random.bounded(alphabet.size()));
    return text;
}
}

class LibrarySearchTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // On the heap or with its page text in a file, built afresh or from the index before, the index
    // answers as the plain rule does. A page-text file replaced by a newer one leaves the text read
    // from it before as it was.
    void indexAgreesWithThePlainRule()
    {
        QRandomGenerator random(20240501);
        const auto website = [&random](qint64 id) {
            SavedWebsite made{.id = id, .url = u"https://"_s + awkwardText(random, 4) + u".test/"_s, .title = awkwardText(random, 6)};
            if (random.bounded(4) != 0)
                made.content = awkwardText(random, 10 + random.bounded(60));
            return made;
        };
        QList<SavedWebsite> websites;
        for (qint64 id = 1; id <= 300; ++id)
            websites.append(website(id));
        QStringList queries{u"https"_s,  u"  Z  "_s,   u"\u212A"_s,         u"k"_s,          u"i\u0307"_s,           u"\u0130"_s,
                            u"ss"_s,     u"\u00DF"_s,  u"\u03C3"_s,         u"\U0001F600"_s, QString(QChar(0xD83D)), QString(QChar(0xDE00)),
                            u"ab\nab"_s, u"test/ab"_s, u"nothing like it"_s};
        for (int extra = 0; extra < 200; ++extra)
            queries.append(awkwardText(random, 1 + random.bounded(3)));

        const QTemporaryDir directory;
        const QString path = directory.filePath(u"cache/pagetext"_s);
        auto onHeap = LibrarySearchIndex::build(websites, nullptr);
        auto filed = LibrarySearchIndex::build(websites, nullptr, path);
        const QList<SavedWebsite> first = websites;
        const QList<SavedWebsite> readFromTheFirstFile = filed->websites();
        for (const bool rebuilt : {false, true}) {
            if (rebuilt) {
                // Some page text and titles changed, a website moved, one removed and one added.
                for (qsizetype position = 0; position < websites.size(); position += 7)
                    websites[position].content = awkwardText(random, 12);
                for (qsizetype position = 3; position < websites.size(); position += 11)
                    websites[position].title = awkwardText(random, 6);
                websites.move(250, 0);
                websites.removeAt(100);
                websites.append(website(301));
                onHeap = LibrarySearchIndex::build(websites, onHeap.get());
                filed = LibrarySearchIndex::build(websites, filed.get(), path);
            }
            QCOMPARE(filed->websites(), websites);
            for (const QString &query : std::as_const(queries)) {
                const QString lowered = query.trimmed().toLower();
                const QList<qint64> expected = plainFilter(websites, query);
                QCOMPARE(idsOf(onHeap->filter(lowered)), expected);
                QCOMPARE(idsOf(filed->filter(lowered)), expected);
            }
        }
        QCOMPARE(readFromTheFirstFile, first);
        QCOMPARE(QDir(directory.filePath(u"cache"_s)).entryList(QDir::Files), QStringList{u"pagetext"_s});
    }

    // The query, trimmed and lower-cased, is looked for in the title, the address and the page
    // text, each on its own.
    void filter_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<qint64>>("ids");

        QTest::newRow("spaces and line breaks only") << u"  \n\t "_s << QList<qint64>{1, 2, 3, 4};
        QTest::newRow("mixed case with spaces around") << u"  KoTLiN \n"_s << QList<qint64>{1, 3};
        QTest::newRow("title only") << u"notes"_s << QList<qint64>{2};
        QTest::newRow("missing content is only missed") << u"gradle"_s << QList<qint64>{};
        QTest::newRow("inner spaces are kept") << u"kotlin notes"_s << QList<qint64>{};
        QTest::newRow("the address is searched whole") << u"blog.test/k"_s << QList<qint64>{3};
        QTest::newRow("createdAt is not searched") << u"2024"_s << QList<qint64>{};
        QTest::newRow("thumbnail address is not searched") << u"thumbs"_s << QList<qint64>{};
        QTest::newRow("title does not run into the address") << u"blogh"_s << QList<qint64>{};
        QTest::newRow("address does not run into the content") << u"langwhy"_s << QList<qint64>{};
        QTest::newRow("one website does not run into the next") << u"kotlin?my"_s << QList<qint64>{};
    }

    void filter()
    {
        QFETCH(QString, query);
        QFETCH(QList<qint64>, ids);

        const QList<SavedWebsite> websites{
            {.id = 1, .url = u"lang"_s, .title = u"Languages"_s, .content = u"Why KOTLIN?"_s, .createdAt = u"2024-01-01"_s},
            {.id = 2,
             .url = u"https://n.test"_s,
             .title = u"My Notes"_s,
             .screenshotUrl = u"https://thumbs.test/2.png"_s,
             .createdAt = u"2024-01-02"_s},
            {.id = 3, .url = u"https://blog.test/kotlin"_s, .title = u"Blog"_s, .createdAt = u"2024-01-03"_s},
            {.id = 4, .url = u"https://x.test"_s, .title = u"Build"_s, .content = std::nullopt, .createdAt = u"2024-01-04"_s},
        };
        LibrarySearch search;
        search.prepare(websites);
        QCOMPARE(idsOf(search.filter(websites, query)), ids);
    }

    void searchFollowsTheListItIsGiven()
    {
        LibrarySearch search;
        QList<SavedWebsite> websites{{.id = 1, .url = u"https://a.test"_s, .title = u"Alpha"_s},
                                     {.id = 2, .url = u"https://b.test"_s, .title = u"Beta"_s}};
        search.prepare(websites);
        // Changed in place and never prepared: the search still answers for the list as it is now.
        websites[1].title = u"Alphabet"_s;
        QCOMPARE(idsOf(search.filter(websites, u"alpha"_s)), (QList<qint64>{1, 2}));

        // Several lists prepared in a row: only the one asked about matters.
        QList<SavedWebsite> shorter = websites.mid(1);
        search.prepare(websites);
        search.prepare(shorter);
        QCOMPARE(idsOf(search.filter(shorter, u"alpha"_s)), QList<qint64>{2});
        QCOMPARE(idsOf(search.filter(websites, u"beta"_s)), QList<qint64>{});
        QCOMPARE(idsOf(search.filter({}, u"alpha"_s)), QList<qint64>{});
    }

    // The library's display order.
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
        QCOMPARE(idsOf(LibraryOrder::sorted(websites)), ids);
    }
};

QTEST_GUILESS_MAIN(LibrarySearchTest)
#include "librarysearchtest.moc"
