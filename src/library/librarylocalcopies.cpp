#include "api/jsonreader.h"
#include "library/librarycopieswriter.h"
#include "library/libraryorder.h"
#include "library/librarysearch.h"
#include "library/localstoremanager.h"
#include "state/appviewmodel.h"

void AppViewModel::setUpLibrary()
{
    LocalStoreManager::shared().setBaseDirectory(m_localStoreDirectory);
    m_libraryCopiesWriter = std::make_shared<LibraryCopiesWriter>(m_defaults->location());
    m_librarySearch = std::make_shared<LibrarySearch>();
    connect(this, &AppViewModel::websitesChanged, this, [this] {
        m_librarySearch->prepare(m_websites);
        Q_EMIT filteredWebsitesChanged();
    });
    connect(this, &AppViewModel::searchQueryChanged, this, &AppViewModel::filteredWebsitesChanged);
}

// Start-up seeding shows the last known library at once, before the network answers.
void AppViewModel::seedWebsitesFromLocalCopies()
{
    if (auto cached = LocalStoreManager::shared().loadWebsitesFromDisk(); cached && !cached->isEmpty()) {
        assign(m_websites, LibraryOrder::sorted(std::move(*cached)), &AppViewModel::websitesChanged);
        return;
    }
    const auto stored = m_defaults->data(Preferences::kSavedWebsites);
    if (!stored)
        return;
    const auto parsed = JsonReader::parse(*stored);
    if (!parsed)
        return;
    auto decoded = SavedWebsite::listFromJson(*parsed);
    if (!decoded)
        return;
    assign(m_websites, LibraryOrder::sorted(std::move(decoded.value())), &AppViewModel::websitesChanged);
    m_libraryCopiesWriter->writeCacheFile(m_websites);
}

void AppViewModel::cacheWebsites(QList<SavedWebsite> websites)
{
    assign(m_websites, LibraryOrder::sorted(std::move(websites)), &AppViewModel::websitesChanged);
    m_libraryCopiesWriter->writeCacheFile(m_websites);
    m_libraryCopiesWriter->writePreferencesCopy(m_websites);
}

void AppViewModel::flushLibraryWrites()
{
    m_libraryCopiesWriter->flush();
}

void AppViewModel::clearLocalLibrary()
{
    ++*m_thumbnailWalk;
    m_libraryCopiesWriter->discardPending();
    // A background write stored just before the discard must not outlive the sign-out either.
    m_defaults->remove(Preferences::kSavedWebsites);
    auto &store = LocalStoreManager::shared();
    store.clearWebsitesCache();
    store.clearAllThumbnails();
}
