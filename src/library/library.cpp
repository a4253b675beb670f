#include "library.h"

#include "atomicwrite.h"
#include "backendclient.h"
#include "clipboard.h"
#include "heap.h"
#include "librarycopies.h"
#include "libraryorder.h"
#include "librarysearch.h"
#include "localstoremanager.h"
#include "preferences.h"
#include "published.h"
#include "savedialog.h"
#include "thumbnaildownload.h"

#include <QCoroFuture>
#include <QDir>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QUrl>
#include <QtConcurrent>

#include <algorithm>
#include <tuple>
#include <utility>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_LOGGING_CATEGORY(lcLibrary, "corvane.library", QtWarningMsg)

namespace
{
// How long a website just saved stays highlighted.
constexpr auto kHighlightTime = 1600ms;
// From this many websites on, comparing, sorting, indexing and freeing a list happen on a worker.
constexpr qsizetype kOffThreadFrom = 256;

// Nothing when a fetched list equals the library; otherwise the list in library order. Comparing
// and sorting a large library takes longer than the main thread may wait.
std::optional<QList<SavedWebsite>> changedLibrary(const QList<SavedWebsite> &received, const QList<SavedWebsite> &current)
{
    if (received == current)
        return std::nullopt;
    QList<SavedWebsite> sorted = LibraryOrder::sorted(received);
    // Only the order differed: handing back the current list itself spares publishing a second
    // comparison of every page text.
    return sorted == current ? current : sorted;
}

// Small libraries are compared at once, large ones on a worker.
QCoro::Task<std::optional<QList<SavedWebsite>>> changedLibraryOffThreadWhenLarge(QList<SavedWebsite> received, QList<SavedWebsite> current)
{
    if (received.size() < kOffThreadFrom)
        co_return changedLibrary(received, current);
    // Named rather than built inside the co_await: GCC 12 mishandles such temporaries.
    auto comparing = QtConcurrent::run(&changedLibrary, std::move(received), std::move(current));
    co_await comparing;
    // Taken out rather than copied: the copy left in the future would be freed whenever its
    // watcher is, perhaps once the library has moved on and it is the last reference.
    co_return comparing.takeResult();
}

void dropWebsites(QList<SavedWebsite> websites)
{
    websites = {};
    // This may end after the last trim that was asked for.
    Heap::returnFreedMemoryWhenSettled();
}

// A list that may hold the only references to its websites' page text is freed on a worker:
// freeing a large library's text keeps a thread busy far longer than the main thread may be.
void dropOffThreadWhenLarge(QList<SavedWebsite> websites)
{
    if (websites.size() >= kOffThreadFrom)
        std::ignore = QtConcurrent::run(&dropWebsites, std::move(websites));
}
}

Library::Library(const Dependencies &dependencies, QObject *parent)
    : QObject(parent)
    , m_backend(dependencies.backend)
    , m_clipboard(dependencies.clipboard)
    , m_saveDialog(dependencies.saveDialog)
    , m_localStore(dependencies.localStore)
    , m_websiteList(std::make_unique<WebsiteListModel>())
    , m_copies(std::make_unique<LibraryCopies>(dependencies.preferences.location(), dependencies.localStore))
    , m_search(std::make_unique<LibrarySearch>(dependencies.pageTextFile))
{
    m_highlightTimer.setSingleShot(true);
    m_highlightTimer.setInterval(kHighlightTime);
    connect(&m_highlightTimer, &QTimer::timeout, this,
            [this] { assignProperty(this, m_lastAddedWebsiteId, std::nullopt, &Library::lastAddedWebsiteIdChanged); });
}

QString Library::defaultPageTextFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath(u"pagetext"_s);
}

Library::~Library()
{
    stopThumbnailWalk();
}

std::optional<SavedWebsite> Library::websiteAt(const QString &address) const
{
    const auto found = std::ranges::find_if(m_websites, [&](const SavedWebsite &website) { return isSameAddress(website.url, address); });
    return found == m_websites.cend() ? std::nullopt : std::optional(*found);
}

bool Library::isSameAddress(const QString &first, const QString &second)
{
    const auto page = [](const QString &address) {
        QUrl url(address.trimmed());
        url.setFragment(QString());
        QString path = url.path();
        while (path.endsWith(u'/'))
            path.chop(1);
        url.setPath(path);
        return url;
    };
    const QUrl firstPage = page(first);
    return !first.trimmed().isEmpty() && firstPage.isValid() && firstPage == page(second);
}

QVariant Library::lastAddedWebsiteIdValue() const
{
    return optionalToVariant(m_lastAddedWebsiteId);
}

QVariant Library::exportErrorValue() const
{
    return optionalToVariant(m_exportError);
}

void Library::setSearchQuery(const QString &text)
{
    if (m_searchQuery == text)
        return;
    m_searchQuery = text;
    Q_EMIT searchQueryChanged();
    refilter();
}

void Library::showMoreWebsites()
{
    assignProperty(this, m_visibleLimit, m_visibleLimit <= 9 ? 10 : m_visibleLimit + 10, &Library::visibleLimitChanged);
    m_websiteList->update(m_filteredWebsites.first(std::min<qsizetype>(m_visibleLimit, m_filteredWebsites.size())));
}

void Library::publish(QList<SavedWebsite> sortedWebsites)
{
    ++m_publications;
    if (m_websites == sortedWebsites)
        return;
    QList<SavedWebsite> previous = std::exchange(m_websites, std::move(sortedWebsites));
    m_search->prepare(m_websites);
    Q_EMIT websitesChanged();
    refilter();
    // Once the filtered list no longer refers to it.
    dropOffThreadWhenLarge(std::move(previous));
}

void Library::refilter()
{
    m_filteredWebsites = m_search->filter(m_websites, m_searchQuery);
    Q_EMIT filteredWebsitesChanged();
    m_websiteList->update(m_filteredWebsites.first(std::min<qsizetype>(m_visibleLimit, m_filteredWebsites.size())));
}

QCoro::Task<> Library::seedFromLocalCopies()
{
    QPointer self(this);
    const quint64 publications = m_publications;
    assignProperty(this, m_isLoading, true, &Library::isLoadingChanged);
    auto loading = m_copies->load();
    co_await loading;
    // Taken out rather than copied, so that the future's watcher, freed later, holds no second
    // reference that could end up the last one.
    std::optional<LibraryCopies::Loaded> loaded = loading.takeResult();
    // Still off the main thread, the page text goes to its file before the list is shown.
    if (self && loaded && m_publications == publications)
        loaded->websites = co_await withPageTextFiled(std::move(loaded->websites));
    if (!self)
        co_return;
    assignProperty(this, m_isLoading, false, &Library::isLoadingChanged);
    if (!loaded)
        co_return;
    if (m_publications != publications) {
        dropOffThreadWhenLarge(std::move(loaded->websites));
        co_return;
    }
    publish(std::move(loaded->websites));
    // Only the preferences copy was readable: the cache file is written from it, the preferences
    // copy is left as it is.
    if (loaded->fromPreferencesCopy)
        m_copies->writeCacheFile(m_websites);
}

QCoro::Task<QList<SavedWebsite>> Library::withPageTextFiled(QList<SavedWebsite> sortedWebsites)
{
    auto indexing = m_search->prepare(sortedWebsites);
    co_await indexing;
    const std::shared_ptr<const LibrarySearchIndex> index = indexing.result();
    co_return index ? index->websites() : sortedWebsites;
}

void Library::cacheWebsites(QList<SavedWebsite> websites)
{
    QList<SavedWebsite> sorted = LibraryOrder::sorted(std::move(websites));
    cacheSortedWebsites(sorted, sorted);
}

void Library::cacheSortedWebsites(QList<SavedWebsite> shown, const QList<SavedWebsite> &written)
{
    publish(std::move(shown));
    m_copies->writeCacheFile(written);
    m_copies->writePreferencesCopy(written);
}

void Library::flushLocalCopies()
{
    m_copies->flush();
    m_search->flush();
}

void Library::clear()
{
    stopThumbnailWalk();
    m_copies->clear();
    m_search->clear();
    m_localStore.clearAllThumbnails();
    publish({});
}

bool Library::answerIsStale(const QPointer<Library> &self, const std::optional<QString> &tokenAsked) const
{
    return !self || m_backend.token() != tokenAsked;
}

QCoro::Task<> Library::fetchWebsites()
{
    QPointer self(this);
    const auto token = m_backend.token();
    auto result = co_await m_backend.request<WebsitesResponse>(u"/websites"_s, "GET"_ba);
    if (answerIsStale(self, token))
        co_return;
    if (!result) {
        qCInfo(lcLibrary) << "fetching the library failed:" << result.error().message;
        co_return;
    }
    QList<SavedWebsite> received = std::move(result.value().websites);
    // The answer is in the backend's order and the library in library order, so a backend that
    // sends another order rewrites both copies every time; one that sends library order does not.
    std::optional<QList<SavedWebsite>> changed;
    QList<SavedWebsite> filed;
    quint64 comparedWith = 0;
    do {
        comparedWith = m_publications;
        changed = co_await changedLibraryOffThreadWhenLarge(received, m_websites);
        if (answerIsStale(self, token)) {
            dropOffThreadWhenLarge(std::move(received));
            co_return;
        }
        // The new list is indexed and its page text filed on a worker before it is published, so
        // that neither a search nor the heap has to take the text meanwhile.
        if (changed) {
            filed = co_await withPageTextFiled(*changed);
            if (answerIsStale(self, token)) {
                dropOffThreadWhenLarge(std::move(received));
                co_return;
            }
        }
        // The library changed meanwhile: compare with the new one.
    } while (comparedWith != m_publications);
    // The copies are written from the text as received: reading it back from the file would bring
    // all of the file into memory.
    if (changed) {
        cacheSortedWebsites(std::move(filed), *changed);
        dropOffThreadWhenLarge(std::move(*changed));
    }
    cacheThumbnailsOf(received);
    // An answer equal to the library shares none of its text.
    dropOffThreadWhenLarge(std::move(received));
    // The decoded answer, and the old library when it was replaced, are freed by then.
    Heap::returnFreedMemoryWhenSettled();
    m_search->releaseReadText();
}

// One thumbnail at a time, in the order the backend sent the websites, in one background task
// that never comes back to the main thread. The fetch does not wait for it.
void Library::cacheThumbnailsOf(const QList<SavedWebsite> &websites)
{
    QList<LocalStoreManager::ThumbnailAddress> thumbnails;
    thumbnails.reserve(websites.size());
    for (const SavedWebsite &website : websites)
        thumbnails.append({website.id, website.screenshotUrl});
    stopThumbnailWalk();
    m_thumbnailWalk = m_localStore.cacheThumbnailsInOrder(std::move(thumbnails)).downloads;
}

void Library::stopThumbnailWalk()
{
    if (m_thumbnailWalk)
        m_thumbnailWalk->abort();
    m_thumbnailWalk.reset();
}

void Library::addSavedWebsite(const SavedWebsite &website)
{
    assignProperty(this, m_lastAddedWebsiteId, std::optional(website.id), &Library::lastAddedWebsiteIdChanged);
    m_highlightTimer.start();
    QList<SavedWebsite> websites = m_websites;
    websites.prepend(website);
    cacheWebsites(std::move(websites));
    // Nobody waits for the thumbnail; the list finds it in the store when it is there.
    std::ignore = m_localStore.cacheThumbnailAsync(website.id, website.screenshotUrl);
}

const SavedWebsite *Library::findWebsite(qint64 id) const
{
    const auto found = std::find_if(m_websites.cbegin(), m_websites.cend(), [id](const SavedWebsite &website) { return website.id == id; });
    return found == m_websites.cend() ? nullptr : &*found;
}

void Library::togglePin(qint64 id)
{
    sendPinToggle(id);
}

void Library::updateWebsiteTitle(qint64 id, const QString &newTitle)
{
    sendTitle(id, newTitle);
}

void Library::deleteWebsite(qint64 id)
{
    sendDeletion(id);
}

QCoro::Task<> Library::sendPinToggle(qint64 id)
{
    const SavedWebsite *website = findWebsite(id);
    if (!website)
        co_return;
    const bool wasPinned = website->pinned();
    setPinned(id, !wasPinned);

    QPointer self(this);
    const auto token = m_backend.token();
    QJsonObject body;
    body.insert(u"isPinned"_s, !wasPinned);
    const auto result = co_await m_backend.request<SingleWebsiteResponse>(u"/websites/%1/pin"_s.arg(id), "PATCH"_ba, body);
    if (answerIsStale(self, token))
        co_return;
    if (!result) {
        qCInfo(lcLibrary) << "pinning failed, undone:" << result.error().message;
        setPinned(id, wasPinned);
        co_return;
    }
    // Only the pin state is taken from the answer. The preferences copy catches up at the next
    // cacheWebsites.
    if (setPinned(id, result.value().website.pinned()))
        m_copies->writeCacheFile(m_websites);
}

// Sets the pin state of the first website with this id, wherever the list has moved it by now, and
// re-sorts. False when no website has the id any more.
bool Library::setPinned(qint64 id, bool pinned)
{
    QList<SavedWebsite> websites = m_websites;
    const auto found = std::find_if(websites.begin(), websites.end(), [id](const SavedWebsite &website) { return website.id == id; });
    if (found == websites.end())
        return false;
    found->isPinned = pinned;
    publish(LibraryOrder::sorted(std::move(websites)));
    return true;
}

QCoro::Task<> Library::sendTitle(qint64 id, QString newTitle)
{
    const QString title = newTitle.trimmed();
    if (title.isEmpty())
        co_return;
    QPointer self(this);
    const auto token = m_backend.token();
    QJsonObject body;
    body.insert(u"title"_s, title);
    const auto result = co_await m_backend.request<SingleWebsiteResponse>(u"/websites/%1"_s.arg(id), "PUT"_ba, body);
    if (answerIsStale(self, token))
        co_return;
    if (!result) {
        qCInfo(lcLibrary) << "renaming failed:" << result.error().message;
        co_return;
    }
    QList<SavedWebsite> websites = m_websites;
    std::replace_if(
        websites.begin(), websites.end(), [id](const SavedWebsite &website) { return website.id == id; }, result.value().website);
    cacheWebsites(std::move(websites));
}

QCoro::Task<> Library::sendDeletion(qint64 id)
{
    QPointer self(this);
    const auto token = m_backend.token();
    const auto result = co_await m_backend.request<DeleteWebsiteResponse>(u"/websites/%1"_s.arg(id), "DELETE"_ba);
    if (answerIsStale(self, token))
        co_return;
    if (!result) {
        qCInfo(lcLibrary) << "deleting failed:" << result.error().message;
        co_return;
    }
    QList<SavedWebsite> websites = m_websites;
    websites.removeIf([id](const SavedWebsite &website) { return website.id == id; });
    cacheWebsites(std::move(websites));
    m_localStore.deleteCachedThumbnail(id);
}

void Library::shareWebsite(qint64 id)
{
    const SavedWebsite *website = findWebsite(id);
    if (!website || !QUrl(website->url, QUrl::StrictMode).isValid())
        return;
    // There is no sharing picker on this platform; sharing copies the link instead.
    copyWebsiteLink(id);
}

void Library::copyWebsiteLink(qint64 id)
{
    if (const SavedWebsite *website = findWebsite(id))
        m_clipboard.setText(website->url);
}

void Library::exportBookmarksToFile()
{
    assignProperty(this, m_exportError, std::nullopt, &Library::exportErrorChanged);
    const auto path = m_saveDialog.askForSavePath(tr("Export Saved Websites"), u"corvane-bookmarks.json"_s, u"JSON (*.json)"_s);
    if (!path)
        return;
    const QByteArray encoded = SavedWebsite::listToJsonText(m_websites, QJsonDocument::Compact);
    m_search->releaseReadText();
    // Not written in place where it can be helped: a failed write must neither leave a truncated
    // file nor destroy an earlier export at that path. A folder that takes no new file still lets
    // the user overwrite a file of theirs.
    const auto failure = writeFileAtomically(*path, encoded, {.ownerOnly = false, .directWriteFallback = true});
    if (!failure)
        return;
    qCInfo(lcLibrary) << "the export could not be written";
    assignProperty(this, m_exportError, std::optional(tr("The export could not be saved: %1").arg(*failure)), &Library::exportErrorChanged);
}
