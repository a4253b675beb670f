#include "app/panelgeometry.h"

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
        QTest::newRow("at the minimum") << QSize(430, 520) << QSize(430, 520);
        QTest::newRow("at the maximum") << QSize(1600, 1400) << QSize(1600, 1400);
        QTest::newRow("one below the minimum") << QSize(429, 519) << QSize(430, 520);
        QTest::newRow("empty") << QSize(0, 0) << QSize(430, 520);
    }

    void clampedSize()
    {
        QFETCH(QSize, proposed);
        QFETCH(QSize, allowed);
        QCOMPARE(PanelGeometry::clampedSize(proposed), allowed);
    }

    void wideLayoutThreshold_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("wide");
        QTest::newRow("compact") << 430 << false;
        QTest::newRow("just below") << 539 << false;
        QTest::newRow("exactly 540") << 540 << true;
        QTest::newRow("wide") << 820 << true;
    }

    void wideLayoutThreshold()
    {
        QFETCH(int, width);
        QFETCH(bool, wide);
        QCOMPARE(PanelGeometry::isWideLayout(width), wide);
    }

    void switchedWidth_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<int>("newWidth");
        QTest::newRow("wide narrows") << QRect(300, 120, 820, 640) << 430;
        QTest::newRow("resized by hand narrows") << QRect(300, 120, 700, 640) << 430;
        QTest::newRow("exactly 540 widens") << QRect(300, 120, 540, 640) << 820;
        QTest::newRow("500 widens") << QRect(300, 120, 500, 640) << 820;
        QTest::newRow("compact widens") << QRect(0, 0, 430, 590) << 820;
        QTest::newRow("541 narrows") << QRect(-50, 10, 541, 590) << 430;
    }

    void switchedWidth()
    {
        QFETCH(QRect, frame);
        QFETCH(int, newWidth);
        const QRect switched = PanelGeometry::switchedWidth(frame);
        QCOMPARE(switched.width(), newWidth);
        QCOMPARE(switched.top(), frame.top());
        QCOMPARE(switched.height(), frame.height());
        // The centre stays, up to the half pixel an odd difference cannot split.
        const auto centre = [](const QRect &rect) { return rect.x() + rect.width() / 2.0; };
        QVERIFY2(qAbs(centre(switched) - centre(frame)) <= 0.5, qPrintable(QString::number(centre(switched))));
    }
};

QTEST_GUILESS_MAIN(PanelGeometryTest)
#include "panelgeometrytest.moc"
