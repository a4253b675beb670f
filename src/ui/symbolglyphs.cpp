#include "symbolglyphs.h"

#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QPixmap>

using namespace Qt::StringLiterals;

namespace
{
const QHash<QString, QChar> &glyphTable()
{
    static const QHash<QString, QChar> table{
        {u"arrow.down.circle.fill"_s, QChar(0xf181)}, // arrow_circle_down
        {u"arrow.down.right.and.arrow.up.left"_s, QChar(0xf1cf)}, // close_fullscreen
        {u"arrow.triangle.2.circlepath"_s, QChar(0xe627)}, // sync
        {u"arrow.up.left.and.arrow.down.right"_s, QChar(0xf1ce)}, // open_in_full
        {u"bookmark"_s, QChar(0xe867)}, // bookmark_border
        {u"checkmark"_s, QChar(0xe5ca)}, // check
        {u"checkmark.circle"_s, QChar(0xe92d)}, // check_circle_outline
        {u"checkmark.circle.fill"_s, QChar(0xe86c)}, // check_circle
        {u"checkmark.shield.fill"_s, QChar(0xe8e8)}, // verified_user
        {u"doc.on.doc"_s, QChar(0xe14d)}, // content_copy
        {u"ellipsis"_s, QChar(0xe5d3)}, // more_horiz
        {u"envelope"_s, QChar(0xe0e1)}, // mail_outline
        {u"envelope.fill"_s, QChar(0xe158)}, // mail
        {u"eye"_s, QChar(0xe8f4)}, // visibility
        {u"eye.slash"_s, QChar(0xe8f5)}, // visibility_off
        {u"gearshape.fill"_s, QChar(0xe8b8)}, // settings
        {u"hand.raised.fill"_s, QChar(0xe925)}, // pan_tool
        {u"info.circle.fill"_s, QChar(0xe88e)}, // info
        {u"link"_s, QChar(0xe157)}, // link
        {u"link.badge.plus"_s, QChar(0xe178)}, // add_link
        {u"lock"_s, QChar(0xe899)}, // lock_outline
        {u"lock.shield.fill"_s, QChar(0xe32a)}, // security
        {u"magnifyingglass"_s, QChar(0xe8b6)}, // search
        {u"number"_s, QChar(0xe9ef)}, // tag
        {u"pencil"_s, QChar(0xe3c9)}, // edit
        {u"pin"_s, QChar(0xf10d)}, // push_pin
        {u"pin.fill"_s, QChar(0xf10d)}, // push_pin
        {u"pin.slash"_s, QChar(0xf10d)}, // push_pin, struck through
        {u"plus"_s, QChar(0xe145)}, // add
        {u"puzzlepiece.extension.fill"_s, QChar(0xe87b)}, // extension
        {u"rectangle.portrait.and.arrow.right"_s, QChar(0xe9ba)}, // logout
        {u"square.and.arrow.up"_s, QChar(0xe6b8)}, // ios_share
        {u"trash"_s, QChar(0xe872)}, // delete
        {u"xmark"_s, QChar(0xe5cd)}, // close
        {u"xmark.circle.fill"_s, QChar(0xe5c9)}, // cancel
    };
    return table;
}
}

QString SymbolGlyphs::fontFamily()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(u":/qt/qml/Corvane/fonts/MaterialIcons-Regular.ttf"_s);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.first();
    }();
    return family;
}

QString SymbolGlyphs::glyph(const QString &name)
{
    const auto found = glyphTable().constFind(name);
    return found == glyphTable().cend() ? QString() : QString(*found);
}

bool SymbolGlyphs::isStruckThrough(const QString &name)
{
    return name == "pin.slash"_L1;
}

QIcon SymbolGlyphs::icon(const QString &name, const QColor &color, int pixelSize)
{
    // Drawn at twice the size so the menu stays sharp on high-density screens.
    const int side = pixelSize * 2;
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(fontFamily());
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(color);
    const QRectF frame(0, 0, pixelSize, pixelSize);
    painter.drawText(frame, Qt::AlignCenter, glyph(name));
    if (isStruckThrough(name)) {
        painter.setPen(QPen(color, qMax(1.5, pixelSize / 10.0), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(pixelSize * 0.15, pixelSize * 0.85), QPointF(pixelSize * 0.85, pixelSize * 0.15));
    }
    painter.end();
    return QIcon(pixmap);
}
