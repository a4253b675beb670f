// The panel's list at realistic library sizes, offscreen: how long after a new library is published
// the first frame showing it is on screen, how long a frame takes while the grid scrolls, and the
// resident memory with 2,000 websites of about 20 KB each shown.

#include "library.h"
#include "shellsupport.h"
#include "support/stubserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QQuickItem>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <benchmark/benchmark.h>

#include <unistd.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

using namespace Qt::StringLiterals;

// The one way to hand the library a whole new list without a fetch.
struct LibraryBenchmarkAccess {
    static void cacheWebsites(Library &library, QList<SavedWebsite> websites) { library.cacheWebsites(std::move(websites)); }
};

namespace
{
const User kUser{.id = 1, .email = u"bench@example.org"_s, .createdAt = {}};

QList<SavedWebsite> makeWebsites(int count, qsizetype pageTextSize)
{
    QList<SavedWebsite> websites;
    websites.reserve(count);
    for (int id = 1; id <= count; ++id) {
        const QString sentence = u"Paragraph of page %1 with words to search through. "_s.arg(id);
        websites.append({
            .id = id,
            .url = u"https://news%1.example.org/story/%2"_s.arg(id % 131).arg(id),
            .title = u"Story %1: what happened next"_s.arg(id),
            .content = sentence.repeated(pageTextSize / sentence.size() + 1).left(pageTextSize),
            .isPinned = id % 40 == 0 ? std::optional(true) : std::nullopt,
            .createdAt = u"2024-%1-%2T08:00:00Z"_s.arg(1 + id % 12, 2, 10, QChar(u'0')).arg(1 + id % 28, 2, 10, QChar(u'0')),
        });
    }
    return websites;
}

// A signed-in panel whose start-up fetch fails at once, so only the benchmark changes the library.
std::unique_ptr<Panel> openPanel(bool wide)
{
    auto panel = std::make_unique<Panel>(Panel::Options{.signedInUser = kUser, .portalUrl = StubServer::refusingBaseUrl()});
    if (wide)
        panel->model->setWideLayout(true);
    return panel;
}

// Runs the event loop until the window has shown its next frame; false after a second without one.
bool waitForFrame(QQuickWindow &window)
{
    QEventLoop loop;
    bool swapped = false;
    QObject::connect(&window, &QQuickWindow::frameSwapped, &loop, [&] {
        swapped = true;
        loop.quit();
    });
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    window.update();
    loop.exec();
    return swapped;
}

double residentMegabytes()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

QQuickItem *findView(const Panel &panel, const char *objectName)
{
    QQuickItem *view = panel.item(objectName);
    return view && view->isVisible() ? view : nullptr;
}

// From the moment a new library is published to the first frame that shows its list.
void BM_FirstFrameAfterPublish(benchmark::State &state)
{
    const auto websites = makeWebsites(int(state.range(0)), 2048);
    const auto panel = openPanel(false);
    Library &library = *panel->model->library();
    QElapsedTimer sincePublished;
    QObject::connect(&library, &Library::websitesChanged, &library, [&sincePublished] { sincePublished.start(); });
    for (auto _ : state) {
        LibraryBenchmarkAccess::cacheWebsites(library, {});
        waitForFrame(*panel->window);
        LibraryBenchmarkAccess::cacheWebsites(library, websites);
        if (!waitForFrame(*panel->window) || !findView(*panel, "websitesRows")) {
            state.SkipWithError("the list was not shown");
            return;
        }
        state.SetIterationTime(double(sincePublished.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_FirstFrameAfterPublish)->Arg(2000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

// Frame time while the grid of every website scrolls, 45 points a frame, wrapping at the end.
void BM_GridScrollFrame(benchmark::State &state)
{
    const int count = int(state.range(0));
    const auto panel = openPanel(true);
    panel->window->resize(820, 700);
    Library &library = *panel->model->library();
    LibraryBenchmarkAccess::cacheWebsites(library, makeWebsites(count, 256));
    while (library.visibleLimit() < count)
        library.showMoreWebsites();
    waitForFrame(*panel->window);
    auto *grid = qobject_cast<QQuickItem *>(findView(*panel, "websitesGrid"));
    if (!grid) {
        state.SkipWithError("the grid was not shown");
        return;
    }
    const qreal end = grid->property("contentHeight").toReal() - grid->height();
    qreal y = 0;
    QElapsedTimer frame;
    double slowest = 0;
    for (auto _ : state) {
        // About a screenful a second at sixty frames a second, as a trackpad flick settles.
        y = y + 45 > end ? 0 : y + 45;
        frame.start();
        grid->setProperty("contentY", y);
        waitForFrame(*panel->window);
        const double seconds = double(frame.nsecsElapsed()) / 1e9;
        slowest = std::max(slowest, seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["slowest_ms"] = slowest * 1000;
}
BENCHMARK(BM_GridScrollFrame)->Arg(2000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(400);

// Resident memory with 2,000 websites of about 20 KB of page text loaded and the list on screen.
void BM_ResidentMemoryWithListShown(benchmark::State &state)
{
    const auto panel = openPanel(false);
    Library &library = *panel->model->library();
    waitForFrame(*panel->window);
    // What the panel itself holds, so the list's share can be told from the library's.
    state.counters["empty_panel_MB"] = residentMegabytes();
    for (auto _ : state) {
        LibraryBenchmarkAccess::cacheWebsites(library, makeWebsites(int(state.range(0)), 20 * 1024));
        library.flushLocalCopies();
        waitForFrame(*panel->window);
    }
    state.counters["resident_MB"] = residentMegabytes();
}
BENCHMARK(BM_ResidentMemoryWithListShown)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
