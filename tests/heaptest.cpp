#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

class HeapTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hugePages_data()
    {
        QTest::addColumn<QString>("tunables");
        QTest::addColumn<QString>("passedOn");
        QTest::addColumn<bool>("hugePages");
        QTest::newRow("unset") << QString() << QString() << true;
        // The user's own setting is theirs: no restart, and their children keep it.
        QTest::newRow("the user's own") << u"glibc.malloc.check=0"_s << u"glibc.malloc.check=0"_s << false;
    }

    void hugePages()
    {
        QFETCH(QString, tunables);
        QFETCH(QString, passedOn);
        QFETCH(bool, hugePages);
        QFile thp(u"/sys/kernel/mm/transparent_hugepage/enabled"_s);
        const QByteArray mode = thp.open(QIODevice::ReadOnly) ? thp.readAll() : QByteArray("[never]");
        if (mode.contains("[never]"))
            QSKIP("this system has no transparent huge pages");

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"GLIBC_TUNABLES"_s);
        if (!tunables.isEmpty())
            environment.insert(u"GLIBC_TUNABLES"_s, tunables);
        QProcess probe;
        probe.setProcessEnvironment(environment);
        probe.start(QStringLiteral(HUGE_PAGES_PROBE), {});
        QVERIFY(probe.waitForFinished());
        const QString output = QString::fromUtf8(probe.readAllStandardOutput());
        QVERIFY2(output.contains(u"environment: %1\n"_s.arg(passedOn)), qPrintable(output));
        const QRegularExpressionMatch huge = QRegularExpression(u"AnonHugePages:\\s+(\\d+) kB"_s).match(output);
        QVERIFY2(huge.hasMatch(), qPrintable(output));
        // Where the system gives every large block huge pages, the setting changes nothing.
        QCOMPARE(huge.captured(1).toLongLong() >= 32 * 1024, hugePages || mode.contains("[always]"));
    }
};

QTEST_GUILESS_MAIN(HeapTest)
#include "heaptest.moc"
