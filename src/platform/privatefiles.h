#pragma once

#include <QString>

// Files and folders only their owner may read: the preferences, the library cache and the
// thumbnails hold the user's session and reading history. Files get 0600, folders 0700.
namespace PrivateFiles
{
// Creates the folder, with any missing parents, or restricts the one in place.
bool makeFolder(const QString &path);
// Creates an empty file when there is none, or restricts the one in place.
bool makeFile(const QString &path);
// Restricts the folder and everything below it, as an earlier version left them readable by all.
void restrictTree(const QString &path);
}
