#include "tabsaverequest.h"

#include <QUrl>

using namespace Qt::StringLiterals;

std::optional<TabSaveRequest> TabSaveRequest::build(const ActiveBrowserTab &tab, const QString &typedAddress,
                                                    const QString &faviconServiceBase)
{
    TabSaveRequest request{.url = tab.url.trimmed(), .title = tab.title.trimmed(), .screenshotUrl = {}};
    const QString typed = typedAddress.trimmed();
    if (!typed.isEmpty()) {
        request.url = typed.startsWith("http://"_L1) || typed.startsWith("https://"_L1) ? typed : "https://"_L1 + typed;
        const QUrl parsed(request.url, QUrl::StrictMode);
        request.title = parsed.isValid() && !parsed.host().isEmpty() ? parsed.host() : request.url;
    }
    if (request.url.isEmpty())
        return std::nullopt;
    if (request.title.isEmpty())
        request.title = request.url;
    const QUrl parsed(request.url, QUrl::StrictMode);
    if (parsed.isValid() && !parsed.host().isEmpty())
        request.screenshotUrl = faviconServiceBase + parsed.host(QUrl::FullyEncoded) + "&sz=128"_L1;
    return request;
}

QString TabSaveRequest::faviconServiceBase(const QString &apiBaseUrl)
{
    return apiBaseUrl + "/icon?domain="_L1;
}

QJsonObject TabSaveRequest::toJson(const QString &content) const
{
    return {{u"url"_s, url}, {u"title"_s, title}, {u"screenshotUrl"_s, screenshotUrl}, {u"content"_s, content}};
}
