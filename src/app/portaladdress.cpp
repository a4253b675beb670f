#include "portaladdress.h"

#include <QHostAddress>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace
{
bool isLoopbackHost(const QString &host)
{
    if (host == "localhost"_L1)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool isAcceptableOrigin(const QString &text)
{
    if (text.endsWith(u'/'))
        return false;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || !url.path().isEmpty() || url.hasQuery() || url.hasFragment())
        return false;
    if (url.scheme() == "https"_L1)
        return true;
    return url.scheme() == "http"_L1 && isLoopbackHost(url.host());
}
}

namespace PortalAddress
{
QString resolve(const QString &override)
{
    return isAcceptableOrigin(override) ? override : QString(kDefault);
}

QString fromEnvironment()
{
    return resolve(qEnvironmentVariable("CORVANE_PORTAL_URL"));
}
}
