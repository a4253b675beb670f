#include "linux/x11windowlist.h"
#include "linux/x11workspace.h"
#include "linux/xcbpropertysource.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

namespace
{
class FakeX11PropertySource : public X11PropertySource
{
public:
    std::optional<quint32> activeWindow() const override { return active; }
    QList<quint32> clientWindowsBottomToTop() const override
    {
        QList<quint32> ids;
        for (const X11Window &window : stacking)
            ids.append(window.id);
        return ids;
    }
    QList<X11Window> windows(const QList<quint32> &ids) const override
    {
        QList<X11Window> found;
        for (const quint32 id : ids) {
            for (const X11Window &window : stacking) {
                if (window.id == id)
                    found.append(window);
            }
        }
        return found;
    }
    void activate(quint32 id)
    {
        active = id;
        Q_EMIT activeWindowChanged();
    }

    std::optional<quint32> active;
    QList<X11Window> stacking;
};

X11Window window(quint32 id, const char *instance, const char *className, const char *title = "", bool viewable = true)
{
    return {.id = id,
            .classInstance = QString::fromUtf8(instance),
            .className = QString::fromUtf8(className),
            .title = QString::fromUtf8(title),
            .processId = 1000 + id,
            .size = QSize(800, 600),
            .viewable = viewable};
}

// Interns an atom on a test connection.
xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply
        = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}
}

class X11PlatformTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void browserOfWindowClass_data()
    {
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const char *instance, const char *className, const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(instance) << QString::fromUtf8(className) << QString::fromUtf8(expected);
        };
        row("firefox esr", "Navigator", "firefox-esr", "firefox");
        row("chromium with its own folder", "chromium (/home/a/profile)", "Chromium", "chromium");
        row("flatpak firefox", "org.mozilla.firefox", "", "firefox");
        row("text editor", "gedit", "Gedit", "");
        row("no class", "", "", "");
    }

    void browserOfWindowClass()
    {
        QFETCH(QString, instance);
        QFETCH(QString, className);
        QFETCH(QString, expected);
        auto source = std::make_shared<FakeX11PropertySource>();
        X11Window only = window(1, qPrintable(instance), qPrintable(className));
        only.processId.reset();
        source->stacking = {only};
        X11Workspace workspace(source);
        QSignalSpy activated(&workspace, &Workspace::applicationActivated);
        source->activate(1);
        QCOMPARE(workspace.frontmostApplicationId().value_or(QString()), expected);
        QCOMPARE(workspace.runningApplicationIds(), expected.isEmpty() ? QStringList() : QStringList{expected});
        // Only a browser coming to the front is announced.
        QCOMPARE(activated.size(), expected.isEmpty() ? 0 : 1);
        QCOMPARE(activated.value(0).value(0).toString(), expected);
    }

    void windowsFrontToBack()
    {
        auto source = std::make_shared<FakeX11PropertySource>();
        X11Window dock = window(4, "panel", "Panel");
        dock.normalType = false;
        X11Window minimised = window(3, "Navigator", "firefox-esr", "Minimised — Mozilla Firefox");
        minimised.hidden = true;
        X11Window noProperties;
        noProperties.id = 5;
        noProperties.viewable = true;
        source->stacking = {window(1, "Navigator", "firefox-esr", "Behind — Mozilla Firefox"), minimised};
        source->stacking.insert(1, window(2, "chromium", "Chromium", "Middle - Chromium"));
        source->stacking += {window(6, "gedit", "Gedit", "notes", false), dock, noProperties};
        X11WindowList list(source);

        const QList<QVariantMap> windows = list.onScreenWindows().value();
        QCOMPARE(windows.size(), 4);
        // A window without properties gives nothing to rank it by.
        QCOMPARE(windows.at(0).keys(), QStringList{u"kCGWindowLayer"_s});
        QVERIFY(windows.at(1).value(u"kCGWindowLayer"_s).toInt() != 0);
        QCOMPARE(windows.at(2).value(u"kCGWindowOwnerPID"_s).toInt(), 1002);
        QCOMPARE(windows.at(2).value(u"kCGWindowLayer"_s), QVariant(0));
        QCOMPARE(windows.at(3).value(u"kCGWindowBounds"_s).toMap().value(u"Width"_s).toInt(), 800);
        QCOMPARE(windows.at(3).value(u"kCGWindowOwnerPID"_s).toInt(), 1001);

        // The visible window names the tab, even when a minimised one is higher in the stack.
        QCOMPARE(list.topmostWindow(u"firefox"_s).value_or(BrowserWindow()).title, u"Behind — Mozilla Firefox"_s);
        source->stacking.removeFirst();
        QCOMPARE(list.topmostWindow(u"firefox"_s).value_or(BrowserWindow()).title, u"Minimised — Mozilla Firefox"_s);
        QCOMPARE(list.topmostWindow(u"chrome"_s), std::nullopt);
    }

    // Against a real X server when there is one (xvfb-run -a): a window the test makes is found
    // as the frontmost browser, and making it active is noticed.
    void realServer()
    {
        const QByteArray display = qgetenv("DISPLAY");
        std::shared_ptr<XcbPropertySource> source = display.isEmpty() ? nullptr : XcbPropertySource::connect(display);
        if (!source)
            QSKIP("no X server");
        X11Workspace workspace(source);
        X11WindowList list(source);
        QSignalSpy activated(&workspace, &Workspace::applicationActivated);

        xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
        QVERIFY(!xcb_connection_has_error(connection));
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const xcb_window_t id = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, id, screen->root, 0, 0, 400, 300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        const char windowClass[] = "Navigator\0firefox-esr";
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof(windowClass), windowClass);
        const QByteArray title = u"Saved page — Mozilla Firefox"_s.toUtf8();
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom(connection, "_NET_WM_NAME"), atom(connection, "UTF8_STRING"), 8,
                            uint32_t(title.size()), title.constData());
        const uint32_t processId = uint32_t(QCoreApplication::applicationPid());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &processId);
        xcb_map_window(connection, id);
        // No window manager runs under a bare Xvfb: the test keeps the root's lists itself.
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root, atom(connection, "_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW,
                            32, 1, &id);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root, atom(connection, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1,
                            &id);
        xcb_flush(connection);

        QVERIFY(activated.wait(2000));
        QCOMPARE(activated.constFirst().constFirst().toString(), u"firefox"_s);
        QCOMPARE(workspace.frontmostApplicationId(), std::optional(u"firefox"_s));
        QCOMPARE(list.topmostWindow(u"firefox"_s).value_or(BrowserWindow()).title, QString::fromUtf8(title));
        QTRY_COMPARE(list.onScreenWindows().value().value(0).value(u"kCGWindowLayer"_s), QVariant(0));
        QCOMPARE(list.onScreenWindows()->constFirst().value(u"kCGWindowOwnerPID"_s).toInt(), int(processId));
        xcb_disconnect(connection);
    }
};

QTEST_GUILESS_MAIN(X11PlatformTest)
#include "x11platformtest.moc"
