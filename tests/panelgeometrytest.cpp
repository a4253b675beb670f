#include "panelgeometry.h"

#include <QTest>

class PanelGeometryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clampedSize_data()
    {
        QTest::addColumn<QSize>("proposed");
        QTest::addColumn<QSize>("allowed");
        QTest::newRow("too wide, too low") << QSize(2000, 300) << QSize(1600, 520);
        QTest::newRow("too narrow, too tall") << QSize(300, 2000) << QSize(430, 1400);
        QTest::newRow("inside") << QSize(700, 900) << QSize(700, 900);
    }

    void clampedSize()
    {
        QFETCH(QSize, proposed);
        QFETCH(QSize, allowed);
        QCOMPARE(PanelGeometry::clampedSize(proposed), allowed);
    }
};

QTEST_GUILESS_MAIN(PanelGeometryTest)
#include "panelgeometrytest.moc"
