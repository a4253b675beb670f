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

// Calls visit for the item and every item below it that is shown.
template<typename Visit> void forEachShown(const QQuickItem *item, const Visit &visit)
{
    if (!item->isVisible())
        return;
    visit(item);
    for (const QQuickItem *child : item->childItems())
        forEachShown(child, visit);
}

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

    static bool isSignedIn(const QString &screen)
    {
        return !QStringList{u"sign-in"_s, u"register"_s, u"reset"_s, u"reset-code"_s, u"no-compositor"_s}.contains(screen);
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
        else if (screen.startsWith("reset"_L1))
            panel->click("forgotPassword");
        if (screen == "reset-code"_L1) {
            m_server->on("POST", u"/api/auth/forgot-password"_s, StubServer::json(200, QJsonObject{{u"message"_s, u"sent"_s}}));
            panel->model->account()->setEmailInput(kUser.email);
            panel->model->account()->requestPasswordReset();
        }
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

    void signInAndOut()
    {
        m_server->on("POST", u"/api/auth/login"_s,
                     StubServer::json(200, QJsonObject{{u"token"_s, u"fresh"_s}, {u"user"_s, kUser.toJson()}}));
        m_server->on("GET", u"/api/websites"_s, StubServer::json(200, WebsitesResponse{library(1)}.toJson()));
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

        panel.type("emailFieldInput", kUser.email);
        panel.click("authSubmit");
        QTRY_VERIFY(panel.shows("authError"));

        panel.type("passwordFieldInput", u"secret1"_s);
        QCOMPARE(panel.item("passwordFieldInput")->property("echoMode").toInt(), 2); // masked
        QTest::keyClick(panel.window.get(), Qt::Key_Return);
        QTRY_COMPARE(panel.currentScreen(), u"dashboard"_s);
        // The library is fetched with the new session.
        QTRY_VERIFY(websiteItem(panel, 1));
        QCOMPARE(m_server->requestsTo(u"/api/websites"_s).first().header("Authorization"), "Bearer fresh"_ba);
        // The session outlives a restart.
        panel.open(m_server->baseUrl());
        QTRY_COMPARE(panel.currentScreen(), u"dashboard"_s);

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
    }

    void savingATypedAddressThenPausing()
    {
        const QString address = m_server->baseUrl() + u"/article"_s;
        m_server->on("GET", u"/article"_s, StubServer::text(200, "<html><body><p>Words</p></body></html>", "text/html"));
        const SavedWebsite saved{.id = 99, .url = address, .title = u"Typed"_s, .createdAt = u"2030-01-01T00:00:00Z"_s};
        m_server->on("POST", u"/api/websites"_s, websiteAnswer(saved));
        const auto panel = openPanel(3);
        panel->click("allowButton");
        // No browser answers: the tab card shows its placeholder.
        QTRY_COMPARE(panel->text("tabTitle"), u"Reading active browser tab..."_s);
        QTRY_VERIFY(panel->shows("manualUrlToggle"));
        panel->waitUntilStill("manualUrlToggle");
        panel->click("manualUrlToggle");
        QTRY_VERIFY(panel->shows("manualUrlInput"));
        panel->waitUntilStill("manualUrlInput");
        panel->type("manualUrlInput", address);
        QTest::keyClick(panel->window.get(), Qt::Key_Return);

        QTRY_VERIFY(websiteItem(*panel, 99));
        QCOMPARE(panel->text("saveButton"), u"Saved"_s);

        // The browser badge pauses access again.
        panel->waitUntilStill("browserBadge");
        panel->click("browserBadge");
        QTRY_VERIFY(panel->shows("permissionCard"));
        QVERIFY(!panel->model->capture()->hasBrowserPermission());
    }

    void searchClearAndShowMore()
    {
        const auto panel = openPanel(12);
        QTRY_COMPARE(shownCount(*panel), 5);
        QVERIFY(!panel->shows("clearSearch"));
        panel->type("searchInput", u"1"_s);
        QVERIFY(panel->shows("clearSearch"));
        panel->type("searchInput", u"2"_s);
        QCOMPARE(panel->model->library()->searchQuery(), u"12"_s);
        QTRY_COMPARE(shownCount(*panel), 1);
        QVERIFY(websiteItem(*panel, 12));
        panel->type("searchInput", u"x"_s);
        QTRY_COMPARE(panel->text("emptyTitle"), u"No matching websites"_s);

        panel->click("clearSearch");
        QCOMPARE(panel->model->library()->searchQuery(), QString());
        QCOMPARE(panel->text("searchInput"), QString());
        QVERIFY(!panel->shows("clearSearch"));
        QTRY_COMPARE(shownCount(*panel), 5);
        for (int expected : {10, 12}) {
            // Show more sits under the last item, below the fold: scrolled to as a user would.
            QVERIFY(QMetaObject::invokeMethod(panel->item("websitesRows"), "positionViewAtEnd"));
            QTRY_VERIFY(panel->shows("showMore"));
            panel->click("showMore");
            QTRY_COMPARE(shownCount(*panel), expected);
        }
        QVERIFY(!panel->shows("showMore"));
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
        SavedWebsite answer = library(12).at(int(id) - 1);
        answer.isPinned = id != 3;
        m_server->on("PATCH", u"/api/websites/%1/pin"_s.arg(id), websiteAnswer(answer));
        m_server->on("DELETE", u"/api/websites/%1"_s.arg(id), StubServer::json(200, QJsonObject{{u"deletedId"_s, id}}));
        const auto panel = openPanel(12);
        QTRY_VERIFY(websiteItem(*panel, id));

        QMenu *menu = openMenu(*panel, id, key);
        QVERIFY(menu);
        // The pinned website's menu offers to unpin it, the others to pin.
        const QList<QAction *> actions = menu->actions();
        const auto chosen
            = std::find_if(actions.cbegin(), actions.cend(), [&entry](const QAction *action) { return action->text() == entry; });
        QVERIFY(chosen != actions.cend());
        (*chosen)->trigger();
        const QString url = library(12).at(int(id) - 1).url;
        // What each entry sends and when the library changes is librarytest's; here, that it is wired.
        if (entry.contains("Pin"_L1, Qt::CaseInsensitive)) {
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
        m_server->on("PUT", u"/api/websites/11"_s, websiteAnswer(renamed));
        const auto panel = openPanel(12);
        panel->model->setWideLayout(wide);
        QTRY_VERIFY(panel->shows(wide ? "websitesGrid" : "websitesRows"));
        // Exactly the pinned website wears the badge, as a card and as a row.
        QTRY_VERIFY(websiteItem(*panel, 3));
        for (QQuickItem *item : panel->items("websiteItem")) {
            if (item->isVisible())
                QCOMPARE(inside(item, "pinBadge")->isVisible(), item->property("websiteId").toLongLong() == 3);
        }

        openMenu(*panel, 11)->actions().at(3)->trigger();
        QTRY_VERIFY(inside(websiteItem(*panel, 11), "titleEditorInput"));
        QTRY_VERIFY(inside(websiteItem(*panel, 11), "titleEditorInput")->hasActiveFocus());
        panel->type("titleEditorInput", u" renamed"_s);
        QTest::keyClick(panel->window.get(), Qt::Key(key));
        QTRY_VERIFY(!inside(websiteItem(*panel, 11), "titleEditor"));
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

        // An export to a folder that is not there fails, and the panel says so.
        QTRY_VERIFY(panel->shows("exportButton"));
        panel->environment.saveDialog()->answer = panel->environment.path(u"missing/folder/export.json"_s);
        panel->click("exportButton");
        QCOMPARE(panel->environment.saveDialog()->questions.size(), 1);
        QTRY_VERIFY(panel->shows("exportError"));

        QTRY_VERIFY(panel->shows("changePasswordButton"));
        panel->click("changePasswordButton");
        QTRY_VERIFY(panel->shows("updatePasswordButton"));
        panel->waitUntilStill("updatePasswordButton");
        panel->type("currentPasswordInput", u"old-one"_s);
        panel->click("updatePasswordButton");
        QTRY_VERIFY(panel->shows("changePasswordError"));
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
            {u"reset-code"_s, {u"otpField"_s, u"newPasswordField"_s, u"authSuccess"_s}, {u"emailField"_s, u"authTabs"_s}},
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
    // panel, nothing is drawn past its rounded corners, no button cuts its words off and a screen
    // reader has a name for every control Tab reaches; without a compositor nothing is see-through
    // and no click passes.
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
        for (const QString &name : shown)
            QTRY_VERIFY2(panel->shows(qPrintable(name)), qPrintable(name));
        for (const QString &name : hidden)
            QTRY_VERIFY2(!panel->shows(qPrintable(name)), qPrintable(name));
        // A page the library holds may be saved again; a tab still loading may not.
        if (waiting || screen == "already-saved"_L1)
            QCOMPARE(panel->item("saveButton")->isEnabled(), !waiting);
        if (waiting)
            QCOMPARE(panel->text("tabTitle"), u"Release notes"_s);
        // The first field of a form has the keyboard.
        QTRY_VERIFY(signedIn || panel->item(screen == "reset-code"_L1 ? "otpFieldInput" : "emailFieldInput")->hasActiveFocus());
        if (screen == "sign-in"_L1)
            QCOMPARE(panel->text("authTitle"), language.isEmpty() ? u"Welcome back"_s : u"Willkommen zurück"_s);
        QStringList clipped, unnamed;
        int controls = 0;
        forEachShown(panel->window->contentItem(), [&](const QQuickItem *item) {
            const QString text = item->property("text").toString();
            const auto *label = item->property("contentItem").value<QQuickItem *>();
            if (item->inherits("QQuickAbstractButton") && !text.isEmpty() && label && label->implicitWidth() > label->width() + 1)
                clipped.append(text);
            if (item->activeFocusOnTab()) {
                ++controls;
                // An item without an accessible part of its own is missing from the reader's tree.
                const QAccessibleInterface *node = QAccessible::queryAccessibleInterface(const_cast<QQuickItem *>(item));
                if (!node || node->text(QAccessible::Name).trimmed().isEmpty())
                    unnamed.append(item->objectName());
            }
        });
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u", "_s)));
        QVERIFY(controls > 0);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));

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

    // A thumbnail kept on disk is shown without a download; any other is fetched from its
    // address, query and all, and shrunk to the size asked for.
    void thumbnails()
    {
        TestEnvironment environment;
        LocalStoreManager store(environment.localStoreDirectory());
        QVERIFY(QImage::fromData(imageBytes(64, Qt::blue)).save(store.thumbnailFile(41), "PNG"));
        const QString address = u"/thumb.png?size=large&v=2"_s;
        m_server->on("GET", address, StubServer::text(200, imageBytes(64, Qt::red), "image/png"));
        QmlObject helper("QtObject { function source(id, url) { return Thumbnails.source(id, url) } }");
        helper.engine.addImageProvider(ThumbnailImageProvider::name, new ThumbnailImageProvider(store));
        const auto load = [&](qint64 id) {
            QVariant source;
            QMetaObject::invokeMethod(helper.object.get(), "source", Q_RETURN_ARG(QVariant, source), Q_ARG(QVariant, id),
                                      Q_ARG(QVariant, m_server->baseUrl() + address));
            const QUrl url = source.toUrl();
            auto *provider = dynamic_cast<QQuickAsyncImageProvider *>(helper.engine.imageProvider(url.host()));
            if (url.scheme() != "image"_L1 || !provider)
                return QImage();
            std::unique_ptr<QQuickImageResponse> response(
                provider->requestImageResponse(url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).mid(1), QSize(32, 32)));
            QSignalSpy finished(response.get(), &QQuickImageResponse::finished);
            const std::unique_ptr<QQuickTextureFactory> texture(finished.wait(5000) ? response->textureFactory() : nullptr);
            return texture ? texture->image() : QImage();
        };
        QCOMPARE(load(41).pixelColor(4, 4), QColor(Qt::blue));
        QVERIFY(m_server->requests().isEmpty());
        const QImage downloaded = load(42);
        QCOMPARE(downloaded.pixelColor(4, 4), QColor(Qt::red));
        QCOMPARE(downloaded.size(), QSize(32, 32));
        QCOMPARE(m_server->requests().size(), 1);
    }
};

QTEST_MAIN(PanelScreensTest)
#include "panelscreenstest.moc"
