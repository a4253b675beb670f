#pragma once

#include <QByteArray>
#include <QMutex>
#include <QUrl>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// Thumbnail downloads one after another on the worker thread that runs them, which each download
// blocks (it runs an event loop of its own meanwhile). One network manager serves them all; it is
// made by the first download and let go of by finish(), on that thread. abort() may come from any
// thread: it reaches a download in progress as an event, so nothing has to poll for it.
class ThumbnailDownloader
{
public:
    static constexpr QLatin1StringView userAgent{"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15"};
    // Gives up when nothing arrives for this long.
    static constexpr int idleTimeoutMs = 6000;
    // No thumbnail is this large; a bigger body is abandoned instead of being buffered in memory.
    static constexpr qint64 maximumBodySize = 16 * 1024 * 1024;

    ThumbnailDownloader();
    ~ThumbnailDownloader();
    ThumbnailDownloader(const ThumbnailDownloader &) = delete;
    ThumbnailDownloader &operator=(const ThumbnailDownloader &) = delete;

    // The body of an HTTP(S) answer with status exactly 200 after following redirects, or nothing
    // for any other outcome, and nothing at all once aborted.
    [[nodiscard]] std::optional<QByteArray> fetch(const QUrl &url);
    // Ends the download in progress and refuses every later one.
    void abort();
    [[nodiscard]] bool isAborted() const;
    // Lets go of the network manager; call it on the downloading thread once done.
    void finish();

private:
    mutable QMutex m_mutex;
    bool m_aborted = false;
    std::unique_ptr<QNetworkAccessManager> m_network;
    // Touched on the downloading thread only.
    QNetworkReply *m_reply = nullptr;
};
