#include "thumbnails.h"

#include "thumbnailimageprovider.h"

using namespace Qt::StringLiterals;

Thumbnails *Thumbnails::create(QQmlEngine *, QJSEngine *)
{
    return new Thumbnails;
}

QUrl Thumbnails::source(qint64 websiteId, const QString &screenshotUrl) const
{
    QUrl address;
    address.setScheme(u"image"_s);
    address.setHost(ThumbnailImageProvider::name);
    // Encoded whole, so the thumbnail's own address cannot add a query or a fragment to this one.
    address.setPath(u"/%1/"_s.arg(websiteId) + QString::fromLatin1(QUrl::toPercentEncoding(screenshotUrl)), QUrl::TolerantMode);
    return address;
}
