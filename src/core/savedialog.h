#pragma once

#include <QString>

#include <optional>

// A modal "save as" question: the chosen path, or nothing when the user cancels.
class SaveDialog
{
public:
    virtual ~SaveDialog() = default;
    virtual std::optional<QString> askForSavePath(const QString &title, const QString &proposedFileName, const QString &nameFilter) = 0;
};

// The file dialog, in front of the window it was asked from. A name typed without a suffix gets
// the proposed name's.
class FileSaveDialog : public SaveDialog
{
public:
    std::optional<QString> askForSavePath(const QString &title, const QString &proposedFileName, const QString &nameFilter) override;
};

// path with ".suffix" added when its file name has no suffix of its own: some platform dialogs
// ignore the default suffix.
[[nodiscard]] QString withDefaultSuffix(const QString &path, const QString &suffix);
