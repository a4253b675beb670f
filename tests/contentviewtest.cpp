#include "shellsupport.h"

#include <QGuiApplication>
#include <QRawFont>
#include <QScopeGuard>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

using namespace Qt::StringLiterals;

namespace
{
const User kUser{.id = 7, .email = u"ada.lovelace@analytical-engine.example"_s, .createdAt = {}};
}

class ContentViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void header_data()
    {
        QTest::addColumn<bool>("showHeaderEmail");
        QTest::newRow("with e-mail") << true;
        QTest::newRow("without e-mail") << false;
    }

    void header()
    {
        QFETCH(bool, showHeaderEmail);
        const Panel panel({.signedInUser = kUser});
        panel.model->setShowHeaderEmail(showHeaderEmail);
        QVERIFY(panel.shows("headerTitle") && panel.shows("headerLogo") && panel.shows("headerRightGroup"));
        QCOMPARE(panel.shows("headerEmailChip"), showHeaderEmail);
        if (!showHeaderEmail)
            return;
        // The chip: the address's first letter and the address.
        QCOMPARE(panel.item("headerAvatarLetter")->property("text").toString(), u"A"_s);
        QCOMPARE(panel.item("headerEmailText")->property("text").toString(), kUser.email);
        QCOMPARE(panel.item("headerEmailChip")->property("toolTipText").toString(), kUser.email);
    }

    // An unknown forced appearance is no appearance at all: the panel follows the palette, also
    // when it changes later.
    void paletteChangeRecoloursThePanel()
    {
        const QPalette original = QGuiApplication::palette();
        const auto restore = qScopeGuard([&original] {
            QGuiApplication::setPalette(original);
            qunsetenv("CORVANE_APPEARANCE");
        });
        QGuiApplication::setPalette(QPalette(Qt::gray, QColor(240, 240, 240)));
        qputenv("CORVANE_APPEARANCE", "sepia");
        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        PanelWindow window(model.get());
        QQuickItem *card = window.rootObject()->findChild<QQuickItem *>(u"panelCard"_s);
        const QColor light = card->property("color").value<QColor>();
        QVERIFY(light.lightness() >= 128);
        QGuiApplication::setPalette(QPalette(Qt::gray, QColor(30, 30, 34)));
        QTRY_VERIFY(card->property("color").value<QColor>().lightness() < 128);
    }

    void symbols_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("drawn");
        const QStringList names
            = u"arrow.down.circle.fill arrow.down.right.and.arrow.up.left arrow.triangle.2.circlepath arrow.up.left.and.arrow.down.right "
              u"bookmark checkmark checkmark.circle checkmark.shield.fill doc.on.doc ellipsis envelope envelope.fill eye eye.slash "
              u"gearshape.fill hand.raised.fill link link.badge.plus lock lock.shield.fill magnifyingglass number pencil pin pin.fill "
              u"pin.slash plus rectangle.portrait.and.arrow.right square.and.arrow.up trash xmark xmark.circle.fill"_s.split(u' ');
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << name << true;
        QTest::newRow("unknown") << u"no.such.symbol"_s << false;
    }

    // Every symbol the views name is a glyph of the embedded font; an unknown one draws nothing.
    void symbols()
    {
        QFETCH(QString, name);
        QFETCH(bool, drawn);
        static const QRawFont font(u":/qt/qml/Corvane/fonts/MaterialIcons-Regular.ttf"_s, 16);
        QVERIFY(font.isValid());
        const QmlObject icon("SymbolIcon { name: \"" + name.toUtf8() + "\" }");
        QVERIFY(icon.object);
        const QString glyph = icon.object->property("text").toString();
        QCOMPARE(glyph.size(), drawn ? 1 : 0);
        QVERIFY(!drawn || font.supportsCharacter(glyph.at(0)));
        QCOMPARE(icon.object->property("font").value<QFont>().family(), font.familyName());
    }

    // The header's two buttons; the width itself is shelltest's.
    void headerButtons()
    {
        const Panel panel({.signedInUser = kUser});
        panel.click("settingsButton");
        QCOMPARE(panel.currentScreen(), u"settings"_s);
        // The dashboard fades out and is then gone.
        QTRY_VERIFY(!panel.item("dashboardSlot")->property("active").toBool());

        QQuickItem *button = panel.item("widthButton");
        QCOMPARE(button->property("toolTipText").toString(), u"Expand width"_s);
        panel.click("widthButton");
        QVERIFY(panel.model->isWideLayout());
        QCOMPARE(button->property("toolTipText").toString(), u"Compact width"_s);

        panel.click("settingsButton");
        QVERIFY(!panel.model->showSettings());
        QTRY_VERIFY(!panel.item("settingsSlot")->property("active").toBool());
    }
};

QTEST_MAIN(ContentViewTest)
#include "contentviewtest.moc"
