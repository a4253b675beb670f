#pragma once

#include "library.h"
#include "panelwindow.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QSignalSpy>
#include <QTest>

// Every item below root with this object name, in tree order. Views keep their delegates outside
// the QObject tree, so this walks the items.
inline void collectItems(QQuickItem *root, const QString &objectName, QList<QQuickItem *> &found)
{
    if (root->objectName() == objectName)
        found.append(root);
    for (QQuickItem *child : root->childItems())
        collectItems(child, objectName, found);
}

// An object declared in QML, with the application's own types at hand.
struct QmlObject {
    explicit QmlObject(const QByteArray &declaration)
    {
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        QQmlComponent component(&engine);
        component.setData("import Corvane\nimport QtQml\n" + declaration, QUrl());
        object.reset(component.create());
        if (!object)
            qWarning("%s", qPrintable(component.errorString()));
    }

    QQmlEngine engine;
    std::unique_ptr<QObject> object;
};

// The real root view in its panel window over a real view model, in a forced appearance.
struct Panel {
    struct Options {
        std::optional<User> signedInUser;
        QByteArray appearance = "light";
        QString portalUrl = QStringLiteral("https://portal.test");
        // Seeded as the stored copy of the library, shown at start-up.
        QList<SavedWebsite> websites;
        std::optional<bool> browserPermission;
    };

    explicit Panel(const Options &options)
    {
        qputenv("CORVANE_APPEARANCE", options.appearance);
        if (options.signedInUser)
            environment.storeSession(*options.signedInUser);
        {
            const auto preferences = environment.preferences();
            if (!options.websites.isEmpty())
                preferences->setData(Preferences::kSavedWebsites,
                                     QJsonDocument(SavedWebsite::listToJson(options.websites)).toJson(QJsonDocument::Compact));
            if (options.browserPermission)
                preferences->setBool(Preferences::kBrowserPermission, *options.browserPermission);
        }
        open(options.portalUrl);
    }

    ~Panel() { qunsetenv("CORVANE_APPEARANCE"); }

    // A new model and window over the same preferences, as after quitting and starting again.
    void open(const QString &portalUrl)
    {
        window.reset();
        model.reset();
        model = environment.makeViewModel(portalUrl);
        window = std::make_unique<PanelWindow>(model.get());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // The library arrives from disk after the first frame; tests start from the frame that shows it.
        QSignalSpy frame(window.get(), &QQuickWindow::frameSwapped);
        QTRY_VERIFY(!model->library()->isLoading());
        window->update();
        QVERIFY(frame.wait());
    }

    [[nodiscard]] QList<QQuickItem *> items(const char *objectName) const
    {
        QList<QQuickItem *> found;
        collectItems(window->contentItem(), QString::fromLatin1(objectName), found);
        return found;
    }

    [[nodiscard]] QQuickItem *item(const char *objectName) const
    {
        const QList<QQuickItem *> found = items(objectName);
        if (found.isEmpty())
            qWarning("no item named %s", objectName);
        return found.value(0);
    }

    [[nodiscard]] bool shows(const char *objectName) const
    {
        const QList<QQuickItem *> found = items(objectName);
        return std::any_of(found.cbegin(), found.cend(), [](const QQuickItem *item) { return item->isVisible(); });
    }

    void click(QQuickItem *target) const
    {
        QVERIFY(target);
        QTest::mouseClick(window.get(), Qt::LeftButton, {}, target->mapToScene(target->boundingRect().center()).toPoint());
    }

    void click(const char *objectName) const { click(item(objectName)); }

    // Waits for an item to stop moving (a form unfolding, a view scrolling to it) before it is
    // clicked, as a person would.
    void waitUntilStill(const char *objectName) const
    {
        const QQuickItem *target = item(objectName);
        QVERIFY(target);
        for (int attempt = 0; attempt < 50; ++attempt) {
            const QPointF before = target->mapToScene({});
            QTest::qWait(60);
            if (target->mapToScene({}) == before)
                return;
        }
        QFAIL("the item keeps moving");
    }

    // Gives a field the keyboard and types into it as a user would, one key at a time; QtTest has
    // no QWindow form of keyClicks.
    void type(const char *objectName, const QString &text) const
    {
        QQuickItem *field = item(objectName);
        QVERIFY(field);
        field->forceActiveFocus();
        for (const QChar character : text)
            QTest::sendKeyEvent(QTest::Click, window.get(), Qt::Key_unknown, QString(character), Qt::NoModifier);
    }

    [[nodiscard]] QString text(const char *objectName) const
    {
        const QQuickItem *found = item(objectName);
        return found ? found->property("text").toString() : QString();
    }

    [[nodiscard]] QString currentScreen() const { return window->rootObject()->property("currentScreen").toString(); }

    // The root item as drawn, with the transparency around the card that a window grab of the
    // offscreen platform fills in black.
    [[nodiscard]] QImage grab() const
    {
        const QSharedPointer<QQuickItemGrabResult> result = window->rootObject()->grabToImage();
        if (!result)
            return {};
        QSignalSpy ready(result.data(), &QQuickItemGrabResult::ready);
        return ready.wait() ? result->image() : QImage();
    }

    TestEnvironment environment;
    std::unique_ptr<AppViewModel> model;
    std::unique_ptr<PanelWindow> window;
};
