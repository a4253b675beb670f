#pragma once

#include <QByteArray>
#include <QUrl>

#include <atomic>
#include <optional>

// One thumbnail download, blocking the calling worker thread (which gets its own network access
// manager and event loop for it).
namespace ThumbnailDownload
{
inline constexpr QLatin1StringView userAgent{"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15"};
// Gives up when nothing arrives for this long.
inline constexpr int idleTimeoutMs = 6000;
// No thumbnail is this large; a bigger body is abandoned instead of being buffered in memory.
inline constexpr qint64 maximumBodySize = 16 * 1024 * 1024;

// The body of an HTTP(S) answer with status exactly 200 after following redirects, or nothing
// for any other outcome. Setting stop aborts a download in progress.
[[nodiscard]] std::optional<QByteArray> fetch(const QUrl &url, const std::atomic<bool> &stop);
}
