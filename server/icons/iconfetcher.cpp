#include "iconfetcher.h"

#include <QBuffer>
#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QDeadlineTimer>
#include <QHostInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QtConcurrent>

#include <memory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcIcons, "corvane.icons")

namespace
{
// Icons a site links to beyond /favicon.ico that are worth a download each.
constexpr int maxLinkedIcons = 3;
// Only the start of a page is searched for icon links; they belong in its head.
constexpr qsizetype maxSearchedHtml = 256 * 1024;
// Larger images are refused by their header, before a pixel is decoded: an icon needs no more.
constexpr int maxImageSide = 1024;
constexpr int maxImagesPerFile = 16;
// The download reads at most this much ahead of us, so the size limit holds as data arrives.
constexpr qint64 readAhead = 64 * 1024;

struct ReplyDeleter {
    void operator()(QNetworkReply *reply) const
    {
        // Nothing may reach the owner's frame once it lets go.
        reply->disconnect();
        reply->deleteLater();
    }
};
using OwnedReply = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// Raster formats only: decoding SVG would need a GUI application and a font engine.
bool isAcceptedFormat(const QByteArray &format)
{
    static const QByteArrayList accepted = {"png", "ico", "gif", "jpeg", "jpg", "bmp"};
    return accepted.contains(format.toLower());
}

QImage decodeIcon(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(16);
    if (!isAcceptedFormat(reader.format()))
        return {};
    // An .ico file holds several sizes; the largest scales down best.
    QImage best;
    for (int index = 0; index < maxImagesPerFile; ++index) {
        const QSize size = reader.size();
        if (size.isValid() && size.width() <= maxImageSide && size.height() <= maxImageSide) {
            const QImage image = reader.read();
            if (!image.isNull() && image.width() * image.height() > best.width() * best.height())
                best = image;
        }
        if (!reader.jumpToNextImage())
            break;
    }
    return best;
}

// Runs on the image pool. Empty when bytes hold no icon.
QByteArray iconPng(const QByteArray &bytes, int side)
{
    QImage image = decodeIcon(bytes);
    if (image.isNull())
        return {};
    if (image.width() > side || image.height() > side)
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QString decodeEntities(QString text)
{
    return text.replace("&amp;"_L1, "&"_L1).replace("&quot;"_L1, "\""_L1).replace("&#39;"_L1, "'"_L1);
}

// The icons a page links to, best first: apple-touch-icon (large), then icons by declared size.
QList<QUrl> linkedIcons(const QByteArray &html, const QUrl &page)
{
    static const QRegularExpression linkTag(u"<link\\b[^>]*>"_s, QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attribute(u"([a-zA-Z-]+)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'>]+))"_s);
    static const QRegularExpression declaredSize(u"(\\d{1,4})x\\d{1,4}"_s, QRegularExpression::CaseInsensitiveOption);
    QList<QPair<int, QUrl>> scored;
    const QString text = QString::fromUtf8(html.first(qMin(html.size(), maxSearchedHtml)));
    for (const QRegularExpressionMatch &tag : linkTag.globalMatch(text)) {
        QHash<QString, QString> attributes;
        for (const QRegularExpressionMatch &pair : attribute.globalMatch(tag.captured(0))) {
            const int value = pair.lastCapturedIndex();
            attributes.insert(pair.captured(1).toLower(), decodeEntities(pair.captured(value)));
        }
        const QStringList rel = attributes.value(u"rel"_s).toLower().split(u' ', Qt::SkipEmptyParts);
        const QString href = attributes.value(u"href"_s).trimmed();
        const bool touchIcon = rel.contains("apple-touch-icon"_L1) || rel.contains("apple-touch-icon-precomposed"_L1);
        if ((!touchIcon && !rel.contains("icon"_L1)) || href.isEmpty()
            || attributes.value(u"type"_s).contains("svg"_L1, Qt::CaseInsensitive))
            continue;
        const QUrl url = page.resolved(QUrl(href));
        if ((url.scheme() != "https"_L1 && url.scheme() != "http"_L1) || url.path().endsWith(".svg"_L1, Qt::CaseInsensitive))
            continue;
        const auto size = declaredSize.match(attributes.value(u"sizes"_s));
        const int side = size.hasMatch() ? size.captured(1).toInt() : (touchIcon ? 180 : 16);
        scored.append({touchIcon ? 10000 + side : side, url});
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QList<QUrl> urls;
    for (const auto &[score, url] : std::as_const(scored)) {
        if (!urls.contains(url) && urls.size() < maxLinkedIcons)
            urls.append(url);
    }
    return urls;
}

QList<QHostAddress> lookUp(const QString &host)
{
    return QHostInfo::fromName(host).addresses();
}
}

IconFetcher::IconFetcher(Limits limits, QThreadPool &imagePool, QObject *parent)
    : QObject(parent)
    , m_limits(limits)
    , m_imagePool(imagePool)
{
    // A proxy from the environment would connect on our behalf to addresses we never checked.
    m_network.setProxy(QNetworkProxy::NoProxy);
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_lookupPool.setMaxThreadCount(m_limits.maxConcurrent);
}

bool IconFetcher::isAllowedAddress(const QHostAddress &address, bool allowPrivateHosts, const QList<QHostAddress> &ownAddresses)
{
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    // An IPv4-mapped IPv6 address reaches the IPv4 host: judge that one.
    const QHostAddress judged = isIPv4 ? QHostAddress(ipv4) : address;
    if (judged.isNull() || judged.isMulticast() || judged.isBroadcast() || judged == QHostAddress(QHostAddress::AnyIPv6)
        || (isIPv4 && (ipv4 >> 24) == 0))
        return false;
    if (allowPrivateHosts)
        return true;
    // isGlobal() counts all of these as global.
    static const QList<QPair<QHostAddress, int>> refusedRanges = [] {
        QList<QPair<QHostAddress, int>> ranges;
        for (const char *range :
             {// private, shared, reserved and special-purpose IPv4
              "10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16", "100.64.0.0/10", "192.0.0.0/24", "240.0.0.0/4",
              // documentation and benchmarking
              "192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/24", "198.18.0.0/15", "2001:db8::/32", "3fff::/20", "2001:2::/48",
              // IPv6 that reaches IPv4 hosts: IPv4-compatible, NAT64, 6to4, Teredo; and discard-only
              "::/96", "64:ff9b::/96", "64:ff9b:1::/48", "2002::/16", "2001::/32", "100::/64"})
            ranges.append(QHostAddress::parseSubnet(QString::fromLatin1(range)));
        return ranges;
    }();
    const auto isOwn = [&judged](const QHostAddress &own) { return own.isEqual(judged, QHostAddress::TolerantConversion); };
    return judged.isGlobal() && !judged.isUniqueLocalUnicast()
        && std::none_of(refusedRanges.begin(), refusedRanges.end(), [&judged](const auto &range) { return judged.isInSubnet(range); })
        && std::none_of(ownAddresses.begin(), ownAddresses.end(), isOwn);
}

bool IconFetcher::isAllowedPort(const QUrl &url) const
{
    const int port = url.port();
    return m_limits.allowPrivateHosts || port == -1 || port == 80 || port == 443;
}

QCoro::Task<IconFetcher::Resolved> IconFetcher::resolve(QString host)
{
    QList<QHostAddress> addresses;
    if (QHostAddress literal; literal.setAddress(host)) {
        addresses = {literal};
    } else {
        QPointer self(this);
        addresses = co_await QtConcurrent::run(&m_lookupPool, lookUp, host);
        if (!self)
            co_return {};
    }
    Resolved resolved;
    // A service of this machine that listens on all interfaces is as private as one on loopback.
    const QList<QHostAddress> ownAddresses = m_limits.allowPrivateHosts ? QList<QHostAddress>() : QNetworkInterface::allAddresses();
    for (const QHostAddress &address : std::as_const(addresses)) {
        if (!isAllowedAddress(address, m_limits.allowPrivateHosts, ownAddresses)) {
            qCDebug(lcIcons) << "refused" << host << "at" << address;
            co_return Resolved{true, {}};
        }
        // IPv4 first: more sites answer on it than on IPv6.
        if (resolved.address.isNull()
            || (address.protocol() == QAbstractSocket::IPv4Protocol && resolved.address.protocol() != QAbstractSocket::IPv4Protocol))
            resolved.address = address;
    }
    co_return resolved;
}

QCoro::Task<IconFetcher::Outcome> IconFetcher::fetch(QString host, int port)
{
    QPointer self(this);
    const QDeadlineTimer queueDeadline(m_limits.queueTimeout);
    while (m_active >= m_limits.maxConcurrent) {
        const bool woken = co_await m_slotFreed.wait(std::chrono::milliseconds(queueDeadline.remainingTime()));
        if (!self || !woken)
            co_return Outcome{Outcome::Kind::Busy, {}};
    }
    ++m_active;
    Outcome outcome = co_await fetchFromSite(std::move(host), port);
    if (self) {
        --m_active;
        m_slotFreed.wakeOne();
    }
    co_return outcome;
}

QCoro::Task<IconFetcher::Outcome> IconFetcher::fetchFromSite(QString host, int port)
{
    QPointer self(this);
    const Resolved site = co_await resolve(host);
    if (!self || site.refused)
        co_return Outcome{Outcome::Kind::Refused, {}};
    if (site.address.isNull())
        co_return Outcome{};
    for (const QString &scheme : {u"https"_s, u"http"_s}) {
        QUrl origin;
        origin.setScheme(scheme);
        origin.setHost(host);
        origin.setPort(port);
        origin.setPath(u"/"_s);
        const Download page = co_await download(origin);
        if (!self)
            co_return Outcome{};
        // Only a site that cannot be reached over https is asked over http.
        if (!page.reached)
            continue;
        QList<QUrl> candidates = page.status == 200 ? linkedIcons(page.body, page.finalUrl) : QList<QUrl>();
        const QUrl favicon = page.finalUrl.resolved(QUrl(u"/favicon.ico"_s));
        if (!candidates.contains(favicon))
            candidates.append(favicon);
        for (const QUrl &candidate : std::as_const(candidates)) {
            const Download icon = co_await download(candidate);
            if (!self)
                co_return Outcome{};
            if (icon.status != 200)
                continue;
            QByteArray png = co_await QtConcurrent::run(&m_imagePool, iconPng, icon.body, m_limits.iconSide);
            if (!self)
                co_return Outcome{};
            if (!png.isEmpty())
                co_return Outcome{Outcome::Kind::Found, std::move(png)};
            qCDebug(lcIcons) << "not an image:" << candidate.host() << candidate.path();
        }
        co_return Outcome{};
    }
    co_return Outcome{};
}

QCoro::Task<IconFetcher::Download> IconFetcher::download(QUrl url)
{
    QPointer self(this);
    const QDeadlineTimer deadline(m_limits.timeout);
    Download result;
    for (int hop = 0; hop <= m_limits.maxRedirects; ++hop) {
        if ((url.scheme() != "https"_L1 && url.scheme() != "http"_L1) || url.host().isEmpty() || !isAllowedPort(url))
            co_return result;
        const Resolved target = co_await resolve(url.host());
        if (!self || target.address.isNull() || deadline.hasExpired())
            co_return result;

        // Connect to the address just checked; the name goes along for the Host header and TLS.
        QUrl direct = url;
        direct.setHost(target.address.toString());
        QNetworkRequest request(direct);
        request.setRawHeader("Host", url.authority(QUrl::FullyEncoded).toLatin1());
        request.setPeerVerifyName(url.host(QUrl::FullyEncoded));
        request.setHeader(QNetworkRequest::UserAgentHeader, u"Corvane-IconFetcher/1.0"_s);
        request.setRawHeader("Accept", "text/html, image/*;q=0.9, */*;q=0.5");
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        const OwnedReply reply(m_network.get(request));
        QNetworkReply *raw = reply.get();
        // Without a read buffer limit the network thread reads on, however far past the cap.
        raw->setReadBufferSize(readAhead);
        QByteArray body;
        connect(raw, &QNetworkReply::readyRead, raw, [raw, &body, maxBytes = m_limits.maxBytes] {
            body += raw->readAll();
            if (body.size() > maxBytes || raw->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes)
                raw->abort();
        });
        QTimer::singleShot(int(qMax<qint64>(1, deadline.remainingTime())), raw, &QNetworkReply::abort);
        co_await raw;
        if (!self)
            co_return result;

        result.status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.reached = result.status > 0;
        result.finalUrl = url;
        const QUrl location = raw->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (result.status >= 300 && result.status < 400 && location.isValid()) {
            url = url.resolved(location);
            continue;
        }
        if (raw->error() == QNetworkReply::NoError)
            result.body = body + raw->readAll();
        else
            qCDebug(lcIcons) << "download failed:" << url.host() << url.path() << raw->errorString();
        co_return result;
    }
    qCDebug(lcIcons) << "too many redirects:" << url.host();
    result.status = 0;
    co_return result;
}
