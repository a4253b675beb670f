// The library at realistic sizes: 2,000 or 10,000 websites with about 20 KB of page text each.
// Measures what the main thread waits for: filtering, caching a new list and start-up seeding,
// and reports the resident memory with the library loaded.

#include "appviewmodel.h"
#include "backendclient.h"
#include "desktopworkspace.h"
#include "heap.h"
#include "library.h"
#include "librarycopies.h"
#include "libraryorder.h"
#include "librarysearchindex.h"
#include "pagetext.h"
#include "support/stubserver.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <ctime>

using namespace Qt::StringLiterals;

// Reaches the private cacheWebsites, the one thing measured here that has no public way in.
struct LibraryBenchmarkAccess {
    static void cacheWebsites(AppViewModel &model, QList<SavedWebsite> websites) { model.library()->cacheWebsites(std::move(websites)); }
};

namespace
{
QList<SavedWebsite> makeLibrary(int count)
{
    QList<SavedWebsite> library;
    QRandomGenerator random{quint32(count)};
    for (int id = 1; id <= count; ++id) {
        library.append({
            .id = id,
            .url = u"https://www.example%1.com/articles/%2"_s.arg(id % 97).arg(id),
            .title = u"Article number %1 about Things"_s.arg(id),
            .screenshotUrl = u"https://thumbnails.example.com/%1.png"_s.arg(id),
            .content = pageText(random, id % 10 == 0),
            .isPinned = id % 50 == 0 ? std::optional(true) : std::nullopt,
            .createdAt = u"2024-%1-%2T10:00:00.000Z"_s.arg(1 + id % 12, 2, 10, QChar(u'0')).arg(1 + id % 28, 2, 10, QChar(u'0')),
            .updatedAt = u"2024-12-01T10:00:00.000Z"_s,
        });
    }
    return library;
}

// A memory figure of this process as the kernel reports it ("VmRSS:", "VmHWM:").
double statusMegabytes(const QByteArray &field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

double residentMegabytes()
{
    return statusMegabytes("VmRSS:");
}

// Processor time of the calling thread: what the main thread spends, whatever other threads do.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The main thread's share of an operation: its processor time in all, and in the longest single
// pass of the event loop, which is as long as the interface may have to wait for it.
class MainThreadSteps
{
public:
    template<typename Step> auto run(Step step)
    {
        const double before = threadSeconds();
        auto result = step();
        note(threadSeconds() - before);
        return result;
    }

    template<typename Done> void runEventsUntil(Done done)
    {
        while (!done()) {
            const double before = threadSeconds();
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            note(threadSeconds() - before);
        }
    }

    [[nodiscard]] double total() const { return m_total; }
    [[nodiscard]] double longest() const { return m_longest; }

private:
    void note(double seconds)
    {
        m_total += seconds;
        m_longest = std::max(m_longest, seconds);
    }

    double m_total = 0;
    double m_longest = 0;
};

// A signed-in user whose library is in both local copies, as the last run left them.
class StoredLibrary
{
public:
    explicit StoredLibrary(int count, bool preferencesCopy = true)
    {
        QSettings settings(preferencesFile(), QSettings::IniFormat);
        settings.setValue(Preferences::kJWTToken, u"token"_s);
        settings.setValue(Preferences::kCurrentUser, QJsonDocument(User{.id = 1, .email = u"a@b.test"_s}.toJson()).toJson());
        const QList<SavedWebsite> library = makeLibrary(count);
        if (preferencesCopy)
            settings.setValue(Preferences::kSavedWebsites, QJsonDocument(SavedWebsite::listToJson(library)).toJson(QJsonDocument::Compact));
        QDir().mkpath(storeDirectory());
        QFile file(QDir(storeDirectory()).filePath(u"websites_cache.json"_s));
        if (file.open(QIODevice::WriteOnly))
            file.write(LibraryCopies::encodeCacheFile(library));
    }

    std::unique_ptr<AppViewModel> open() const
    {
        LibraryCopies::moveCopyOutOfPreferences(preferencesFile());
        AppViewModelDependencies dependencies{
            // Nothing listens there, so the start-up fetch fails at once and changes nothing.
            .webPortalUrl = u"http://127.0.0.1:9"_s,
            .preferences = std::make_unique<Preferences>(std::make_unique<QSettings>(preferencesFile(), QSettings::IniFormat)),
            .localStoreDirectory = storeDirectory(),
            .workspace = std::make_unique<DesktopWorkspace>(),
            .windowList = std::make_unique<UnavailableWindowList>(),
            .clipboard = std::make_unique<SystemClipboard>(),
            .saveDialog = std::make_unique<FileSaveDialog>(),
        };
        return std::make_unique<AppViewModel>(std::move(dependencies));
    }

    // A view model with its library read from disk.
    std::unique_ptr<AppViewModel> openSeeded() const
    {
        auto model = open();
        MainThreadSteps().runEventsUntil([&model] { return !model->library()->isLoading(); });
        return model;
    }

    [[nodiscard]] QString preferencesFile() const { return m_directory.filePath(u"preferences.ini"_s); }

private:
    QString storeDirectory() const { return m_directory.filePath(u"Corvane"_s); }

    QTemporaryDir m_directory;
};

// Waits for the background index of the current list by asking for it.
void waitForSearchIndex(AppViewModel &model)
{
    Library &library = *model.library();
    const QString query = library.searchQuery();
    library.setSearchQuery(u"x"_s);
    library.setSearchQuery(query);
}

void BM_FilterOneWordMatchingNothing(benchmark::State &state)
{
    StoredLibrary stored(int(state.range(0)), false);
    const auto model = stored.openSeeded();
    Library &library = *model->library();
    // Each keystroke filters anew; the two texts differ but search for the same word.
    const QString queries[] = {u"  Zebrafish "_s, u"Zebrafish"_s};
    int next = 0;
    for (auto _ : state) {
        library.setSearchQuery(queries[next ^= 1]);
        if (library.filteredCount() != 0)
            state.SkipWithError("the query was meant to match nothing");
    }
}
BENCHMARK(BM_FilterOneWordMatchingNothing)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_FilterOneWordMatchingSome(benchmark::State &state)
{
    StoredLibrary stored(int(state.range(0)), false);
    const auto model = stored.openSeeded();
    Library &library = *model->library();
    const QString queries[] = {u"CAFÉ"_s, u" CAFÉ"_s};
    int next = 0;
    for (auto _ : state)
        library.setSearchQuery(queries[next ^= 1]);
    state.counters["matches"] = double(library.filteredCount());
}
BENCHMARK(BM_FilterOneWordMatchingSome)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Building the search index off the main thread: from nothing (start-up, sign-in), and again after
// one website changed (a pin), when every other website's text is reused. A search made while a
// build is running waits for it.
void BM_SearchIndexBuild(benchmark::State &state)
{
    const QList<SavedWebsite> library = makeLibrary(int(state.range(0)));
    const auto previous = LibrarySearchIndex::build(library, nullptr);
    QList<SavedWebsite> pinned = library;
    pinned[0].isPinned = true;
    const bool reuse = state.range(1) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(LibrarySearchIndex::build(pinned, reuse ? previous.get() : nullptr));
}
BENCHMARK(BM_SearchIndexBuild)->Args({2000, 0})->Args({2000, 1})->Unit(benchmark::kMillisecond);

// What lowering everything on each keystroke would cost, for comparison.
void BM_FilterPlainRule(benchmark::State &state)
{
    const QList<SavedWebsite> library = makeLibrary(int(state.range(0)));
    const QString query = u"zebrafish"_s;
    for (auto _ : state) {
        int found = 0;
        for (const SavedWebsite &website : library) {
            found += website.title.toLower().contains(query) || website.url.toLower().contains(query)
                || website.content.value_or(PageText()).toString().toLower().contains(query);
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FilterPlainRule)->Arg(2000)->Unit(benchmark::kMillisecond);

// A new list (every website changed) replacing the library: the time cacheWebsites keeps the
// main thread, then, untimed, how long the background writes take.
void BM_CacheWebsitesNewList(benchmark::State &state)
{
    StoredLibrary stored(int(state.range(0)), false);
    const auto model = stored.openSeeded();
    const QList<SavedWebsite> library = makeLibrary(int(state.range(0)));
    QList<SavedWebsite> renamed = library;
    for (SavedWebsite &website : renamed)
        website.title += u" (2)"_s;
    bool flip = false;
    double writeSeconds = 0;
    for (auto _ : state) {
        LibraryBenchmarkAccess::cacheWebsites(*model, flip ? library : renamed);
        state.PauseTiming();
        QElapsedTimer writing;
        writing.start();
        model->library()->flushLocalCopies();
        writeSeconds += writing.nsecsElapsed() / 1e9;
        waitForSearchIndex(*model);
        flip = !flip;
        state.ResumeTiming();
    }
    state.counters["background_write_ms"] = benchmark::Counter(writeSeconds * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CacheWebsitesNewList)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(6);

// The same websites in another order, equal to the library once sorted: the worst case of the
// comparison with the published list.
void BM_CacheWebsitesSameListReordered(benchmark::State &state)
{
    StoredLibrary stored(int(state.range(0)), false);
    const auto model = stored.openSeeded();
    QList<SavedWebsite> reordered;
    for (const SavedWebsite &website : makeLibrary(int(state.range(0)))) {
        SavedWebsite copy = website;
        // Fresh text storage, as a decoded answer would have.
        copy.content = PageText(website.content->toString());
        reordered.prepend(copy);
    }
    for (auto _ : state) {
        LibraryBenchmarkAccess::cacheWebsites(*model, reordered);
        state.PauseTiming();
        model->library()->flushLocalCopies();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CacheWebsitesSameListReordered)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(6);

// Start-up with a stored session: from constructing the view model until it has published the
// library read from the cache file, in main-thread processor time (the rest happens on a worker).
// Arg 1: the preferences also hold their copy of the library as an earlier version kept it, which
// the first start moves into a file of its own.
void BM_StartUpSeeding(benchmark::State &state)
{
    const double residentBefore = residentMegabytes();
    StoredLibrary stored(int(state.range(0)), state.range(1) != 0);
    double residentLoaded = 0;
    double longest = 0;
    double wallSeconds = 0;
    for (auto _ : state) {
        MainThreadSteps steps;
        QElapsedTimer wall;
        wall.start();
        auto model = steps.run([&stored] { return stored.open(); });
        steps.runEventsUntil([&model] { return !model->library()->isLoading(); });
        wallSeconds += wall.nsecsElapsed() / 1e9;
        state.SetIterationTime(steps.total());
        longest = std::max(longest, steps.longest());
        if (model->library()->websites().size() != state.range(0))
            state.SkipWithError("the library was not seeded");
        waitForSearchIndex(*model);
        // The first model only, before earlier ones have left their freed memory behind.
        if (residentLoaded == 0)
            residentLoaded = residentMegabytes();
        model.reset();
    }
    state.counters["longest_step_ms"] = longest * 1000;
    state.counters["wall_ms"] = benchmark::Counter(wallSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.counters["VmRSS_before_MB"] = residentBefore;
    state.counters["VmRSS_loaded_MB"] = residentLoaded;
}
// The library's memory once it is loaded and settled, then after a search that reads every
// website's page text: the anonymous part (RssAnon, the heap) and all of it (VmRSS), beside the
// same figures before the library was made. Run each size alone, e.g.
// --benchmark_filter=BM_LibraryMemory/10000, so that no other benchmark's memory is counted.
void BM_LibraryMemory(benchmark::State &state)
{
    Heap::returnFreedMemory();
    state.counters["RssAnon_before_MB"] = statusMegabytes("RssAnon:");
    state.counters["VmRSS_before_MB"] = residentMegabytes();
    StoredLibrary stored(int(state.range(0)), false);
    for (auto _ : state) {
        const auto model = stored.openSeeded();
        waitForSearchIndex(*model);
        // As long as the application's own trim waits after the last large step.
        QEventLoop settling;
        QTimer::singleShot(std::chrono::seconds(3), &settling, &QEventLoop::quit);
        settling.exec();
        state.counters["RssAnon_settled_MB"] = statusMegabytes("RssAnon:");
        state.counters["VmRSS_settled_MB"] = residentMegabytes();
        model->library()->setSearchQuery(u"zebrafish"_s);
        if (model->library()->filteredCount() != 0)
            state.SkipWithError("the query was meant to match nothing");
        state.counters["RssAnon_searched_MB"] = statusMegabytes("RssAnon:");
        state.counters["VmRSS_searched_MB"] = residentMegabytes();
    }
}
BENCHMARK(BM_LibraryMemory)->Arg(2000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One preference written to disk while the library, 2,000 websites of 20 KB, is loaded: the
// preferences file no longer holds a copy of it, so the write stays small.
void BM_PreferenceWrite(benchmark::State &state)
{
    StoredLibrary stored(int(state.range(0)));
    const auto model = stored.openSeeded();
    model->library()->flushLocalCopies();
    Preferences preferences(std::make_unique<QSettings>(stored.preferencesFile(), QSettings::IniFormat));
    bool shown = false;
    for (auto _ : state) {
        preferences.setBool(Preferences::kShowHeaderEmail, shown = !shown);
        preferences.save();
    }
    state.counters["file_KB"] = double(QFileInfo(stored.preferencesFile()).size()) / 1024;
}
BENCHMARK(BM_PreferenceWrite)->Arg(2000)->Unit(benchmark::kMillisecond);

// The tests' stub server on a thread of its own, so that the main thread's processor time is the
// client's alone.
class ServerThread
{
public:
    ServerThread()
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        run([this] { m_server = std::make_unique<StubServer>(); });
        m_baseUrl = m_server->baseUrl();
    }

    ~ServerThread()
    {
        run([this] { m_server.reset(); });
        m_thread.quit();
        m_thread.wait();
    }

    [[nodiscard]] const QString &baseUrl() const { return m_baseUrl; }
    void queue(const QString &target, const StubServer::Response &response)
    {
        run([this, &target, &response] { m_server->queue("GET", target, response); });
    }

private:
    template<typename Function> void run(Function function)
    {
        QMetaObject::invokeMethod(&m_context, function, Qt::BlockingQueuedConnection);
    }

    QThread m_thread;
    QObject m_context;
    std::unique_ptr<StubServer> m_server;
    QString m_baseUrl;
};

// A fetch whose answer is the whole library, about 40 MB of JSON: the main thread's processor
// time from sending the request until the answer is applied. Arg 1: whether the answer differs
// from the published list (then cacheWebsites runs) or equals it (then the full comparison runs
// and nothing is written).
void BM_FetchLargeLibrary(benchmark::State &state)
{
    const bool changed = state.range(1) != 0;
    QTemporaryDir directory;
    QList<SavedWebsite> library = makeLibrary(int(state.range(0)));
    for (SavedWebsite &website : library)
        website.screenshotUrl.reset();
    library = LibraryOrder::sorted(library);
    QList<SavedWebsite> renamed = library;
    for (SavedWebsite &website : renamed)
        website.title += u" (2)"_s;

    ServerThread server;
    const auto answer = [](const QList<SavedWebsite> &websites) { return StubServer::json(200, WebsitesResponse{websites}.toJson()); };
    const StubServer::Response original = answer(library);
    // Built only when used: at 50,000 websites each answer is over a gigabyte.
    const StubServer::Response changedAnswer = changed ? answer(renamed) : StubServer::Response{};
    // A stored token but no stored user: no session is restored, so no fetch starts by itself.
    auto preferences
        = std::make_unique<Preferences>(std::make_unique<QSettings>(directory.filePath(u"preferences.ini"_s), QSettings::IniFormat));
    preferences->setText(Preferences::kJWTToken, u"token"_s);
    AppViewModel model(AppViewModelDependencies{
        .webPortalUrl = server.baseUrl(),
        .preferences = std::move(preferences),
        .localStoreDirectory = directory.filePath(u"Corvane"_s),
        .workspace = std::make_unique<DesktopWorkspace>(),
        .windowList = std::make_unique<UnavailableWindowList>(),
        .clipboard = std::make_unique<SystemClipboard>(),
        .saveDialog = std::make_unique<FileSaveDialog>(),
    });
    server.queue(u"/api/websites"_s, original);
    QCoro::waitFor(model.library()->fetchWebsites());
    model.library()->flushLocalCopies();

    bool flip = false;
    double wallSeconds = 0;
    double longest = 0;
    for (auto _ : state) {
        server.queue(u"/api/websites"_s, changed && !flip ? changedAnswer : original);
        QElapsedTimer wall;
        wall.start();
        MainThreadSteps steps;
        auto fetch = steps.run([&model] { return model.library()->fetchWebsites(); });
        steps.runEventsUntil([&fetch] { return fetch.isReady(); });
        state.SetIterationTime(steps.total());
        longest = std::max(longest, steps.longest());
        wallSeconds += wall.nsecsElapsed() / 1e9;
        if (model.library()->websites().constFirst().title != (changed && !flip ? renamed : library).constFirst().title)
            state.SkipWithError("the answer was not applied");
        model.library()->flushLocalCopies();
        waitForSearchIndex(model);
        flip = !flip;
    }
    state.counters["longest_step_ms"] = longest * 1000;
    state.counters["wall_ms"] = benchmark::Counter(wallSeconds * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FetchLargeLibrary)
    ->Args({2000, 1})
    ->Args({2000, 0})
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Args({50000, 1})
    ->Args({50000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

BENCHMARK(BM_StartUpSeeding)
    ->Args({2000, 1})
    ->Args({2000, 0})
    ->Args({10000, 0})
    ->Args({50000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The most memory one backend answer costs while it is collected and decoded into records: the
// peak resident growth from sending the request until the records are in hand, as a multiple of
// the answer's size (the worst of the iterations).
void BM_FetchPeakMemory(benchmark::State &state)
{
    ServerThread server;
    const StubServer::Response answer = StubServer::json(200, WebsitesResponse{makeLibrary(int(state.range(0)))}.toJson());
    const double answerMegabytes = double(answer.body.size()) / 1024 / 1024;
    BackendClient client(server.baseUrl(), std::chrono::seconds(60));
    double worstRatio = 0;
    for (auto _ : state) {
        state.PauseTiming();
        server.queue(u"/api/websites"_s, answer);
        Heap::returnFreedMemory();
        QFile clearRefs(u"/proc/self/clear_refs"_s);
        if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1)
            state.SkipWithError("cannot reset the resident high-water mark");
        clearRefs.close();
        const double residentAtStart = residentMegabytes();
        state.ResumeTiming();
        QCoro::waitFor(client.request<WebsitesResponse>(u"/websites"_s, "GET"_ba).then([&](const RequestResult<WebsitesResponse> &result) {
            // Read while the records are still held: they are part of what the fetch costs.
            const double peak = statusMegabytes("VmHWM:");
            if (!result || result.value().websites.size() != state.range(0))
                state.SkipWithError("the answer was not decoded");
            worstRatio = std::max(worstRatio, (peak - residentAtStart) / answerMegabytes);
        }));
    }
    state.counters["answer_MB"] = answerMegabytes;
    state.counters["peak_growth_per_answer_size"] = worstRatio;
}
BENCHMARK(BM_FetchPeakMemory)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(3);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
