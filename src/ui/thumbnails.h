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

    Q_INVOKABLE static QUrl source(qint64 websiteId, const QString &screenshotUrl);

private:
    using QObject::QObject;
};
