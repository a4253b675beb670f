#include "api/requestpipeline.h"
#include "library/atomicwrite.h"
#include "library/librarycopieswriter.h"
#include "library/libraryorder.h"
#include "library/localstoremanager.h"
#include "state/appviewmodel.h"

#include <QJsonDocument>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

QCoro::Task<> AppViewModel::togglePin(qint64 id)
{
    const auto found = std::find_if(m_websites.cbegin(), m_websites.cend(), [id](const SavedWebsite &website) { return website.id == id; });
    if (found == m_websites.cend())
        co_return;
    const bool wasPinned = found->pinned();
    setPinned(id, !wasPinned);

    QPointer self(this);
    const auto token = m_defaults->text(Preferences::kJWTToken);
    QJsonObject body;
    body.insert(u"isPinned"_s, !wasPinned);
    const auto result = co_await performRequest<SingleWebsiteResponse>(u"/websites/%1/pin"_s.arg(id), "PATCH"_ba, body);
    if (answerIsStale(self, token))
        co_return;
    if (!result) {
        setPinned(id, wasPinned);
        co_return;
    }
    // Only the pin state is taken from the answer. The preferences copy catches up at the next
    // cacheWebsites.
    if (setPinned(id, result.value().website.pinned()))
        m_libraryCopiesWriter->writeCacheFile(m_websites);
}

// Sets the pin state of the first website with this id, wherever the list has moved it by now, and
// re-sorts. False when no website has the id any more.
bool AppViewModel::setPinned(qint64 id, bool pinned)
{
    QList<SavedWebsite> websites = m_websites;
    const auto found = std::find_if(websites.begin(), websites.end(), [id](const SavedWebsite &website) { return website.id == id; });
    if (found == websites.end())
        return false;
    found->isPinned = pinned;
    assign(m_websites, LibraryOrder::sorted(std::move(websites)), &AppViewModel::websitesChanged);
    return true;
}

QCoro::Task<> AppViewModel::updateWebsiteTitle(qint64 id, QString newTitle)
{
    const QString title = newTitle.trimmed();
    if (title.isEmpty())
        co_return;
    QPointer self(this);
    const auto token = m_defaults->text(Preferences::kJWTToken);
    QJsonObject body;
    body.insert(u"title"_s, title);
    const auto result = co_await performRequest<SingleWebsiteResponse>(u"/websites/%1"_s.arg(id), "PUT"_ba, body);
    if (answerIsStale(self, token) || !result)
        co_return;
    QList<SavedWebsite> websites = m_websites;
    std::replace_if(websites.begin(), websites.end(), [id](const SavedWebsite &website) { return website.id == id; },
                    result.value().website);
    cacheWebsites(std::move(websites));
}

QCoro::Task<> AppViewModel::deleteWebsite(qint64 id)
{
    QPointer self(this);
    const auto token = m_defaults->text(Preferences::kJWTToken);
    const auto result = co_await performRequest<DeleteWebsiteResponse>(u"/websites/%1"_s.arg(id), "DELETE"_ba);
    if (answerIsStale(self, token) || !result)
        co_return;
    QList<SavedWebsite> websites = m_websites;
    websites.removeIf([id](const SavedWebsite &website) { return website.id == id; });
    cacheWebsites(std::move(websites));
    LocalStoreManager::shared().deleteCachedThumbnail(id);
}

void AppViewModel::shareWebsite(const SavedWebsite &website)
{
    if (!QUrl(website.url, QUrl::StrictMode).isValid())
        return;
    // There is no sharing picker on this platform; sharing copies the link instead.
    copyWebsiteLink(website);
}

void AppViewModel::copyWebsiteLink(const SavedWebsite &website)
{
    m_clipboard->setText(website.url);
}

void AppViewModel::exportBookmarksToFile()
{
    const auto path = m_saveDialog->askForSavePath(u"Export Saved Websites"_s, u"corvane-bookmarks.json"_s, u"JSON (*.json)"_s);
    if (!path)
        return;
    const QByteArray encoded = QJsonDocument(SavedWebsite::listToJson(m_websites)).toJson(QJsonDocument::Compact);
    // Not written in place: a failed write must neither leave a truncated file nor destroy an
    // earlier export at that path.
    writeFileAtomically(*path, encoded);
}
