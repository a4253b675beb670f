#include "savedialog.h"

#include <QDir>
#include <QFileDialog>

std::optional<QString> FileSaveDialog::askForSavePath(const QString &title, const QString &proposedFileName,
                                                      const QString &nameFilter)
{
    const QString path = QFileDialog::getSaveFileName(nullptr, title, QDir::home().filePath(proposedFileName), nameFilter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}
