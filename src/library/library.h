#pragma once

#include "records.h"
#include "websitelistmodel.h"

#include <QCoroTask>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <memory>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

class BackendClient;
class Clipboard;
class LibraryCopies;
class LibrarySearch;
class LocalStoreManager;
class Preferences;
class SaveDialog;
class ThumbnailDownloader;

// The signed-in user's saved websites: fetched from the backend, kept in library order, searched
// and paged for the list, changed one website at a time, and kept in two local copies (the cache
// file and the preferences) so the next start shows them at once. Failures are silent: the
// previous state stays and the next fetch tries again.
class Library : public QObject
{
    Q_OBJECT

    Q_PROPERTY(QList<SavedWebsite> websites READ websites NOTIFY websitesChanged)
    Q_PROPERTY(int websiteCount READ websiteCount NOTIFY websitesChanged)
    Q_PROPERTY(QString searchQuery READ searchQuery WRITE setSearchQuery NOTIFY searchQueryChanged)
    Q_PROPERTY(int visibleLimit READ visibleLimit NOTIFY visibleLimitChanged)
    Q_PROPERTY(int filteredCount READ filteredCount NOTIFY filteredWebsitesChanged)
    Q_PROPERTY(QVariant lastAddedWebsiteId READ lastAddedWebsiteIdValue NOTIFY lastAddedWebsiteIdChanged)
    // The local copies are being read at start; the list shows that it is loading meanwhile.
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(WebsiteListModel *websiteList READ websiteList CONSTANT)
    // Why the last export failed, for the settings panel; nothing after one that worked.
    Q_PROPERTY(QVariant exportError READ exportErrorValue NOTIFY exportErrorChanged)

public:
    [[nodiscard]] static QString defaultPageTextFile();
    struct Dependencies {
        BackendClient &backend;
        Preferences &preferences;
        Clipboard &clipboard;
        SaveDialog &saveDialog;
        // Thumbnails and the folder of the cache file.
        LocalStoreManager &localStore;
        // Where page text is kept off the heap; derived from the library, so among the caches.
        QString pageTextFile = defaultPageTextFile();
    };

    explicit Library(const Dependencies &dependencies, QObject *parent = nullptr);
    ~Library() override;

    [[nodiscard]] const QList<SavedWebsite> &websites() const { return m_websites; }
    // The saved website at this address, if any (see isSameAddress).
    [[nodiscard]] std::optional<SavedWebsite> websiteAt(const QString &address) const;
    // Whether two addresses name the same page: the fragment and a trailing slash of the path
    // do not count, nor does the case of scheme and host.
    [[nodiscard]] static bool isSameAddress(const QString &first, const QString &second);
    [[nodiscard]] int websiteCount() const { return int(m_websites.size()); }
    [[nodiscard]] const QString &searchQuery() const { return m_searchQuery; }
    [[nodiscard]] int visibleLimit() const { return m_visibleLimit; }
    [[nodiscard]] int filteredCount() const { return int(m_filteredWebsites.size()); }
    [[nodiscard]] std::optional<qint64> lastAddedWebsiteId() const { return m_lastAddedWebsiteId; }
    [[nodiscard]] bool isLoading() const { return m_isLoading; }
    // The websites matching searchQuery, in library order; the list model shows the first
    // visibleLimit of them.
    [[nodiscard]] const QList<SavedWebsite> &filteredWebsites() const { return m_filteredWebsites; }
    [[nodiscard]] WebsiteListModel *websiteList() const { return m_websiteList.get(); }
    [[nodiscard]] const std::optional<QString> &exportError() const { return m_exportError; }

    void setSearchQuery(const QString &text);
    Q_INVOKABLE void showMoreWebsites();

    // Shows the last known library as soon as the local copies are read, off the main thread; a
    // fetch or sign-out that comes first wins.
    QCoro::Task<> seedFromLocalCopies();
    QCoro::Task<> fetchWebsites();
    // A website the user just saved: first in the list and highlighted for a moment.
    void addSavedWebsite(const SavedWebsite &website);
    // Sign-out: forgets the library, both local copies and the thumbnails.
    void clear();
    // Blocks until both local copies and the page text file hold what was last published; they are
    // written in the background.
    void flushLocalCopies();

    // Item operations. They change nothing when the backend refuses; pinning shows at once and is
    // undone on failure.
    Q_INVOKABLE void togglePin(qint64 id);
    Q_INVOKABLE void updateWebsiteTitle(qint64 id, const QString &newTitle);
    Q_INVOKABLE void deleteWebsite(qint64 id);
    Q_INVOKABLE void shareWebsite(qint64 id);
    Q_INVOKABLE void copyWebsiteLink(qint64 id);
    Q_INVOKABLE void exportBookmarksToFile();

Q_SIGNALS:
    void websitesChanged();
    void searchQueryChanged();
    void visibleLimitChanged();
    void filteredWebsitesChanged();
    void lastAddedWebsiteIdChanged();
    void isLoadingChanged();
    void exportErrorChanged();

private:
    [[nodiscard]] QVariant lastAddedWebsiteIdValue() const;
    [[nodiscard]] QVariant exportErrorValue() const;
    [[nodiscard]] const SavedWebsite *findWebsite(qint64 id) const;

    // Every replacement of the whole library: sorts, publishes and writes both local copies.
    void cacheWebsites(QList<SavedWebsite> websites);
    // Publishes shown and writes both local copies from written, the same list, whose page text may
    // still be on the heap where shown's is in the page text file already.
    void cacheSortedWebsites(QList<SavedWebsite> shown, const QList<SavedWebsite> &written);
    void publish(QList<SavedWebsite> sortedWebsites);
    // The list with its page text in the page text file, once that is written; the list itself when
    // it could not be, or a newer list was handed in meanwhile.
    QCoro::Task<QList<SavedWebsite>> withPageTextFiled(QList<SavedWebsite> sortedWebsites);
    void refilter();
    void cacheThumbnailsOf(const QList<SavedWebsite> &websites);
    void stopThumbnailWalk();
    bool setPinned(qint64 id, bool pinned);
    // An answer is dropped when the library is gone or the session it was asked in has ended.
    [[nodiscard]] bool answerIsStale(const QPointer<Library> &self, const std::optional<QString> &tokenAsked) const;

    QCoro::Task<> sendPinToggle(qint64 id);
    QCoro::Task<> sendTitle(qint64 id, QString newTitle);
    QCoro::Task<> sendDeletion(qint64 id);

    BackendClient &m_backend;
    Clipboard &m_clipboard;
    SaveDialog &m_saveDialog;
    LocalStoreManager &m_localStore;

    QList<SavedWebsite> m_websites;
    QString m_searchQuery;
    int m_visibleLimit = 5;
    QList<SavedWebsite> m_filteredWebsites;
    std::optional<qint64> m_lastAddedWebsiteId;
    QTimer m_highlightTimer;
    std::unique_ptr<WebsiteListModel> m_websiteList;
    std::optional<QString> m_exportError;
    bool m_isLoading = false;
    // Counts replacements of the library, so that work begun on one list knows when it is stale.
    quint64 m_publications = 0;

    std::unique_ptr<LibraryCopies> m_copies;
    std::unique_ptr<LibrarySearch> m_search;
    // Each fetch walks the thumbnails anew; a walk stops when a newer one starts, at sign-out, and
    // when the library is gone.
    std::shared_ptr<ThumbnailDownloader> m_thumbnailWalk;
    // The library benchmark times the private cacheWebsites.
    friend struct LibraryBenchmarkAccess;
};
