#include "api/requestpipeline.h"
#include "library/localstoremanager.h"
#include "state/appviewmodel.h"


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
    cacheThumbnailsOf(received);
}

bool AppViewModel::answerIsStale(const QPointer<AppViewModel> &self, const std::optional<QString> &tokenAsked)
{
    return !self || self->m_defaults->text(Preferences::kJWTToken) != tokenAsked;
}

// One thumbnail at a time, in the order the backend sent the websites, in one background task
// that never comes back to the main thread. The fetch does not wait for it.
void AppViewModel::cacheThumbnailsOf(const QList<SavedWebsite> &websites)
{
    QList<LocalStoreManager::ThumbnailAddress> thumbnails;
    thumbnails.reserve(websites.size());
    for (const SavedWebsite &website : websites)
        thumbnails.append({website.id, website.screenshotUrl});
    const quint64 walk = ++*m_thumbnailWalk;
    LocalStoreManager::shared().cacheThumbnailsInOrder(std::move(thumbnails), [current = std::weak_ptr(m_thumbnailWalk), walk] {
        const auto latest = current.lock();
        return latest && *latest == walk;
    });
}
