#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>

class QMenu;

// The native menu of one saved website and the target of its commands. Each engine has one;
// each menu carries its website, so a menu left open acts only on that one. The list turns the
// chosen command into a call on the library.
class WebsiteItemMenuHelper : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit WebsiteItemMenuHelper(QObject *parent = nullptr);

    // Shows a built menu at a point of the screen; tests replace it to choose entries themselves.
    using Presenter = std::function<void(QMenu &menu, QPoint at)>;
    void setPresenter(Presenter presenter);

    // Builds the menu for one website and shows it at a point of the screen.
    Q_INVOKABLE void showMenu(qint64 websiteId, const QString &title, bool isPinned, QPointF at);
    // Opens a website's address in the default browser; an address that is not valid does nothing.
    Q_INVOKABLE bool openWebsite(const QString &url);

Q_SIGNALS:
    void pinChosen(qint64 websiteId);
    void shareChosen(qint64 websiteId);
    void copyChosen(qint64 websiteId);
    void editChosen(qint64 websiteId, const QString &title);
    void deleteChosen(qint64 websiteId);

private:
    Presenter m_presenter;
    QPointer<QMenu> m_menu;
};
