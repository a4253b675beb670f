#include "statusitem.h"

#include "panelwindow.h"
#include "resourcefiles.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

using namespace Qt::StringLiterals;

StatusItem::StatusItem(PanelWindow *panel, std::function<void()> refreshActiveTab, const QStringList &resourceFolders, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_refreshActiveTab(std::move(refreshActiveTab))
{
    const QString image = ResourceFiles::findImage(resourceFolders, {u"icon32.png"_s});
    m_trayIcon.setIcon(image.isEmpty()
                           ? QIcon(QPixmap::fromImage(createMenuBarVectorIcon(QGuiApplication::palette().color(QPalette::WindowText))))
                           : QIcon(image));
    m_trayIcon.setToolTip(u"Corvane"_s);
    // The panel never closes, so the tray's menu is where the application is quit.
    m_menu.addAction(tr("Quit Corvane"), qApp, &QCoreApplication::quit);
    m_trayIcon.setContextMenu(&m_menu);
    connect(&m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            toggleWindowOrPopover();
    });
    // Shown even when no tray is there yet (a session still starting): the platform puts the
    // item in place once one appears.
    m_trayIcon.show();
}

void StatusItem::toggleWindowOrPopover()
{
    m_refreshActiveTab();
    if (!m_panel)
        return;
    if (m_panel->isVisible()) {
        m_panel->hide();
        return;
    }
    m_panel->bringToFront();
}

QImage StatusItem::createMenuBarVectorIcon(const QColor &colour, qreal devicePixelRatio)
{
    constexpr int kSide = 16;
    QImage image(QSize(kSide, kSide) * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // The drawing is laid out with the origin at the bottom left and y growing upwards.
    painter.translate(0, kSide);
    painter.scale(1, -1);

    QPainterPath check;
    check.moveTo(14.5, 13.5);
    check.lineTo(8, 7);
    check.lineTo(6, 9);
    painter.drawPath(check);

    // Counter-clockwise from -65° to 5° around (8, 8) with radius 6.5.
    QPainterPath arc;
    const QRectF circle(8 - 6.5, 8 - 6.5, 13, 13);
    arc.arcMoveTo(circle, 65);
    arc.arcTo(circle, 65, -70);
    painter.drawPath(arc);
    return image;
}
