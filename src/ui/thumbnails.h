#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// The addresses under which the views ask for a website's thumbnail, served by the
// ThumbnailImageProvider that the engine showing the list was given.
class Thumbnails : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static Thumbnails *create(QQmlEngine *engine, QJSEngine *);

    // Not static: QML reaches a singleton's members only through its instance.
    Q_INVOKABLE QUrl source(qint64 websiteId, const QString &screenshotUrl) const;

private:
    // Private, or QML would build the singleton itself and skip create().
    Thumbnails() = default;
};
