#include "appdelegate.h"
#include "panelwindow.h"
#include "shellsupport.h"
#include "singleinstance.h"
#include "statusitem.h"

#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QQuickItem>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <sys/stat.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

using namespace Qt::StringLiterals;

namespace
{
// A tray the test switches on and off.
struct ChangingTray : TrayAvailability {
    explicit ChangingTray(bool shown)
        : available(shown)
    { }
    [[nodiscard]] bool isAvailable() const override { return available; }
    void change(bool shown)
    {
        available = shown;
        Q_EMIT availabilityChanged(shown);
    }
    bool available;
};
}

class ShellTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The window keeps to its limits, the width button switches between the two widths around
    // the window's centre, and the model hears which layout fits once, without flicker.
    void geometry_data()
    {
        QTest::addColumn<QSize>("start");
        QTest::addColumn<QSize>("proposed"); // empty: the width button
        QTest::addColumn<QSize>("allowed");
        QTest::newRow("too wide, too low") << QSize(430, 600) << QSize(2000, 300) << QSize(1600, 520);
        QTest::newRow("too narrow, too tall") << QSize(900, 600) << QSize(300, 2000) << QSize(430, 1400);
        QTest::newRow("just narrower than the wide layout") << QSize(900, 800) << QSize(539, 800) << QSize(539, 800);
        QTest::newRow("button narrows") << QSize(820, 640) << QSize() << QSize(430, 640);
        QTest::newRow("button widens from exactly 540") << QSize(540, 640) << QSize() << QSize(820, 640);
        QTest::newRow("button narrows from 541") << QSize(541, 640) << QSize() << QSize(430, 640);
    }

    void geometry()
    {
        QFETCH(QSize, start);
        QFETCH(QSize, proposed);
        QFETCH(QSize, allowed);
        const Panel panel({});
        AppViewModel &model = *panel.model;
        const QRect before(QPoint(400, 100), start);
        panel.window->setGeometry(before);
        QTRY_COMPARE(panel.window->geometry(), before);
        QTRY_COMPARE(model.isWideLayout(), start.width() >= 540);

        QSignalSpy layoutChanges(&model, &AppViewModel::isWideLayoutChanged);
        if (proposed.isEmpty()) {
            model.toggleWindowWidth();
            // The outcome is known at once, before the window has moved.
            QCOMPARE(model.isWideLayout(), allowed.width() >= 540);
        } else {
            panel.window->resize(proposed);
        }
        const QWindow &window = *panel.window;
        QTRY_COMPARE(window.size(), allowed);
        QTRY_COMPARE(panel.window->rootObject()->size(), QSizeF(allowed));
        QCOMPARE(window.y(), before.y());
        QVERIFY(!proposed.isEmpty() || qAbs((window.x() + window.width() / 2.0) - (before.x() + before.width() / 2.0)) <= 0.5);
        QCOMPARE(model.isWideLayout(), allowed.width() >= 540);
        QCOMPARE(layoutChanges.count(), (start.width() >= 540) == (allowed.width() >= 540) ? 0 : 1);
    }

    void trayClickTogglesPanel()
    {
        Panel panel({});
        int refreshes = 0;
        int clicks = 0;
        StatusItem item(panel.window.get(), [&refreshes] { ++refreshes; }, {});
        for (const bool shown : {false, true, false}) {
            item.toggleWindowOrPopover();
            QCOMPARE(panel.window->isVisible(), shown);
            QCOMPARE(refreshes, ++clicks);
        }
        // Escape hides it as well, as it does a popup.
        item.toggleWindowOrPopover();
        QVERIFY(panel.window->isVisible());
        QTest::keyClick(panel.window.get(), Qt::Key_Escape);
        QVERIFY(!panel.window->isVisible());
        // Once the panel is gone a click only refreshes.
        panel.window.reset();
        item.toggleWindowOrPopover();
        QCOMPARE(refreshes, clicks + 2);
    }

    void trayImage()
    {
        // With no artwork found the icon is drawn, sharp on a screen of twice the density.
        QTemporaryDir empty;
        StatusItem drawn(nullptr, [] {}, {empty.path()});
        QCOMPARE(drawn.icon().pixmap(QSize(16, 16), 2).toImage().size(), QSize(32, 32));
    }

    void secondLaunchShowsClosedPanel_data()
    {
        QTest::addColumn<bool>("trayShown");
        QTest::newRow("tray") << true;
        QTest::newRow("no tray") << false;
    }

    // Without a tray the panel is an ordinary window: the window manager closes it and a second
    // launch brings it back. The second launch is a real process, which hands over and exits; the
    // socket file a crash left behind does not stop the first.
    void secondLaunchShowsClosedPanel()
    {
        QFETCH(bool, trayShown);
        QTemporaryDir runtime;
        const QString name = runtime.filePath(u"corvane.socket"_s);
        QVERIFY(QFile(name).open(QIODevice::WriteOnly));
        TestEnvironment environment;
        auto tray = std::make_unique<ChangingTray>(trayShown);
        ChangingTray &trayState = *tray;
        AppDelegate delegate(environment.makeViewModel(), {}, std::move(tray));
        SingleInstance running(name);
        QVERIFY(!running.notifyRunningInstance());
        QVERIFY(running.listen());
        connect(&running, &SingleInstance::activationRequested, &delegate, &AppDelegate::reopen);
        QSignalSpy activations(&running, &SingleInstance::activationRequested);
        delegate.launch();
        PanelWindow *panel = delegate.mainWindow();
        QVERIFY(panel->isVisible());
        const QPoint screenCentre = panel->screen()->availableGeometry().center();
        QVERIFY((panel->geometry().center() - screenCentre).manhattanLength() <= 2);
        // In the window manager's frame the card is square, a frame of its own would be a second one.
        const auto checkFrame = [&](bool tray) {
            QCOMPARE(panel->flags().testFlag(Qt::FramelessWindowHint), tray);
            QCOMPARE(panel->flags().testFlag(Qt::WindowStaysOnTopHint), tray);
            QCOMPARE(panel->rootObject()->property("rounded").toBool(), tray);
        };
        checkFrame(trayShown);
        panel->close();
        QVERIFY(!panel->isVisible());

        QProcess second;
        second.setProcessEnvironment(isolatedProcessEnvironment(runtime.path()));
        second.start(QStringLiteral(CORVANE_EXECUTABLE), {});
        QVERIFY(activations.wait(10000));
        if (!second.waitForFinished(10000))
            second.kill();
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(activations.count(), 1);
        QTRY_VERIFY(panel->isVisible());
        // The same panel, shown again rather than made anew.
        QCOMPARE(delegate.mainWindow(), panel);

        trayState.change(!trayShown);
        QVERIFY(panel->isVisible());
        checkFrame(!trayShown);
    }

    void squattersDoNotTakeTheHandOver_data()
    {
        QTest::addColumn<int>("folderOwner"); // -1: no folder; the squatter has the shared name
        QTest::newRow("listening on the shared name") << -1;
        QTest::newRow("inside our folder left open") << int(::getuid());
        QTest::newRow("holding our folder's name") << 65534;
    }

    // Without a session runtime folder, another user listening first where a launch looks for the
    // running one neither makes the first launch quit nor takes the second's request.
    void squattersDoNotTakeTheHandOver()
    {
        QFETCH(int, folderOwner);
        const QTemporaryDir temporary;
        const QString folder = temporary.filePath(u"corvane-runtime-%1"_s.arg(::getuid()));
        if (folderOwner >= 0) {
            QVERIFY(QDir().mkdir(folder) && ::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
            if (::chown(QFile::encodeName(folder).constData(), uid_t(folderOwner), gid_t(-1)) != 0)
                QSKIP("giving a folder away takes root");
        }
        QLocalServer squatter;
        QVERIFY(squatter.listen(folderOwner < 0 ? temporary.filePath(u"corvane-%1"_s.arg(::getuid())) : folder + u"/corvane.socket"_s));
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        const auto restore = qScopeGuard([&runtime] {
            qputenv("XDG_RUNTIME_DIR", runtime);
            qunsetenv("TMPDIR");
        });

        SingleInstance first(SingleInstance::sessionServerName());
        QVERIFY(!first.notifyRunningInstance());
        QSignalSpy activations(&first, &SingleInstance::activationRequested);
        const bool handsOver = first.listen();
        QCOMPARE(handsOver, folderOwner != 65534);
        QCOMPARE(SingleInstance(SingleInstance::sessionServerName()).notifyRunningInstance(), handsOver);
        QCOMPARE(activations.wait(handsOver ? 5000 : 300), handsOver);
        QVERIFY(!squatter.hasPendingConnections());
    }
};

QTEST_MAIN(ShellTest)
#include "shelltest.moc"
