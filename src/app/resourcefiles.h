#pragma once

#include <QString>
#include <QStringList>

// Artwork that ships beside the program (tray image, application icon, logos), looked up in
// folders that packagers and developers can fill.
namespace ResourceFiles
{
// The installed data folder next to the executable's prefix, then the build tree's copy.
[[nodiscard]] QStringList standardFolders();

// The path of the first file that loads as an image, trying every name in one folder before
// the next folder; empty when none does.
[[nodiscard]] QString findImage(const QStringList &folders, const QStringList &names);
}
