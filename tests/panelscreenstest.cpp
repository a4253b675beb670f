#include "authenticationcard.h"
#include "browsercapture.h"
#include "hostregistration.h"
#include "library.h"
#include "localstoremanager.h"
#include "passwordchangeform.h"
#include "shellsupport.h"
#include "support/stubserver.h"
#include "support/testdata.h"
#include "thumbnailimageprovider.h"
#include "translation.h"
#include "updatecheck.h"
#include "websiteitemmenuhelper.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QMenu>
#include <QQuickImageResponse>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
const User kUser{.id = 7, .email = u"ada@example.org"_s, .createdAt = {}};

// Websites 1 to count, newest last, so the library shows them from count down to 1.
QList<SavedWebsite> library(int count)
{
    QList<SavedWebsite> websites;
    for (int id = 1; id <= count; ++id) {
        websites.append({.id = id,
                         .url = u"https://www.site%1.test/article"_s.arg(id),
                         .title = u"Website number %1"_s.arg(id),
                         .isPinned = id == 3 ? std::optional(true) : std::nullopt,
                         .createdAt = u"2024-01-%1T10:00:00Z"_s.arg(id, 2, 10, QChar(u'0'))});
    }
    return websites;
}

StubServer::Response websiteAnswer(const SavedWebsite &website)
{
    return StubServer::json(200, SingleWebsiteResponse{website}.toJson());
}

// The interactive items a screen reader finds on screen, from a window's accessible interface down,
// and the controls Tab reaches that it does not find by name.
struct AccessibleWalk {
    QHash<const QObject *, QString> named;
    QSet<const QObject *> seen;
    QStringList unnamed;
    int interactive = 0;

    explicit AccessibleWalk(QQuickWindow *window)
    {
        visit(QAccessible::queryAccessibleInterface(window));
        checkReachable(window->contentItem());
    }

    void visit(QAccessibleInterface *node)
    {
        static const QSet<QAccessible::Role> kInteractive{QAccessible::Button,       QAccessible::CheckBox, QAccessible::RadioButton,
                                                          QAccessible::EditableText, QAccessible::MenuItem, QAccessible::Link,
                                                          QAccessible::PageTab,      QAccessible::ComboBox};
        if (!node || node->state().invisible)
            return;
        if (kInteractive.contains(node->role())) {
            ++interactive;
            seen.insert(node->object());
            const QString name = node->text(QAccessible::Name).trimmed();
            if (name.isEmpty())
                report(node->object());
            else
                named.insert(node->object(), name);
        }
        for (int index = 0; index < node->childCount(); ++index)
            visit(node->child(index));
    }

    // A control without an accessible part of its own is missing from the tree altogether.
    void checkReachable(const QQuickItem *item)
    {
        if (!item->isVisible())
            return;
        if (item->activeFocusOnTab() && !seen.contains(item)) {
            ++interactive;
            report(item);
        }
        for (const QQuickItem *child : item->childItems())
            checkReachable(child);
    }

    void report(const QObject *object)
    {
        unnamed.append(object ? object->objectName() + u'(' + QString::fromLatin1(object->metaObject()->className()) + u')' : u"?"_s);
    }
};

// Stands in for the default browser.
class UrlRecorder : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }

public:
    QList<QUrl> opened;
};

}

// The four screens driven as a user would, over a real view model talking to a stub backend.
class PanelScreensTest : public QObject
{
    Q_OBJECT

    // The panel of the current case over the stub server with a library of `count`, signed in
    // unless told otherwise.
    std::unique_ptr<Panel> openPanel(int count, const QByteArray &appearance = "light", bool signedIn = true, bool browserAccess = false)
    {
        m_server->on("GET", u"/api/websites"_s, StubServer::json(200, WebsitesResponse{library(count)}.toJson()));
        return std::make_unique<Panel>(Panel::Options{.signedInUser = signedIn ? std::optional(kUser) : std::nullopt,
                                                      .appearance = appearance,
                                                      .portalUrl = m_server->baseUrl(),
                                                      .websites = library(count),
                                                      .browserPermission = browserAccess});
    }

    static QQuickItem *websiteItem(const Panel &panel, qint64 id)
    {
        for (QQuickItem *item : panel.items("websiteItem")) {
            if (item->property("websiteId").toLongLong() == id)
                return item;
        }
        return nullptr;
    }

    static QQuickItem *inside(QQuickItem *root, const char *objectName)
    {
        QList<QQuickItem *> found;
        if (root)
            collectItems(root, QString::fromLatin1(objectName), found);
        return found.value(0);
    }

    // The item menus of the panel's own engine.
    static WebsiteItemMenuHelper &menus(const Panel &panel)
    {
        return *panel.window->engine()->singletonInstance<WebsiteItemMenuHelper *>(qmlTypeId("Corvane", 1, 0, "WebsiteItemMenuHelper"));
    }

    // Opens a website's menu by its button, or by a key on the focused item when `key` is given.
    QMenu *openMenu(const Panel &panel, qint64 id, QKeyCombination key = {})
    {
        // The native menu would wait for a person; the tests choose its entries themselves.
        menus(panel).setPresenter([this](QMenu &menu, QPoint) { m_menu = &menu; });
        m_menu.clear();
        if (key.key() == Qt::Key_unknown) {
            panel.click(inside(websiteItem(panel, id), "optionsButton"));
        } else {
            inside(websiteItem(panel, id), "openWebsite")->forceActiveFocus(Qt::TabFocusReason);
            QTest::keyClick(panel.window.get(), key.key(), key.keyboardModifiers());
        }
        return m_menu;
    }

    // The rows the list view holds, whether scrolled into sight or not.
    static int shownCount(const Panel &panel)
    {
        const auto *view = panel.item("websitesLoader")->property("item").value<QObject *>();
        return view ? view->property("count").toInt() : 0;
    }

    // The website items on screen, in reading order.
    static QList<QQuickItem *> shownItems(const Panel &panel)
    {
        QList<QQuickItem *> items = panel.items("websiteItem");
        items.removeIf([](const QQuickItem *item) { return !item->isVisible(); });
        std::sort(items.begin(), items.end(), [](const QQuickItem *a, const QQuickItem *b) {
            const QPointF first = a->mapToScene({}), second = b->mapToScene({});
            return std::pair(first.y(), first.x()) < std::pair(second.y(), second.x());
        });
        return items;
    }

    static QStringList shownTitles(const Panel &panel)
    {
        QStringList titles;
        for (const QQuickItem *item : shownItems(panel))
            titles.append(item->property("title").toString());
        return titles;
    }

    // The words of buttons that need more room than their button gives them.
    static void collectClippedLabels(const QQuickItem *item, QStringList &clipped)
    {
        if (!item->isVisible())
            return;
        const QString text = item->property("text").toString();
        const auto *label = item->property("contentItem").value<QQuickItem *>();
        if (item->inherits("QQuickAbstractButton") && !text.isEmpty() && label && label->implicitWidth() > label->width() + 1)
            clipped.append(text);
        for (const QQuickItem *child : item->childItems())
            collectClippedLabels(child, clipped);
    }

    static bool isSignedIn(const QString &screen)
    {
        return screen != "sign-in"_L1 && screen != "register"_L1 && screen != "reset"_L1 && screen != "no-compositor"_L1;
    }

    // One of the screens of screens_data, past its transitions.
    std::unique_ptr<Panel> openScreen(const QString &screen, const QByteArray &appearance)
    {
        const bool waiting = screen == "waiting"_L1;
        const bool alreadySaved = screen == "already-saved"_L1;
        auto panel = openPanel(screen == "empty-dashboard"_L1 ? 0 : 12, appearance, isSignedIn(screen), waiting || alreadySaved);
        // Without a compositor, where transparent pixels show black.
        panel->window->setComposited(screen != "no-compositor"_L1);
        if (waiting)
            panel->environment.tabReader()->answer(u"chrome"_s, u"|||Release notes"_s, true);
        if (alreadySaved)
            panel->environment.tabReader()->answer(u"chrome"_s, u"https://www.site2.test/article/#comments|||Website number 2"_s);
        if (waiting || alreadySaved)
            panel->environment.workspace()->processApplicationIds = {{2, u"chrome"_s}};
        if (screen == "register"_L1)
            panel->click("registerTab");
        else if (screen == "reset"_L1)
            panel->click("forgotPassword");
        panel->model->setShowSettings(screen == "settings"_L1);
        if (screen == "reads-explained"_L1)
            panel->click("readsChip");
        QTest::qWait(700);
        return panel;
    }

    // A fresh backend per case, so request counts are the case's own.
    std::unique_ptr<StubServer> m_server;
    QTemporaryDir m_home;
    QPointer<QMenu> m_menu;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(QStringLiteral(CORVANE_SCREENSHOT_DIR)));
        // A home of the tests' own, where Firefox has the bridge registered and Chromium not yet.
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(u".config"_s).toUtf8());
        QVERIFY(QDir(m_home.path()).mkpath(u".mozilla"_s));
        QCOMPARE(HostRegistration(m_home.path(), QCoreApplication::applicationFilePath()).connectBrowsers().size(), 1);
        QVERIFY(QDir(m_home.path()).mkpath(u".config/chromium"_s));
    }
    void init() { m_server = std::make_unique<StubServer>(); }

    // The code screen after a reset is asked for: the eyes show both passwords, and a refused code
    // shows its error above the confirmation.
    void resetCodeScreen()
    {
        m_server->on("POST", u"/api/auth/forgot-password"_s, StubServer::json(200, QJsonObject{{u"message"_s, u"sent"_s}}));
        Panel panel({.portalUrl = m_server->baseUrl()});
        panel.click("passwordFieldEye");
        QCOMPARE(panel.item("passwordFieldInput")->property("echoMode").toInt(), 0);
        panel.click("forgotPassword");
        QTRY_COMPARE(panel.text("authTitle"), u"Reset Password"_s);
        panel.type("emailFieldInput", u"ada@example.org"_s);
        panel.click("authSubmit");
        QTRY_COMPARE(panel.text("authTitle"), u"Verification Code"_s);
        QCOMPARE(panel.item("authSubmit")->property("text").toString(), u"Reset Password"_s);
        QVERIFY(panel.shows("authSuccess") && !panel.shows("emailField") && !panel.shows("authTabs"));
        QTRY_VERIFY(panel.item("otpFieldInput")->hasActiveFocus());
        QCOMPARE(panel.item("newPasswordFieldInput")->property("echoMode").toInt(), 0);
        panel.click("authSubmit");
        QTRY_VERIFY(panel.shows("authError"));
        QVERIFY(panel.shows("authSuccess"));
        QTRY_VERIFY(panel.item("authError")->y() < panel.item("authSuccess")->y());
    }

    void signInAndOut()
    {
        m_server->on("POST", u"/api/auth/login"_s,
                     StubServer::json(200, QJsonObject{{u"token"_s, u"fresh"_s}, {u"user"_s, kUser.toJson()}}));
        m_server->on("GET", u"/api/websites"_s, StubServer::json(200, WebsitesResponse{}.toJson()));
        Panel panel({.portalUrl = m_server->baseUrl()});
        // Tab walks the form in reading order, and Space ticks the box as a click does.
        QTRY_VERIFY(panel.item("emailFieldInput")->hasActiveFocus());
        QStringList order;
        for (int step = 0; step < 5; ++step) {
            QTest::keyClick(panel.window.get(), Qt::Key_Tab);
            order.append(panel.window->activeFocusItem()->objectName());
        }
        QCOMPARE(order,
                 (QStringList{u"passwordFieldInput"_s, u"passwordFieldEye"_s, u"rememberAccount"_s, u"forgotPassword"_s, u"authSubmit"_s}));
        const bool remembered = panel.model->account()->rememberMe();
        panel.item("rememberAccount")->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(panel.window.get(), Qt::Key_Space);
        QCOMPARE(panel.model->account()->rememberMe(), !remembered);
        QTest::keyClick(panel.window.get(), Qt::Key_Space);

        panel.type("emailFieldInput", kUser.email);
        // Return in the e-mail field submits nothing.
        QTest::keyClick(panel.window.get(), Qt::Key_Return);
        QVERIFY(!panel.shows("authError"));
        panel.click("authSubmit");
        QTRY_VERIFY(panel.shows("authError"));
        QCOMPARE(panel.text("authError"), panel.model->account()->authError().value_or(QString()));

        panel.type("passwordFieldInput", u"secret1"_s);
        QCOMPARE(panel.item("passwordFieldInput")->property("echoMode").toInt(), 2); // masked
        QTest::keyClick(panel.window.get(), Qt::Key_Return);
        QTRY_COMPARE(panel.currentScreen(), u"dashboard"_s);
        QTRY_VERIFY(panel.shows("dashboardView"));
        // Once the card has grown to the window.
        QTRY_COMPARE(panel.item("panelCard")->height(), qreal(panel.window->height()));

        panel.click("settingsButton");
        QTRY_VERIFY(panel.shows("signOutButton"));
        // Quit is there only where no tray menu offers it.
        QVERIFY(!panel.shows("quitButton"));
        panel.model->setHasTrayIcon(false);
        QTRY_VERIFY(panel.shows("quitButton"));
        panel.waitUntilStill("signOutButton");
        panel.click("signOutButton");
        QTRY_COMPARE(panel.currentScreen(), u"authentication"_s);
        QVERIFY(panel.shows("signedOutQuitButton"));
        QTRY_VERIFY(panel.shows("authCardView"));
        QVERIFY(!panel.shows("headerRightGroup"));
        QCOMPARE(panel.text("emailFieldInput"), kUser.email);
        QCOMPARE(panel.text("passwordFieldInput"), u"secret1"_s);
    }

    void allowShowsThePlaceholderUntilPaused()
    {
        const auto panel = openPanel(0);
        QTRY_VERIFY(panel->shows("permissionCard"));
        QVERIFY(!panel->shows("activeTabCard"));
        panel->click("allowButton");
        QTRY_VERIFY(panel->shows("activeTabCard"));
        QVERIFY(!panel->shows("permissionCard"));
        QCOMPARE(panel->text("tabTitle"), u"Reading active browser tab..."_s);
        QCOMPARE(panel->text("browserName"), u"BROWSER"_s);
        QVERIFY(!panel->shows("tabDomain"));

        // The browser badge pauses access again.
        panel->waitUntilStill("browserBadge");
        panel->click("browserBadge");
        QTRY_VERIFY(panel->shows("permissionCard"));
        QVERIFY(!panel->model->capture()->hasBrowserPermission());
    }

    void savingATypedAddressOutlinesTheNewItem()
    {
        const QString address = m_server->baseUrl() + u"/article"_s;
        m_server->on("GET", u"/article"_s, StubServer::text(200, "<html><body><p>Words</p></body></html>", "text/html"));
        const SavedWebsite saved{.id = 99, .url = address, .title = u"Typed"_s, .createdAt = u"2030-01-01T00:00:00Z"_s};
        m_server->on("POST", u"/api/websites"_s, websiteAnswer(saved));
        const auto panel = openPanel(3);
        panel->click("allowButton");
        QTRY_VERIFY(panel->shows("manualUrlToggle"));
        panel->waitUntilStill("manualUrlToggle");
        panel->click("manualUrlToggle");
        QTRY_VERIFY(panel->shows("manualUrlInput"));
        panel->waitUntilStill("manualUrlInput");
        panel->type("manualUrlInput", address);
        QTest::keyClick(panel->window.get(), Qt::Key_Return);

        QTRY_VERIFY(websiteItem(*panel, 99));
        QCOMPARE(panel->text("saveButton"), u"Saved"_s);
        const auto outline
            = [&panel] { return websiteItem(*panel, 99)->property("border").value<QObject *>()->property("color").value<QColor>(); };
        const QColor accent = QColor::fromRgbF(0.063, 0.725, 0.506);
        QTRY_COMPARE(outline().rgb(), accent.rgb());
        // The outline and the checkmark last 1.6 s, then both go back.
        QTest::qWait(1000);
        QCOMPARE(outline().rgb(), accent.rgb());
        QTRY_VERIFY_WITH_TIMEOUT(outline().alpha() < 40, 1500);
        QCOMPARE(panel->text("saveButton"), u"Save"_s);
    }

    void emptyStates_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("title");
        QTest::newRow("empty library") << 0 << QString() << u"No saved websites yet"_s;
        QTest::newRow("no hits") << 4 << u"zebra"_s << u"No matching websites"_s;
        // The filter ignores a blank search, the empty state does not: nothing matches nothing.
        QTest::newRow("blank search of an empty library") << 0 << u"   "_s << u"No matching websites"_s;
    }

    void emptyStates()
    {
        QFETCH(int, count);
        QFETCH(QString, search);
        QFETCH(QString, title);
        const auto panel = openPanel(count);
        if (!search.isEmpty())
            panel->type("searchInput", search);
        QTRY_VERIFY(panel->shows("emptyState"));
        QCOMPARE(panel->text("emptyTitle"), title);
        QVERIFY(panel->item("websitesLoader")->property("item").value<QObject *>() == nullptr);
    }

    void searchClearAndShowMore()
    {
        const auto panel = openPanel(12);
        QTRY_COMPARE(shownTitles(*panel).size(), 5);
        QVERIFY(!panel->shows("clearSearch"));
        panel->type("searchInput", u"1"_s);
        QVERIFY(panel->shows("clearSearch"));
        panel->type("searchInput", u"2"_s);
        QCOMPARE(panel->model->library()->searchQuery(), u"12"_s);
        QTRY_COMPARE(shownTitles(*panel), QStringList{u"Website number 12"_s});
        // The badge counts the whole library, not the hits.
        QCOMPARE(panel->text("websiteCount"), u"12"_s);

        panel->click("clearSearch");
        QCOMPARE(panel->model->library()->searchQuery(), QString());
        QCOMPARE(panel->text("searchInput"), QString());
        QVERIFY(!panel->shows("clearSearch"));
        QTRY_COMPARE(shownTitles(*panel).size(), 5);
        QCOMPARE(shownCount(*panel), 5);
        QCOMPARE(shownTitles(*panel).first(), u"Website number 3"_s); // pinned first
        for (int expected : {10, 12}) {
            // Show more sits under the last item, below the fold: scrolled to as a user would.
            QVERIFY(QMetaObject::invokeMethod(panel->item("websitesRows"), "positionViewAtEnd"));
            QTRY_VERIFY(panel->shows("showMore"));
            panel->click("showMore");
            QTRY_COMPARE(shownCount(*panel), expected);
        }
        QVERIFY(!panel->shows("showMore"));
    }

    void layout_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("wideLayout");
        QTest::addColumn<QByteArray>("view");
        QTest::newRow("compact with the wide layout on") << 430 << true << QByteArray("websitesGrid");
        QTest::newRow("section just narrower than 500") << 526 << false << QByteArray("websitesRows");
        QTest::newRow("section of 500") << 528 << false << QByteArray("websitesGrid");
    }

    void layout()
    {
        QFETCH(int, width);
        QFETCH(bool, wideLayout);
        QFETCH(QByteArray, view);
        const auto panel = openPanel(12);
        panel->window->resize(width, 600);
        QTRY_COMPARE(panel->window->width(), width);
        panel->model->setWideLayout(wideLayout);
        QTRY_VERIFY(panel->shows(view.constData()));
        QCOMPARE(panel->items("websitesRows").size() + panel->items("websitesGrid").size(), 1);
        if (view == "websitesGrid") {
            const QQuickItem *card = websiteItem(*panel, 12);
            QVERIFY(card->width() >= 140 && card->width() <= 195);
            QCOMPARE(card->height(), 155.0);
            for (QQuickItem *item : shownItems(*panel))
                QCOMPARE(inside(item, "pinBadge")->isVisible(), item->property("websiteId").toLongLong() == 3);
        }
    }

    void menuActions_data()
    {
        QTest::addColumn<qint64>("id"); // website 3 is the pinned one
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QKeyCombination>("key"); // none: the options button
        QTest::newRow("pin") << qint64(12) << u"Pin to Top"_s << QKeyCombination();
        QTest::newRow("unpin, menu key") << qint64(3) << u"Unpin Website"_s << QKeyCombination(Qt::Key_Menu);
        QTest::newRow("share, Shift+F10") << qint64(12) << u"Share..."_s << (Qt::ShiftModifier | Qt::Key_F10);
        QTest::newRow("copy") << qint64(11) << u"Copy Link"_s << QKeyCombination();
        QTest::newRow("delete") << qint64(12) << u"Delete"_s << QKeyCombination();
        // Edit Title is titleEditing's.
    }

    void menuActions()
    {
        QFETCH(qint64, id);
        QFETCH(QString, entry);
        QFETCH(QKeyCombination, key);
        const QString pinEntry = id == 3 ? u"Unpin Website"_s : u"Pin to Top"_s;
        const QString pinSymbol = id == 3 ? u"pin.slash"_s : u"pin"_s;
        SavedWebsite answer = library(12).at(int(id) - 1);
        answer.isPinned = id != 3;
        m_server->on("PATCH", u"/api/websites/%1/pin"_s.arg(id), websiteAnswer(answer));
        m_server->on("DELETE", u"/api/websites/%1"_s.arg(id), StubServer::json(200, QJsonObject{{u"deletedId"_s, id}}));
        const auto panel = openPanel(12);
        QTRY_VERIFY(websiteItem(*panel, id));

        QMenu *menu = openMenu(*panel, id, key);
        QVERIFY(menu);
        QCOMPARE(menu->title(), u"Options"_s);
        QStringList texts, symbols;
        for (const QAction *action : menu->actions()) {
            texts.append(action->isSeparator() ? u"-"_s : action->text());
            symbols.append(action->property("symbol").toString());
            QVERIFY(action->isSeparator() || !action->icon().isNull());
        }
        QCOMPARE(texts, (QStringList{pinEntry, u"Share..."_s, u"Copy Link"_s, u"Edit Title"_s, u"-"_s, u"Delete"_s}));
        QCOMPARE(symbols, (QStringList{pinSymbol, u"square.and.arrow.up"_s, u"doc.on.doc"_s, u"pencil"_s, QString(), u"trash"_s}));

        const auto chosen = std::find_if(menu->actions().cbegin(), menu->actions().cend(),
                                         [&entry](const QAction *action) { return action->text() == entry; });
        (*chosen)->trigger();
        const QString url = library(12).at(int(id) - 1).url;
        // What each entry sends and when the library changes is librarytest's; here, that it is wired.
        if (entry == pinEntry) {
            if (id == 3) {
                // Unpinned, the oldest but two drops out of the first five.
                QTRY_VERIFY(!websiteItem(*panel, id));
            } else {
                QTRY_COMPARE(panel->model->library()->websiteList()->websites().first().id, id);
                QTRY_VERIFY(inside(websiteItem(*panel, id), "pinBadge")->isVisible());
            }
        } else if (entry == "Share..."_L1 || entry == "Copy Link"_L1) {
            // Sharing has no picker here and copies the link too.
            QCOMPARE(panel->environment.clipboard()->texts, QStringList{url});
        } else {
            // No question asked: the website goes once the backend confirms.
            QTRY_VERIFY(!websiteItem(*panel, id));
        }
    }

    void titleEditing_data()
    {
        QTest::addColumn<bool>("wide");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expected");
        // The editor takes its keys itself; each kind of item hands it the library that renames.
        QTest::newRow("row, Return") << false << int(Qt::Key_Return) << u"Website number 11 renamed"_s;
        QTest::newRow("row, Escape") << false << int(Qt::Key_Escape) << u"Website number 11"_s;
        QTest::newRow("card, Return") << true << int(Qt::Key_Return) << u"Website number 11 renamed"_s;
    }

    void titleEditing()
    {
        QFETCH(bool, wide);
        QFETCH(int, key);
        QFETCH(QString, expected);
        SavedWebsite renamed = library(12).at(10);
        renamed.title = u"Website number 11 renamed"_s;
        StubServer::Response answer = websiteAnswer(renamed);
        answer.delay = 300ms;
        m_server->on("PUT", u"/api/websites/11"_s, answer);
        const auto panel = openPanel(12);
        panel->model->setWideLayout(wide);
        QTRY_VERIFY(panel->shows(wide ? "websitesGrid" : "websitesRows"));

        openMenu(*panel, 11)->actions().at(3)->trigger();
        QTRY_VERIFY(inside(websiteItem(*panel, 11), "titleEditorInput"));
        QTRY_VERIFY(inside(websiteItem(*panel, 11), "titleEditorInput")->hasActiveFocus());
        typeText(panel->window.get(), u" renamed"_s);
        QTest::keyClick(panel->window.get(), Qt::Key(key));
        // The editor closes at once; the title follows the backend's answer.
        QTRY_VERIFY(!inside(websiteItem(*panel, 11), "titleEditor"));
        QCOMPARE(websiteItem(*panel, 11)->property("title").toString(), u"Website number 11"_s);
        QTRY_COMPARE(websiteItem(*panel, 11)->property("title").toString(), expected);
        // What goes out is the stored title with the typing added to it.
        const QList<StubServer::Request> sent = m_server->requestsTo(u"/api/websites/11"_s);
        QCOMPARE(sent.size(), key == Qt::Key_Return ? 1 : 0);
        QVERIFY(sent.isEmpty() || sent.first().body.contains("\"Website number 11 renamed\""));
    }

    void opensWebsiteAddress()
    {
        UrlRecorder browser;
        QDesktopServices::setUrlHandler(u"https"_s, &browser, "open");
        const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(u"https"_s); });
        const auto panel = openPanel(12);
        QTRY_VERIFY(websiteItem(*panel, 12));
        panel->click(inside(websiteItem(*panel, 12), "openWebsite"));
        QCOMPARE(browser.opened, QList<QUrl>{QUrl(u"https://www.site12.test/article"_s)});
        QVERIFY(!menus(*panel).openWebsite(u"not an address"_s));
        QCOMPARE(browser.opened.size(), 1);
    }

    void settingsSwitchesSurviveRestart_data()
    {
        QTest::addColumn<QByteArray>("switchName");
        QTest::addColumn<bool>("initially");
        QTest::newRow("e-mail in the top bar") << QByteArray("showEmailSwitch") << true;
        QTest::newRow("browser access") << QByteArray("browserAccessSwitch") << false;
        QTest::newRow("start at log-in") << QByteArray("logInStartSwitch") << false;
    }

    void settingsSwitchesSurviveRestart()
    {
        QFETCH(QByteArray, switchName);
        QFETCH(bool, initially);
        auto panel = openPanel(0);
        const auto isOn = [&panel, &switchName] { return panel->item(switchName.constData())->property("isOn").toBool(); };
        panel->model->setShowSettings(true);
        QTRY_VERIFY(panel->shows(switchName.constData()));
        QCOMPARE(isOn(), initially);
        panel->waitUntilStill(switchName.constData());
        panel->click(switchName.constData());
        QTRY_COMPARE(isOn(), !initially);

        panel->open(m_server->baseUrl());
        QVERIFY(panel->model->isAuthenticated());
        panel->model->setShowSettings(true);
        QTRY_VERIFY(panel->shows(switchName.constData()));
        QCOMPARE(isOn(), !initially);
    }

    // The update, export and password rows of the settings screen.
    void settingsRows()
    {
        m_server->on("GET", u"/api/version"_s, StubServer::json(200, QJsonObject{{u"latestVersion"_s, u"9.0.0"_s}}));
        const auto panel = openPanel(0);
        panel->model->setShowSettings(true);
        QTRY_VERIFY(panel->shows("updateButton"));
        QCOMPARE(panel->text("updateLabelNote"), u"Version 1.0.0 · Linux"_s);
        const auto bridgeStates = [&panel] {
            QStringList states;
            for (const QQuickItem *state : panel->items("bridgeState"))
                states.append(state->property("text").toString());
            return states;
        };
        QCOMPARE(bridgeStates(), (QStringList{u"Add-on missing"_s, u"Host not registered"_s}));
        panel->click("connectBrowsersButton");
        QTRY_COMPARE(bridgeStates(), (QStringList{u"Add-on missing"_s, u"Add-on missing"_s}));
        // The other cases show Chromium unregistered.
        QVERIFY(QFile::remove(m_home.filePath(u".config/chromium/NativeMessagingHosts/app.corvane.bridge.json"_s)));
        QCOMPARE(panel->item("updateButton")->property("text").toString(), u"Check"_s);
        panel->click("updateButton");
        QTRY_COMPARE(panel->item("updateButton")->property("text").toString(), u"Download"_s);
        QCOMPARE(panel->text("updateLabelNote"), panel->model->updateCheck()->updateStatusText());
        QCOMPARE(panel->item("updateLabelNote")->property("color").value<QColor>().rgb(), QColor::fromRgbF(0.063, 0.725, 0.506).rgb());

        QTRY_VERIFY(panel->shows("exportButton"));
        panel->click("exportButton");
        QCOMPARE(panel->environment.saveDialog()->questions.size(), 1);
        QVERIFY(!panel->shows("exportError"));

        // A failed export says so on the panel until the next one succeeds.
        panel->environment.saveDialog()->answer = panel->environment.path(u"missing/folder/export.json"_s);
        panel->click("exportButton");
        QTRY_VERIFY(panel->shows("exportError"));
        panel->environment.saveDialog()->answer = panel->environment.path(u"export.json"_s);
        panel->click("exportButton");
        QTRY_VERIFY(!panel->shows("exportError"));

        // The password form opens again without its old error, keeping what was typed.
        QTRY_VERIFY(panel->shows("changePasswordButton"));
        panel->click("changePasswordButton");
        QTRY_VERIFY(panel->shows("updatePasswordButton"));
        panel->waitUntilStill("updatePasswordButton");
        panel->type("currentPasswordInput", u"old-one"_s);
        panel->click("updatePasswordButton");
        QTRY_VERIFY(panel->shows("changePasswordError"));
        panel->click("changePasswordButton");
        QTRY_VERIFY(!panel->shows("updatePasswordButton"));
        panel->click("changePasswordButton");
        QTRY_VERIFY(panel->shows("updatePasswordButton"));
        QCOMPARE(panel->text("currentPasswordInput"), u"old-one"_s);
        QVERIFY(!panel->shows("changePasswordError"));
    }

    void screens_data()
    {
        QTest::addColumn<QByteArray>("appearance");
        QTest::addColumn<QString>("language"); // empty: English
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        const QList<std::tuple<QString, QStringList, QStringList>> screens{
            {u"sign-in"_s,
             {u"authTabs"_s, u"emailField"_s, u"passwordField"_s, u"rememberAccount"_s, u"forgotPassword"_s},
             {u"otpField"_s, u"backToSignIn"_s, u"authError"_s, u"headerRightGroup"_s}},
            {u"register"_s,
             {u"authTabs"_s, u"emailField"_s, u"passwordField"_s},
             {u"rememberAccount"_s, u"forgotPassword"_s, u"backToSignIn"_s}},
            {u"reset"_s, {u"emailField"_s, u"backToSignIn"_s}, {u"authTabs"_s, u"passwordField"_s, u"rememberAccount"_s, u"otpField"_s}},
            {u"dashboard"_s,
             {u"websitesRows"_s, u"headerRightGroup"_s, u"bridgeChip"_s, u"readsChip"_s},
             {u"emptyState"_s, u"authCardView"_s, u"automationSettings"_s, u"accessibilitySettings"_s, u"readsExplanation"_s}},
            {u"reads-explained"_s, {u"readsExplanation"_s, u"bridgeChip"_s}, {u"automationSettings"_s}},
            {u"empty-dashboard"_s, {u"emptyState"_s}, {u"websitesRows"_s}},
            {u"waiting"_s, {u"tabDomain"_s}, {u"permissionCard"_s}},
            {u"no-compositor"_s, {u"emailField"_s}, {u"headerRightGroup"_s}},
            {u"already-saved"_s, {u"alreadySaved"_s, u"saveButton"_s}, {u"permissionCard"_s}},
            {u"settings"_s,
             {u"signOutButton"_s, u"bridgeList"_s, u"connectBrowsersButton"_s, u"logInStartSwitch"_s},
             {u"dashboardView"_s, u"automationSettings"_s, u"accessibilitySettings"_s}}};
        // German has the longest words the panel ships.
        for (const auto &[appearance, language] :
             {std::pair("light"_ba, QString()), std::pair("dark"_ba, QString()), std::pair("light"_ba, u"de"_s)}) {
            for (const auto &[screen, shown, hidden] : screens) {
                QTest::addRow("%s, %s %s", qPrintable(screen), qPrintable(language), appearance.constData())
                    << appearance << language << screen << shown << hidden;
            }
        }
    }

    // Each screen in each appearance and language, saved for review: the card's own shade fills the
    // panel, nothing is drawn past its rounded corners, and no button cuts its words off; without a
    // compositor nothing is see-through and no click passes.
    void screens()
    {
        QFETCH(QByteArray, appearance);
        QFETCH(QString, language);
        QFETCH(QString, screen);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        const bool signedIn = isSignedIn(screen);
        const bool waiting = screen == "waiting"_L1;
        const bool composited = screen != "no-compositor"_L1;
        const auto translation = language.isEmpty() ? nullptr : installTranslation(QLocale(language));
        QVERIFY(language.isEmpty() || translation);
        const auto panel = openScreen(screen, appearance);
        if (screen == "already-saved"_L1) {
            QTRY_VERIFY(panel->shows("alreadySaved"));
            QVERIFY(panel->item("saveButton")->isEnabled());
        }
        if (waiting) {
            QTRY_VERIFY(panel->shows("tabDomain"));
            QCOMPARE(panel->text("tabTitle"), u"Release notes"_s);
            QVERIFY(!panel->item("saveButton")->isEnabled());
        }
        for (const QString &name : shown)
            QVERIFY2(panel->shows(qPrintable(name)), qPrintable(name));
        for (const QString &name : hidden)
            QTRY_VERIFY2(!panel->shows(qPrintable(name)), qPrintable(name));
        // The first field of a form has the keyboard.
        QVERIFY(signedIn || panel->item("emailFieldInput")->hasActiveFocus());
        QStringList clipped;
        collectClippedLabels(panel->window->contentItem(), clipped);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u", "_s)));

        const QImage shot = panel->grab();
        QVERIFY(shot.save(
            QDir(QStringLiteral(CORVANE_SCREENSHOT_DIR))
                .filePath(QStringList{screen, language, QString::fromLatin1(appearance)}.join(u'-').replace(u"--"_s, u"-"_s) + u".png"_s)));
        QCOMPARE(shot.pixelColor(shot.width() / 2, 6).lightness() < 128, appearance == "dark");
        for (const QPoint corner :
             {QPoint(1, 1), QPoint(shot.width() - 2, 1), QPoint(1, shot.height() - 2), QPoint(shot.width() - 2, shot.height() - 2)})
            QCOMPARE(shot.pixelColor(corner).alpha(), composited ? 0 : 255);
        QCOMPARE(panel->window->mask().isEmpty(), signedIn || !composited);

        if (waiting) {
            // A typed address ends the hold; blanks are no address.
            panel->model->capture()->setCustomURLInput(u" "_s);
            QVERIFY(!panel->item("saveButton")->isEnabled());
            panel->model->capture()->setCustomURLInput(u"r.example"_s);
            QVERIFY(panel->item("saveButton")->isEnabled());
        }
    }

    void accessibleNames_data()
    {
        QTest::addColumn<QString>("screen");
        for (const char *screen : {"sign-in", "register", "reset", "dashboard", "empty-dashboard", "waiting", "settings"})
            QTest::newRow(screen) << QString::fromLatin1(screen);
    }

    // What a screen reader is offered: every interactive item on screen has a name, and the screens
    // not shown offer nothing.
    void accessibleNames()
    {
        QFETCH(QString, screen);
        const auto panel = openScreen(screen, "light");
        const AccessibleWalk walk(panel->window.get());
        qInfo("%s: %d of %d interactive items named", qPrintable(screen), int(walk.named.size()), walk.interactive);
        QVERIFY(walk.interactive > 0);
        QVERIFY2(walk.unnamed.isEmpty(), qPrintable(walk.unnamed.join(u", "_s)));
        QCOMPARE(walk.named.values().contains(u"Forgot password?"_s), screen == "sign-in"_L1);
        QCOMPARE(walk.named.values().contains(u"Search saved websites..."_s), isSignedIn(screen) && screen != "settings"_L1);
    }

    void signInLanguage_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("texts"); // title, button, and the view model's answer to an empty form
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany)
                                << QStringList{u"Willkommen zurück"_s, u"Anmelden"_s,
                                               u"Bitte geben Sie Ihre E-Mail-Adresse und Ihr Passwort ein."_s};
        QTest::newRow("C") << QLocale::c() << QStringList{u"Welcome back"_s, u"Sign In"_s, u"Please enter your email and password."_s};
    }

    // The catalogue of the system's language speaks for the views and the view model alike.
    void signInLanguage()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, texts);
        const auto translation = installTranslation(locale);
        QCOMPARE(translation != nullptr, locale.language() == QLocale::German);
        Panel panel({.portalUrl = m_server->baseUrl()});
        panel.click("authSubmit");
        QTRY_VERIFY(panel.shows("authError"));
        QCOMPARE((QStringList{panel.text("authTitle"), panel.text("authSubmit"), panel.text("authErrorText")}), texts);
    }

    void outsideTextIsPlain_data()
    {
        QTest::addColumn<QString>("scene");
        QTest::addColumn<QByteArray>("item");
        QTest::newRow("active tab") << u"tab"_s << QByteArray("tabTitle");
        QTest::newRow("list row") << u"rows"_s << QByteArray("websiteTitle");
        QTest::newRow("grid card") << u"cards"_s << QByteArray("websiteTitle");
        QTest::newRow("e-mail chip") << u"rows"_s << QByteArray("headerEmailText");
        QTest::newRow("settings e-mail") << u"settings"_s << QByteArray("accountEmail");
        QTest::newRow("server message") << u"sign-in"_s << QByteArray("authErrorText");
    }

    // A page title, an address and a server message carrying markup show as written, and the image
    // they name is never fetched.
    void outsideTextIsPlain()
    {
        QFETCH(QString, scene);
        QFETCH(QByteArray, item);
        QTcpServer images;
        QVERIFY(images.listen(QHostAddress::LocalHost));
        const QString markup = u"<img src=\"http://127.0.0.1:%1/x.png\">Caught<b>!</b>"_s.arg(images.serverPort());
        const User user{.id = 7, .email = markup + u"@example.org"_s};
        const SavedWebsite website{.id = 1, .url = u"https://example.org/"_s, .title = markup, .createdAt = u"2024-01-01T10:00:00Z"_s};
        m_server->on("GET", u"/api/websites"_s, StubServer::json(200, WebsitesResponse{{website}}.toJson()));
        m_server->on("POST", u"/api/auth/login"_s, StubServer::json(400, QJsonObject{{u"error"_s, markup}}));
        Panel panel({.signedInUser = scene == "sign-in"_L1 ? std::nullopt : std::optional(user),
                     .portalUrl = m_server->baseUrl(),
                     .websites = {website},
                     .browserPermission = scene == "tab"_L1});
        panel.model->setShowHeaderEmail(true);
        panel.model->setShowSettings(scene == "settings"_L1);
        if (scene == "cards"_L1)
            panel.model->toggleWindowWidth();
        panel.environment.tabReader()->answer(u"chrome"_s, u"https://www.example.com/|||"_s + markup);
        panel.environment.workspace()->processApplicationIds = {{2, u"chrome"_s}};
        panel.model->account()->setEmailInput(u"ada@example.org"_s);
        panel.model->account()->setPasswordInput(u"secret1"_s);
        if (scene == "sign-in"_L1)
            panel.model->account()->submitAuth();

        const QString expected = item.contains("Email") ? user.email : markup;
        QTRY_COMPARE(panel.text(item.constData()), expected);
        QTRY_VERIFY(scene != "cards"_L1 || panel.shows("websitesGrid"));
        // Drawn as markup, the text would be no wider than "Caught!" and an image.
        const QQuickItem *shown = panel.item(item.constData());
        QVERIFY(shown->implicitWidth() > 0.9 * QFontMetricsF(shown->property("font").value<QFont>()).horizontalAdvance(expected));
        QVERIFY(!images.hasPendingConnections() && !images.waitForNewConnection(300));
    }

    void thumbnails_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<int>("downloads");
        QTest::newRow("kept on disk") << u"disk"_s << u"/thumb.png"_s << true << 0;
        QTest::newRow("address with a query") << QString() << u"/thumb.png?size=large&v=2"_s << true << 1;
        QTest::newRow("address that fails") << QString() << u"/missing.png"_s << false << 1;
    }

    void thumbnails()
    {
        QFETCH(QString, stored);
        QFETCH(QString, address);
        QFETCH(bool, loads);
        QFETCH(int, downloads);
        TestEnvironment environment;
        LocalStoreManager store(environment.localStoreDirectory());
        constexpr qint64 id = 41;
        if (stored == "disk"_L1)
            QVERIFY(QImage::fromData(imageBytes(64, Qt::blue)).save(store.thumbnailFile(id), "PNG"));
        m_server->on("GET", u"/thumb.png"_s, StubServer::text(200, imageBytes(64, Qt::red), "image/png"));
        m_server->on("GET", u"/thumb.png?size=large&v=2"_s, StubServer::text(200, imageBytes(64, Qt::red), "image/png"));
        m_server->on("GET", u"/missing.png"_s, StubServer::text(404, QByteArray()));

        QmlObject helper("QtObject { function source(id, url) { return Thumbnails.source(id, url) } }");
        helper.engine.addImageProvider(ThumbnailImageProvider::name, new ThumbnailImageProvider(store));
        QVariant source;
        const QString thumbnailUrl = m_server->baseUrl() + address;
        QVERIFY(QMetaObject::invokeMethod(helper.object.get(), "source", Q_RETURN_ARG(QVariant, source), Q_ARG(QVariant, id),
                                          Q_ARG(QVariant, thumbnailUrl)));
        const QUrl url = source.toUrl();
        QCOMPARE(url.scheme(), u"image"_s);
        QCOMPARE(url.host(), u"thumbnail"_s);

        auto *provider = dynamic_cast<QQuickAsyncImageProvider *>(helper.engine.imageProvider(url.host()));
        QVERIFY(provider);
        std::unique_ptr<QQuickImageResponse> response(
            provider->requestImageResponse(url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).mid(1), QSize(32, 32)));
        QSignalSpy finished(response.get(), &QQuickImageResponse::finished);
        QVERIFY(finished.wait(5000));
        std::unique_ptr<QQuickTextureFactory> texture(response->textureFactory());
        const QImage image = texture ? texture->image() : QImage();
        QCOMPARE(!image.isNull(), loads);
        if (loads) {
            QCOMPARE(image.pixelColor(4, 4), stored == "disk"_L1 ? QColor(Qt::blue) : QColor(Qt::red));
            QVERIFY(image.width() <= 32 && image.height() <= 32);
        }
        QCOMPARE(m_server->requests().size(), downloads);
    }
};

QTEST_MAIN(PanelScreensTest)
#include "panelscreenstest.moc"
