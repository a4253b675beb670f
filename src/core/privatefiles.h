#pragma once

#include <QString>

#include <optional>

// Files and folders only their owner may read: the preferences, the library cache and the
// thumbnails hold the user's session and reading history. Files get 0600, folders 0700.
//
// A symbolic link where a private file or folder belongs is removed and a private one made in its
// place; its target is never written, nor read for what it holds. Whoever could change the target
// could read the session written through the link, or slip in one of their own.
namespace PrivateFiles
{
// Creates the folder, with any missing parents, or restricts the one in place.
bool makeFolder(const QString &path);
// Creates an empty file when there is none, or restricts the one in place.
bool makeFile(const QString &path);
// Removes path when it is a symbolic link, leaving its target alone; false when a link stays.
bool removeLink(const QString &path);
// Restricts the folder and everything below it, as an earlier version left them readable by all.
void restrictTree(const QString &path);

// A folder for this user's sockets that no one else may enter: the session's runtime folder when
// it is private, else one of ours in the temporary folder, made anew when it was left open to
// others. Nothing when that name is held by someone else.
std::optional<QString> runtimeFolder();
}
