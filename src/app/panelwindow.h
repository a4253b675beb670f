#pragma once

#include <QQuickView>
#include <QVariantAnimation>

class AppViewModel;

// The one floating panel: frameless, translucent and above other windows, hosting the root
// view, which draws its own rounded card. It keeps the view model's wide-layout flag in step
// with its width and runs the animated width switch.
class PanelWindow : public QQuickView
{
    Q_OBJECT

public:
    explicit PanelWindow(AppViewModel *viewModel);

    // Shows the panel above everything, on every virtual desktop, and gives it the keyboard.
    void bringToFront();

    // Without a tray icon to bring it back, the panel is an ordinary window with a title bar the
    // window manager can close, its only frame; with one, a frameless rounded card above other
    // windows. Closing only ever hides it.
    void setHasTrayIcon(bool hasTrayIcon);

    // Without a compositing manager transparent pixels show as black: the panel is then an
    // opaque rectangle with square corners that takes every click, as it is in a window frame.
    void setComposited(bool composited);

    // Moves the panel to the middle of its screen's available area.
    void centreOnScreen();

    // Starts the animated switch between compact and wide width and returns the width it
    // started from.
    int switchWidth();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private Q_SLOTS:
    void updateInputMask();

private:
    void updateWideLayout();
    // Rounded and see-through below a short card only as a composited card of its own.
    [[nodiscard]] bool isRoundedCard() const { return m_composited && m_hasTrayIcon; }
    void updateCardShape();

    AppViewModel *m_viewModel;
    QVariantAnimation m_widthAnimation;
    bool m_composited = true;
    bool m_hasTrayIcon = true;
};
