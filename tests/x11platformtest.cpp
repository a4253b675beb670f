#include "linux/x11windowlist.h"
#include "linux/x11workspace.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

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
        for (const quint32 id : ids)
            std::ranges::copy_if(stacking, std::back_inserter(found), [id](const X11Window &window) { return window.id == id; });
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
};

QTEST_GUILESS_MAIN(X11PlatformTest)
#include "x11platformtest.moc"
