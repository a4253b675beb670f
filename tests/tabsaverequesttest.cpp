#include "capture/tabsaverequest.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TabSaveRequestTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void build_data()
    {
        QTest::addColumn<QString>("tabUrl");
        QTest::addColumn<QString>("tabTitle");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected"); // url, title, screenshotUrl; empty when nothing is saved

        const QString tab = u"https://news.site.org/a"_s;
        QTest::newRow("detected tab") << u" https://www.site.org/a \n"_s << u" Site "_s << QString()
                                      << QStringList{u"https://www.site.org/a"_s, u"Site"_s, u"https://api.test/api/icon?domain=www.site.org&sz=128"_s};
        QTest::newRow("typed host wins") << tab << u"News"_s << u"  example.com/x "_s
                                         << QStringList{u"https://example.com/x"_s, u"example.com"_s, u"https://api.test/api/icon?domain=example.com&sz=128"_s};
        QTest::newRow("blank typed text saves the tab") << tab << u"News"_s << u"   "_s
                                                        << QStringList{tab, u"News"_s, u"https://api.test/api/icon?domain=news.site.org&sz=128"_s};
        QTest::newRow("empty title is the address") << tab << QString() << QString()
                                                    << QStringList{tab, tab, u"https://api.test/api/icon?domain=news.site.org&sz=128"_s};
        QTest::newRow("no host, no icon") << u"about:reader"_s << u"Reader"_s << QString() << QStringList{u"about:reader"_s, u"Reader"_s, QString()};
        QTest::newRow("placeholder tab saves nothing") << QString() << u"Reading active browser tab..."_s << QString() << QStringList();
    }

    void build()
    {
        QFETCH(QString, tabUrl);
        QFETCH(QString, tabTitle);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        const ActiveBrowserTab tab{.title = tabTitle, .url = tabUrl, .browserName = u"Safari"_s};
        const auto request = TabSaveRequest::build(tab, typed, TabSaveRequest::faviconServiceBase(u"https://api.test/api"_s));
        QCOMPARE(request.has_value(), !expected.isEmpty());
        if (request)
            QCOMPARE((QStringList{request->url, request->title, request->screenshotUrl}), expected);
    }
};

QTEST_GUILESS_MAIN(TabSaveRequestTest)
#include "tabsaverequesttest.moc"
