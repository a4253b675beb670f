#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// Where the application logo for an appearance comes from: the artwork files beside the
// program, then the copy built into it. The dark appearance takes the light-coloured artwork.
class OriginalLogo : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit OriginalLogo(QObject *parent = nullptr);

    // The logo's address, or an empty one when nothing loads (the views then draw a symbol).
    Q_INVOKABLE QUrl imageUrl(bool isDark);

    [[nodiscard]] static QUrl lookup(bool isDark, const QStringList &folders);
    [[nodiscard]] static QString embeddedPath(bool isDark);

private:
    QStringList m_folders;
    QHash<bool, QUrl> m_found;
};
