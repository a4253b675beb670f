#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// The addresses under which the views ask for a website's thumbnail. Using it installs the
// thumbnail image provider in that engine, so any engine that shows the list can load them.
class Thumbnails : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static Thumbnails *create(QQmlEngine *engine, QJSEngine *);

    // Not static: QML makes the singleton, and with it the provider, only for a member it calls.
    Q_INVOKABLE QUrl source(qint64 websiteId, const QString &screenshotUrl) const;

private:
    // Private, or QML would build the singleton itself and skip create().
    Thumbnails() = default;
};
