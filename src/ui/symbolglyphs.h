#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The one map from the symbol names the views use to glyphs of the Material Icons font, shared
// by the QML icons and the native item menu.
class SymbolGlyphs : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)

public:
    using QObject::QObject;

    // The icon font's family; the font is loaded from the resources on first use.
    [[nodiscard]] static QString fontFamily();
    // The glyph for a symbol name, empty for a name the table does not know.
    Q_INVOKABLE static QString glyph(const QString &name);
    // Symbols the font has no crossed-out form of: drawn as the plain glyph struck through.
    Q_INVOKABLE static bool isStruckThrough(const QString &name);

    // The symbol drawn into an icon, for widgets such as menus.
    [[nodiscard]] static QIcon icon(const QString &name, const QColor &color, int pixelSize = 16);
};
