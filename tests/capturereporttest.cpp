#include "capturereport.h"
#include "browsertracker.h"
#include "support/fakeosascript.h"
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
using namespace std::chrono_literals;

class CaptureReportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void candidatesInRankOrderWithWhyEachAnsweredOrNot()
    {
        FakeOsascript osascript;
        osascript.hang(u"Firefox"_s);
        osascript.answer(u"Google Chrome"_s, "https://c.org only");
        osascript.answer(u"Safari"_s, "https://www.s.org/a|||S\n");
        osascript.answer(u"Arc"_s, "https://a.org|||A");
        FakeWorkspace workspace;
        workspace.processBundleIds = {
            {1, u"company.thebrowser.Browser"_s}, {2, u"com.google.Chrome"_s}, {3, u"com.apple.Safari"_s}, {4, u"org.mozilla.firefox"_s}};
        workspace.frontmostBundleId = u"org.mozilla.firefox"_s;
        FakeWindowList windowList;
        windowList.windows = {FakeWindowList::window(2)};
        const auto reader = FakeOsascript::reader(1s);
        BrowserTracker tracker;

        // Through text, as a user's terminal gets it.
        const QJsonObject report = QJsonDocument::fromJson(CaptureReport(workspace, windowList, *reader, tracker).run().toJson()).object();
        QCOMPARE(report.value("tracker"_L1).toString(), u"org.mozilla.firefox"_s);
        QCOMPARE(report.value("topmostVisibleBrowser"_L1).toString(), u"com.google.Chrome"_s);
        QVERIFY(report.value("browserAccess"_L1).toString().contains("not consulted"_L1));

        QStringList seen;
        for (const QJsonValue &candidate : report.value("candidates"_L1).toArray()) {
            const QJsonObject object = candidate.toObject();
            seen.append(object.value("appName"_L1).toString() + u'|' + object.value("reader"_L1).toObject().value("outcome"_L1).toString()
                        + u'|' + object.value("answer"_L1).toString() + u'|' + object.value("verdict"_L1).toString());
        }
        QCOMPARE(seen,
                 (QStringList{
                     u"Firefox|the script passed its time-out and was stopped||no answer"_s,
                     u"Google Chrome|the answer held no \"|||\" separator||no answer"_s,
                     u"Safari|answered|https://www.s.org/a|||S|chosen"_s,
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
