#pragma once

#include "waitqueue.h"

#include <QCoroTask>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QObject>
#include <QThreadPool>
#include <QUrl>

#include <chrono>

// Fetches a site's icon the way a browser finds it: the icons the home page links to, else
// /favicon.ico; https first, http if https cannot be reached. Every download is bounded in time,
// size and redirects, and goes only to addresses the policy allows: each address a name resolves
// to and each redirect target is checked, and the connection goes to the checked address itself,
// so a name that resolves differently a moment later (DNS rebinding) cannot slip through. Images
// are decoded and scaled on a pool of their own, never on the thread that answers requests.
class IconFetcher : public QObject
{
    Q_OBJECT

public:
    struct Limits {
        bool allowPrivateHosts = false;
        int maxConcurrent = 4;
        std::chrono::milliseconds timeout{5000};
        qint64 maxBytes = 1024 * 1024;
        int maxRedirects = 3;
        // The found icon is scaled down to fit this square.
        int iconSide = 256;
        // How long a fetch waits for a free slot before giving up.
        std::chrono::milliseconds queueTimeout{10000};
    };

    struct Outcome {
        enum class Kind {
            Found,
            None,
            Refused,
            Busy
        };
        Kind kind = Kind::None;
        QByteArray png;
    };

    // imagePool decodes and scales; it must outlive the fetcher.
    IconFetcher(Limits limits, QThreadPool &imagePool, QObject *parent = nullptr);

    // port is -1 for the scheme's default.
    QCoro::Task<Outcome> fetch(QString host, int port);

    // False for loopback, private, link-local, unique-local, reserved, documentation and
    // benchmarking addresses, addresses that tunnel to IPv4 (IPv4-mapped and -compatible, NAT64,
    // 6to4, Teredo) and this machine's own addresses, unless private hosts are allowed.
    // Unspecified and multicast addresses are never reachable web sites and are refused even then.
    static bool isAllowedAddress(const QHostAddress &address, bool allowPrivateHosts, const QList<QHostAddress> &ownAddresses);

private:
    struct Download {
        bool reached = false; // a server answered over HTTP
        int status = 0;
        QByteArray body;
        QUrl finalUrl;
    };

    struct Resolved {
        bool refused = false;
        // The address to connect to; null when the name does not resolve or was refused.
        QHostAddress address;
    };

    QCoro::Task<Outcome> fetchFromSite(QString host, int port);
    // Follows up to the allowed number of redirects within one time limit.
    QCoro::Task<Download> download(QUrl url);
    // Refuses a host when any one of its addresses is not allowed.
    QCoro::Task<Resolved> resolve(QString host);
    bool isAllowedPort(const QUrl &url) const;

    Limits m_limits;
    QThreadPool &m_imagePool;
    QNetworkAccessManager m_network;
    QThreadPool m_lookupPool;
    int m_active = 0;
    WaitQueue m_slotFreed;
};
