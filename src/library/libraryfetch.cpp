#include "api/requestpipeline.h"
#include "library/localstoremanager.h"
#include "state/appviewmodel.h"

#include <QCoroFuture>

using namespace Qt::StringLiterals;

QCoro::Task<> AppViewModel::fetchWebsites()
{
    QPointer self(this);
    const auto token = m_defaults->text(Preferences::kJWTToken);
    auto result = co_await performRequest<WebsitesResponse>(u"/websites"_s, "GET"_ba);
    if (answerIsStale(self, token) || !result)
        co_return;
    QList<SavedWebsite> received = std::move(result.value().websites);
    // The answer is in the backend's order and the library in library order, so a backend that
    // sends another order rewrites both copies every time; one that sends library order does not.
    if (received != m_websites)
        cacheWebsites(received);
    cacheThumbnailsOf(std::move(received));
}

bool AppViewModel::answerIsStale(const QPointer<AppViewModel> &self, const std::optional<QString> &tokenAsked)
{
    return !self || self->m_defaults->text(Preferences::kJWTToken) != tokenAsked;
}

// One thumbnail at a time, in the order the backend sent the websites; the downloads themselves
// run on the store's pool. The fetch does not wait for this.
QCoro::Task<> AppViewModel::cacheThumbnailsOf(QList<SavedWebsite> websites)
{
    QPointer self(this);
    const quint64 walk = ++m_thumbnailWalk;
    const auto token = m_defaults->text(Preferences::kJWTToken);
    for (const SavedWebsite &website : std::as_const(websites)) {
        co_await LocalStoreManager::shared().cacheThumbnailAsync(website.id, website.screenshotUrl);
        if (answerIsStale(self, token) || m_thumbnailWalk != walk)
            co_return;
    }
}
