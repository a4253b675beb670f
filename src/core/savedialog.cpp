#include "savedialog.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QWindow>

namespace
{
// The window the user asked from: the focused one, or else the one window that is shown (the
// panel; tray menus are popups).
QWindow *askingWindow()
{
    if (QWindow *focused = QGuiApplication::focusWindow())
        return focused;
    const QWindowList windows = QGuiApplication::topLevelWindows();
    const auto shown = std::find_if(windows.cbegin(), windows.cend(),
                                    [](const QWindow *window) { return window->isVisible() && window->type() == Qt::Window; });
    return shown == windows.cend() ? nullptr : *shown;
}

}

QString withDefaultSuffix(const QString &path, const QString &suffix)
{
    if (suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path.endsWith(u'.') ? path + suffix : path + u'.' + suffix;
}

std::optional<QString> FileSaveDialog::askForSavePath(const QString &title, const QString &proposedFileName, const QString &nameFilter)
{
    QFileDialog dialog(nullptr, title, QDir::home().filePath(proposedFileName), nameFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QString suffix = QFileInfo(proposedFileName).suffix();
    dialog.setDefaultSuffix(suffix);
    // The panel stays above other windows; a dialog that is not its child would open beneath it.
    if (QWindow *parent = askingWindow()) {
        dialog.winId();
        dialog.windowHandle()->setTransientParent(parent);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return withDefaultSuffix(dialog.selectedFiles().constFirst(), suffix);
}
