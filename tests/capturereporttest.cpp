#include "capturereport.h"
#include "support/faketabreader.h"
#include "support/fakewindowlist.h"
#include "support/fakeworkspace.h"
#include "support/testenvironment.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class CaptureReportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void candidatesInRankOrderWithWhyEachAnsweredOrNot()
    {
        FakeTabReader reader;
        reader.answer(u"chrome"_s, u"chrome://newtab/|||New Tab"_s);
        reader.answer(u"safari"_s, u"https://www.s.org/a|||S"_s);
        reader.answer(u"arc"_s, u"https://a.org|||A"_s);
        FakeWorkspace workspace;
        workspace.processApplicationIds = {{1, u"arc"_s}, {2, u"chrome"_s}, {3, u"safari"_s}, {4, u"firefox"_s}};
        workspace.frontmostApplication = u"firefox"_s;
        FakeWindowList windowList;
        windowList.windows = {FakeWindowList::window(2)};

        // Through text, as a user's terminal gets it. Browsers keep the names the report always gave them.
        const QJsonObject report = QJsonDocument::fromJson(CaptureReport(workspace, windowList, reader).run().toJson()).object();
        QCOMPARE(report.value("frontmostApplication"_L1).toString(), u"org.mozilla.firefox"_s);
        QCOMPARE(report.value("tracker"_L1).toString(), u"org.mozilla.firefox"_s);
        QCOMPARE(report.value("topmostVisibleBrowser"_L1).toString(), u"com.google.Chrome"_s);
        QCOMPARE(report.value("runningSupportedBrowsers"_L1).toVariant().toStringList(),
                 (QStringList{u"org.mozilla.firefox"_s, u"com.google.Chrome"_s, u"com.apple.Safari"_s, u"company.thebrowser.Browser"_s}));
        QVERIFY(report.value("browserAccess"_L1).toString().contains("not consulted"_L1));

        QStringList seen;
        for (const QJsonValue &candidate : report.value("candidates"_L1).toArray()) {
            const QJsonObject object = candidate.toObject();
            seen.append(object.value("appName"_L1).toString() + u'|' + object.value("reader"_L1).toObject().value("read"_L1).toString()
                        + u'|' + object.value("answer"_L1).toString() + u'|' + object.value("verdict"_L1).toString());
        }
        QCOMPARE(seen,
                 (QStringList{
                     u"Firefox|firefox||no answer"_s,
                     u"Google Chrome|chrome|chrome://newtab/|||New Tab|no web page; kept as the fallback"_s,
                     u"Safari|safari|https://www.s.org/a|||S|chosen"_s,
                     u"Arc|||not asked: an earlier browser showed a web page"_s,
                 }));
        const QJsonObject result = report.value("result"_L1).toObject();
        QCOMPARE(result.value("browserName"_L1).toString(), u"Safari"_s);
        QCOMPARE(result.value("domain"_L1).toString(), u"s.org"_s);
    }

    // No window, no stored session or preferences: nothing is written under the user's folders.
    void commandLinePrintsTheReportAndWritesNothing()
    {
        QTemporaryDir home;
        QProcess corvane;
        corvane.setProcessEnvironment(isolatedProcessEnvironment(home.path()));
        corvane.start(QStringLiteral(CORVANE_EXECUTABLE), {u"--capture-report"_s});
        QVERIFY(corvane.waitForFinished(20000));
        QCOMPARE(corvane.exitCode(), 0);

        QJsonParseError error;
        const QJsonDocument report = QJsonDocument::fromJson(corvane.readAllStandardOutput(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(report.object().value("candidates"_L1).isArray());
        QDirIterator written(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY2(!written.hasNext(), qPrintable(written.hasNext() ? written.next() : QString()));
    }
};

QTEST_GUILESS_MAIN(CaptureReportTest)
#include "capturereporttest.moc"
