#include "displaytext.h"
#include "originallogo.h"
#include "shellsupport.h"
#include "support/testdata.h"

#include <QGuiApplication>
#include <QRawFont>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtMath>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

using namespace Qt::StringLiterals;

namespace
{
const User kUser{.id = 7, .email = u"ada.lovelace@analytical-engine.example"_s, .createdAt = {}};

Panel::Options panelOptions(bool signedIn, const QByteArray &appearance = "light")
{
    return {.signedInUser = signedIn ? std::optional(kUser) : std::nullopt, .appearance = appearance};
}

QString screenshotPath(const QString &name)
{
    QDir().mkpath(QStringLiteral(CORVANE_SCREENSHOT_DIR));
    return QDir(QStringLiteral(CORVANE_SCREENSHOT_DIR)).filePath(name + u".png"_s);
}

QPalette paletteWithWindow(const QColor &window)
{
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    return palette;
}
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
        const Panel panel(panelOptions(true));
        panel.model->setShowHeaderEmail(showHeaderEmail);
        QVERIFY(panel.shows("headerTitle") && panel.shows("headerLogo") && panel.shows("headerRightGroup"));
        QCOMPARE(panel.shows("headerEmailChip"), showHeaderEmail);
        if (!showHeaderEmail)
            return;
        // The chip: the address's first letter, and the address cut to the layout's width.
        QCOMPARE(panel.item("headerAvatarLetter")->property("text").toString(), u"A"_s);
        QQuickItem *address = panel.item("headerEmailText");
        QCOMPARE(address->property("text").toString(), kUser.email);
        QTRY_COMPARE(address->width(), 75.0);
        panel.model->setWideLayout(true);
        QTRY_COMPARE(address->width(), 160.0);
        QCOMPARE(panel.item("headerEmailChip")->property("toolTipText").toString(), kUser.email);
    }

    void cardHeight()
    {
        const Panel signedOut(panelOptions(false));
        QQuickItem *card = signedOut.item("panelCard");
        QQuickItem *header = signedOut.item("headerView");
        QQuickItem *authentication = signedOut.item("authenticationSlot");
        // As tall as its content with 18 points above and below.
        QTRY_COMPARE(card->height(), 18 + header->height() + 4 + authentication->implicitHeight() + 18);
        QVERIFY(card->height() < signedOut.window->height());
        // Below the card the window lets clicks through.
        QTRY_COMPARE(signedOut.window->mask().boundingRect().height(), qCeil(card->height()));

        const Panel signedIn(panelOptions(true));
        QTRY_COMPARE(signedIn.item("panelCard")->height(), qreal(signedIn.window->height()));
        signedIn.window->resize(430, 900);
        QTRY_COMPARE(signedIn.item("panelCard")->height(), 900.0);
        QCOMPARE(signedIn.item("panelCard")->property("radius").toReal(), 24.0);
        QVERIFY(signedIn.window->mask().isEmpty());

        // Signing out shrinks the card back to the signed-out card's height.
        signedIn.model->logout();
        QTRY_COMPARE(signedIn.item("panelCard")->height(), card->height());
        QTRY_VERIFY(!signedIn.window->mask().isEmpty());
    }

    void frameHandlerEdges_data()
    {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<int>("edges");
        QTest::newRow("just past the grip") << QPointF(6, 300) << 0;
        QTest::newRow("top left") << QPointF(3, 3) << int(Qt::LeftEdge | Qt::TopEdge);
        QTest::newRow("bottom right") << QPointF(427, 586) << int(Qt::RightEdge | Qt::BottomEdge);
    }

    void frameHandlerEdges()
    {
        QFETCH(QPointF, point);
        QFETCH(int, edges);
        const QmlObject handler("WindowFrameHandler { width: 430; height: 590 }");
        QVariant found;
        QVERIFY(QMetaObject::invokeMethod(handler.object.get(), "edgesAt", Q_RETURN_ARG(QVariant, found), Q_ARG(QVariant, point)));
        QCOMPARE(found.toInt(), edges);
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
        QGuiApplication::setPalette(paletteWithWindow(QColor(240, 240, 240)));
        qputenv("CORVANE_APPEARANCE", "sepia");
        TestEnvironment environment;
        const auto model = environment.makeViewModel();
        PanelWindow window(model.get());
        QQuickItem *card = window.rootObject()->findChild<QQuickItem *>(u"panelCard"_s);
        const QColor light = card->property("color").value<QColor>();
        QVERIFY(light.lightness() >= 128);
        QGuiApplication::setPalette(paletteWithWindow(QColor(30, 30, 34)));
        QTRY_VERIFY(card->property("color").value<QColor>().lightness() < 128);
    }

    void avatarLetter_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("letter");
        QTest::newRow("combining accent") << u"e\u0301mile@example.org"_s << u"E\u0301"_s;
        QTest::newRow("empty") << QString() << QString();
    }

    void avatarLetter()
    {
        QFETCH(QString, email);
        QFETCH(QString, letter);
        QCOMPARE(DisplayText::avatarLetter(email), letter);
    }

    void logoLookup_data()
    {
        QTest::addColumn<bool>("isDark");
        QTest::addColumn<QStringList>("validFiles");
        QTest::addColumn<QStringList>("brokenFiles");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dark, first name") << true << QStringList{u"icon128.png"_s, u"icon-light.png"_s} << QStringList{}
                                          << u"icon128.png"_s;
        QTest::newRow("light, first name") << false << QStringList{u"iconDark128.png"_s, u"icon-dark.png"_s} << QStringList{}
                                           << u"iconDark128.png"_s;
        QTest::newRow("light, unreadable first")
            << false << QStringList{u"icon-dark.png"_s} << QStringList{u"iconDark128.png"_s} << u"icon-dark.png"_s;
        QTest::newRow("light ignores the dark artwork") << false << QStringList{u"icon128.png"_s} << QStringList{} << u"embedded"_s;
        QTest::newRow("nothing on disk") << true << QStringList{} << QStringList{u"icon128.png"_s} << u"embedded"_s;
    }

    void logoLookup()
    {
        QFETCH(bool, isDark);
        QFETCH(QStringList, validFiles);
        QFETCH(QStringList, brokenFiles);
        QFETCH(QString, expected);
        QTemporaryDir folder;
        QImage image(128, 128, QImage::Format_ARGB32);
        image.fill(Qt::red);
        for (const QString &name : validFiles)
            QVERIFY(image.save(folder.filePath(name)));
        for (const QString &name : brokenFiles)
            writeFile(folder.filePath(name), "\x89PNG not really");

        const QUrl found = OriginalLogo::lookup(isDark, {folder.filePath(u"missing"_s), folder.path()});
        if (expected == "embedded"_L1) {
            QCOMPARE(found.scheme(), u"qrc"_s);
            const QImage embedded(u":"_s + found.path());
            QCOMPARE(embedded.size(), QSize(128, 128));
            // The dark appearance takes the light artwork and the other way round: they must differ.
            QVERIFY(embedded != QImage(u":"_s + OriginalLogo::lookup(!isDark, {}).path()));
        } else {
            QCOMPARE(found, QUrl::fromLocalFile(folder.filePath(expected)));
        }
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

    // The header's two buttons; the width button's tooltip is saved over the settings screen.
    void headerButtons()
    {
        const Panel panel(panelOptions(true));
        QCOMPARE(panel.currentScreen(), u"dashboard"_s);
        panel.click("settingsButton");
        QVERIFY(panel.model->showSettings());
        QCOMPARE(panel.currentScreen(), u"settings"_s);
        QTRY_VERIFY(panel.shows("settingsView"));
        // The dashboard fades out and is then gone.
        QTRY_VERIFY(!panel.item("dashboardSlot")->property("active").toBool());

        QQuickItem *button = panel.item("widthButton");
        QTRY_COMPARE(panel.window->width(), 430);
        QCOMPARE(button->property("symbol").toString(), u"arrow.up.left.and.arrow.down.right"_s);
        QTest::mouseMove(panel.window.get(), button->mapToScene(button->boundingRect().center()).toPoint());
        QObject *toolTip = button->findChild<QObject *>(u"toolTip"_s);
        QVERIFY(toolTip);
        QTRY_VERIFY(toolTip->property("visible").toBool());
        QCOMPARE(toolTip->property("text").toString(), u"Expand width"_s);
        QTest::qWait(300);
        // The tooltip lives in the window's overlay, outside the root item, so grab the window.
        QVERIFY(panel.window->grabWindow().save(screenshotPath(u"tooltip-settings-light"_s)));

        panel.click("widthButton");
        QVERIFY(panel.model->isWideLayout());
        QTRY_COMPARE(panel.window->width(), 820);
        QCOMPARE(button->property("toolTipText").toString(), u"Compact width"_s);
        QCOMPARE(button->property("symbol").toString(), u"arrow.down.right.and.arrow.up.left"_s);
        panel.click("widthButton");
        QTRY_COMPARE(panel.window->width(), 430);

        panel.click("settingsButton");
        QVERIFY(!panel.model->showSettings());
        QTRY_VERIFY(!panel.item("settingsSlot")->property("active").toBool());
    }
};

QTEST_MAIN(ContentViewTest)
#include "contentviewtest.moc"
