#include "panelwindow.h"

#include "allworkspaces.h"
#include "appviewmodel.h"
#include "panelgeometry.h"
#include "thumbnailimageprovider.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QQuickItem>
#include <QResizeEvent>
#include <QScreen>
#include <QtMath>

using namespace Qt::StringLiterals;

PanelWindow::PanelWindow(AppViewModel *viewModel)
    : m_viewModel(viewModel)
{
    setTitle(u"Corvane"_s);
    setHasTrayIcon(true);
    QSurfaceFormat surface = format();
    surface.setAlphaBufferSize(8);
    setFormat(surface);
    setColor(Qt::transparent);
    resize(PanelGeometry::kInitialSize);
    setMinimumSize(PanelGeometry::kMinimumSize);
    setMaximumSize(PanelGeometry::kMaximumSize);

    m_widthAnimation.setDuration(260);
    m_widthAnimation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_widthAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &frame) { setGeometry(frame.toRect()); });
    connect(&m_widthAnimation, &QVariantAnimation::finished, this, &PanelWindow::updateWideLayout);
    connect(viewModel, &AppViewModel::windowWidthSwitchRequested, this, [this] {
        const int startWidth = switchWidth();
        m_viewModel->setWideLayout(startWidth <= PanelGeometry::kWideLayoutThreshold);
    });

    engine()->addImportPath(u"qrc:/qt/qml"_s);
    engine()->addImageProvider(ThumbnailImageProvider::name, new ThumbnailImageProvider(viewModel->localStore()));
    setResizeMode(QQuickView::SizeRootObjectToView);
    QQmlEngine::setObjectOwnership(viewModel, QQmlEngine::CppOwnership);
    setInitialProperties({{u"viewModel"_s, QVariant::fromValue(viewModel)}});
    setSource(QUrl(u"qrc:/qt/qml/Corvane/ContentView.qml"_s));

    if (QQuickItem *root = rootObject()) {
        QQmlProperty(root, u"cardHeight"_s).connectNotifySignal(this, SLOT(updateInputMask()));
        updateInputMask();
    }
}

void PanelWindow::bringToFront()
{
    showOnAllWorkspaces(*this);
    show();
    raise();
    requestActivate();
}

void PanelWindow::setHasTrayIcon(bool hasTrayIcon)
{
    m_hasTrayIcon = hasTrayIcon;
    setFlags(hasTrayIcon ? Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint : Qt::Window);
    updateCardShape();
}

void PanelWindow::setComposited(bool composited)
{
    m_composited = composited;
    updateCardShape();
}

void PanelWindow::updateCardShape()
{
    if (QQuickItem *root = rootObject())
        root->setProperty("rounded", isRoundedCard());
    updateInputMask();
}

void PanelWindow::closeEvent(QCloseEvent *event)
{
    // Destroying the window would throw away the scene; launching again or the tray shows it.
    event->ignore();
    hide();
}

void PanelWindow::keyPressEvent(QKeyEvent *event)
{
    QQuickView::keyPressEvent(event);
    // Escape hides the panel as it does any popup, unless an item used it (leaving a title edit).
    if (!event->isAccepted() && event->key() == Qt::Key_Escape)
        hide();
}

void PanelWindow::centreOnScreen()
{
    QRect frame({}, size());
    frame.moveCenter(screen()->availableGeometry().center());
    setPosition(frame.topLeft());
}

int PanelWindow::switchWidth()
{
    const QRect from = geometry();
    m_widthAnimation.stop();
    m_widthAnimation.setStartValue(from);
    m_widthAnimation.setEndValue(PanelGeometry::switchedWidth(from));
    m_widthAnimation.start();
    return from.width();
}

void PanelWindow::resizeEvent(QResizeEvent *event)
{
    // Window managers that ignore the size hints, and programmatic resizes, still get the limits.
    const QSize allowed = PanelGeometry::clampedSize(event->size());
    if (allowed != event->size()) {
        resize(allowed);
        return;
    }
    QQuickView::resizeEvent(event);
    // The switch already chose the outcome; following every intermediate width would flip the
    // layout back and forth while the panel grows or shrinks.
    if (m_widthAnimation.state() != QAbstractAnimation::Running)
        updateWideLayout();
    updateInputMask();
}

void PanelWindow::updateWideLayout()
{
    m_viewModel->setWideLayout(PanelGeometry::isWideLayout(width()));
}

void PanelWindow::updateInputMask()
{
    // While signed out the card is shorter than the window; clicks below it go to whatever lies
    // behind, as they would through any transparent area.
    const QQuickItem *root = rootObject();
    const int cardHeight = root ? qCeil(QQmlProperty::read(root, u"cardHeight"_s).toReal()) : height();
    // As wide as the panel can ever be, so that width changes leave the mask alone.
    const QRegion mask = m_composited && cardHeight > 0 && cardHeight < height()
        ? QRegion(0, 0, PanelGeometry::kMaximumSize.width(), cardHeight)
        : QRegion();
    if (mask != this->mask())
        setMask(mask);
}
