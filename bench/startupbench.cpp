// Start-up of the real client where users feel it: a fresh client process on an X display, a real
// corvane-server behind it, and a signed-in profile whose two local copies of the library hold N
// websites of about 20 KB page text. For a first start and a restart on the same profile it
// reports the time until the panel's window is mapped, the resident memory 10 s after start and
// the CPU time of the 30 s after that, each the median of several runs, beside a profile without
// websites. Needs DISPLAY; bench/startup.sh provides Xvfb and a window manager.

#include "atomicwrite.h"
#include "database.h"
#include "librarycopies.h"
#include "pagetext.h"
#include "preferences.h"
#include "preferencessecretstore.h"
#include "rawhttpclient.h"
#include "records.h"
#include "serverprocess.h"
#include "websitestore.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace
{
struct Account {
    AuthResponse session;
    QList<SavedWebsite> library;
};

// Registers a user and stores count websites for it through the server's own storage layer, which
// is far quicker than one request per website. The library comes back in the server's order, the
// one the client's fetch receives.
std::optional<Account> seedAccount(ServerProcess &server, int count)
{
    RawHttpClient client(server.baseUrl());
    const HttpAnswer registered
        = client.request("POST", u"/api/auth/register"_s,
                         QJsonDocument(QJsonObject{{"email"_L1, "bench@example.com"_L1}, {"password"_L1, "benchmark"_L1}}).toJson());
    auto session = AuthResponse::fromJson(registered.json()).toOptional();
    QString error;
    const std::unique_ptr<Database> database = Database::open(server.sharingArguments().at(1), &error);
    if (!session || !database) {
        std::fprintf(stderr, "cannot seed the server: %d %s\n", registered.status, qPrintable(error));
        return std::nullopt;
    }
    // Inline thumbnails: the first start decodes and stores them, a restart finds them on disk,
    // and no request leaves the machine.
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.save(&png, "PNG");
    const QString thumbnail = "data:image/png;base64,"_L1 + QString::fromLatin1(png.data().toBase64());

    WebsiteStore websites(*database);
    QRandomGenerator random{quint32(count)};
    for (int index = 1; index <= count; ++index)
        websites.create(session->user.id,
                        {.url = u"https://www.example%1.com/articles/%2"_s.arg(index % 97).arg(index),
                         .title = u"Article number %1 about Things"_s.arg(index),
                         .screenshotUrl = thumbnail,
                         .content = pageText(random, index % 10 == 0)});
    QList<SavedWebsite> library = websites.list(session->user.id);
    return Account{.session = std::move(*session), .library = std::move(library)};
}

// A throw-away home for one client: signed in, with the library in both local copies written by
// the client's own encoders, and its own runtime folder so no other client instance answers.
class ClientProfile
{
public:
    explicit ClientProfile(const Account &account)
    {
        for (const char *folder : {"config", "data/Corvane", "cache", "runtime"})
            QDir().mkpath(path(QLatin1StringView(folder)));
        QFile::setPermissions(path(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Preferences preferences(std::make_unique<QSettings>(path(u"config/Corvane/Corvane.conf"_s), QSettings::IniFormat));
        // Without a secret service the client keeps the token in the preferences, as here.
        PreferencesSecretStore(preferences).setText(Preferences::kJWTToken, account.session.token);
        preferences.setData(Preferences::kCurrentUser, QJsonDocument(account.session.user.toJson()).toJson(QJsonDocument::Compact));
        if (!account.library.isEmpty()) {
            preferences.setData(Preferences::kSavedWebsites, LibraryCopies::encodePreferencesCopy(account.library));
            // Without it every start would read the preferences copy instead.
            if (const auto failure
                = writeFileAtomically(path(u"data/Corvane/websites_cache.json"_s), LibraryCopies::encodeCacheFile(account.library)))
                qFatal("cannot write the cache file: %s", qPrintable(*failure));
        }
        preferences.save();
    }

    [[nodiscard]] QString path(const QString &relative) const { return m_home.filePath(relative); }

    [[nodiscard]] QProcessEnvironment environment(const QUrl &portal) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, m_home.path());
        environment.insert(u"XDG_CONFIG_HOME"_s, path(u"config"_s));
        environment.insert(u"XDG_DATA_HOME"_s, path(u"data"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, path(u"cache"_s));
        environment.insert(u"XDG_RUNTIME_DIR"_s, path(u"runtime"_s));
        environment.insert(u"CORVANE_PORTAL_URL"_s, portal.toString());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        // A bare X session has no secret service; an inherited session bus might offer one.
        environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
        return environment;
    }

private:
    QTemporaryDir m_home;
};

// Sees top-level windows being mapped on the X display: with a window manager the client's window
// is mapped inside a frame, so the frame's children are searched for the client's process id.
class MapWatcher
{
public:
    MapWatcher()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        xcb_intern_atom_reply_t *atom
            = xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, sizeof name - 1, name), nullptr);
        m_pidAtom = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(atom);
    }
    ~MapWatcher() { xcb_disconnect(m_connection); }
    MapWatcher(const MapWatcher &) = delete;
    MapWatcher &operator=(const MapWatcher &) = delete;

    [[nodiscard]] bool ok() const { return !xcb_connection_has_error(m_connection) && m_pidAtom != XCB_ATOM_NONE; }

    void discardPending()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            free(event);
    }

    // When the first window of the process was mapped, or nothing by the deadline.
    std::optional<Clock::time_point> waitForWindowOf(qint64 pid, Clock::time_point deadline)
    {
        while (Clock::now() < deadline && !xcb_connection_has_error(m_connection)) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                const Clock::time_point seen = Clock::now();
                const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
                const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t *>(event)->window;
                free(event);
                if (mapped && belongsTo(window, pid, 2))
                    return seen;
            }
            pollfd readable{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&readable, 1, int(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count()));
        }
        return std::nullopt;
    }

private:
    bool belongsTo(xcb_window_t window, qint64 pid, int depth)
    {
        xcb_get_property_reply_t *property
            = xcb_get_property_reply(m_connection, xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        const bool owned = property && xcb_get_property_value_length(property) == 4
            && *static_cast<const uint32_t *>(xcb_get_property_value(property)) == uint32_t(pid);
        free(property);
        if (owned || depth == 0)
            return owned;
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr);
        if (!tree)
            return false;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        const bool found = std::any_of(children, children + xcb_query_tree_children_length(tree),
                                       [&](xcb_window_t child) { return belongsTo(child, pid, depth - 1); });
        free(tree);
        return found;
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
};

// A line of /proc/<pid>/status such as "VmRSS:  123456 kB", in megabytes.
double statusMegabytes(qint64 pid, QByteArrayView field)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return NAN;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field) && line.at(field.size()) == ':')
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024;
    return NAN;
}

// utime + stime from /proc/<pid>/stat, after the command name, which may hold spaces.
double cpuSeconds(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return NAN;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return NAN;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

struct Sample {
    double windowMs = NAN;
    double residentMb = NAN;
    // The heap's share of it, without mapped files and libraries.
    double anonymousMb = NAN;
    double peakMb = NAN;
    double idleCpuSeconds = NAN;
};

struct Timing {
    std::chrono::seconds settle;
    std::chrono::seconds idle;
};

Sample runClient(const QString &binary, const ClientProfile &profile, const QUrl &portal, const QString &logFile, MapWatcher &windows,
                 Timing timing)
{
    QProcess client;
    client.setProcessEnvironment(profile.environment(portal));
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.setStandardOutputFile(logFile);
    windows.discardPending();
    const Clock::time_point start = Clock::now();
    client.start(binary, {});
    Sample sample;
    if (!client.waitForStarted()) {
        std::fprintf(stderr, "cannot start %s: %s\n", qPrintable(binary), qPrintable(client.errorString()));
        return sample;
    }
    const qint64 pid = client.processId();
    std::optional<Clock::time_point> mapped = windows.waitForWindowOf(pid, start + timing.settle);
    std::this_thread::sleep_until(start + timing.settle);
    sample.residentMb = statusMegabytes(pid, "VmRSS");
    sample.anonymousMb = statusMegabytes(pid, "RssAnon");
    sample.peakMb = statusMegabytes(pid, "VmHWM");
    const double settledCpu = cpuSeconds(pid);
    // A window later than the memory reading still counts; the CPU time then includes start-up.
    if (!mapped)
        mapped = windows.waitForWindowOf(pid, start + timing.settle + timing.idle);
    if (mapped)
        sample.windowMs = std::chrono::duration<double, std::milli>(*mapped - start).count();
    std::this_thread::sleep_until(start + timing.settle + timing.idle);
    sample.idleCpuSeconds = cpuSeconds(pid) - settledCpu;
    client.terminate();
    if (!client.waitForFinished(10000)) {
        client.kill();
        client.waitForFinished();
    }
    return sample;
}

double median(std::vector<double> values)
{
    std::erase_if(values, [](double value) { return std::isnan(value); });
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Sample median(const std::vector<Sample> &samples)
{
    const auto column = [&](double Sample::*field) {
        std::vector<double> values(samples.size());
        std::transform(samples.begin(), samples.end(), values.begin(), [&](const Sample &sample) { return sample.*field; });
        return median(std::move(values));
    };
    return {column(&Sample::windowMs), column(&Sample::residentMb), column(&Sample::anonymousMb), column(&Sample::peakMb),
            column(&Sample::idleCpuSeconds)};
}

QString loadAverage()
{
    QFile file(u"/proc/loadavg"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 2) : QString();
}

void printSample(const char *label, const Sample &sample)
{
    std::fprintf(stderr, "  %-8s window %7.0f ms  RSS %6.0f MB (anonymous %6.0f, peak %6.0f)  CPU %5.2f s\n", label, sample.windowMs,
                 sample.residentMb, sample.anonymousMb, sample.peakMb, sample.idleCpuSeconds);
}
}

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Starts the real client under X with large libraries and reports time to window, memory and idle CPU."_s);
    parser.addHelpOption();
    parser.addPositionalArgument(u"client"_s, u"The corvane executable to measure (e.g. build/src/app/corvane)."_s);
    const QCommandLineOption sizesOption(u"websites"_s, u"Library sizes, comma-separated; 0 is the reference (0,2000,10000)."_s, u"list"_s,
                                         u"0,2000,10000"_s);
    const QCommandLineOption runsOption(u"runs"_s, u"Fresh profiles per size; the median is reported (3)."_s, u"n"_s, u"3"_s);
    const QCommandLineOption settleOption(u"settle"_s, u"Seconds after start until memory is read (10)."_s, u"s"_s, u"10"_s);
    const QCommandLineOption idleOption(u"idle"_s, u"Seconds of idle CPU measured after that (30)."_s, u"s"_s, u"30"_s);
    parser.addOptions({sizesOption, runsOption, settleOption, idleOption});
    parser.process(application);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(1);
    const QString binary = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    const int runs = parser.value(runsOption).toInt();
    const Timing timing{std::chrono::seconds(parser.value(settleOption).toInt()), std::chrono::seconds(parser.value(idleOption).toInt())};
    QList<int> sizes;
    for (const QString &size : parser.value(sizesOption).split(u','))
        sizes.append(size.toInt());

    MapWatcher windows;
    if (!windows.ok()) {
        std::fprintf(stderr, "no X display (DISPLAY=%s); run through bench/startup.sh\n", qgetenv("DISPLAY").constData());
        return 1;
    }
    QTemporaryDir logs(QDir::temp().filePath(u"startupbench-XXXXXX"_s));
    logs.setAutoRemove(false);
    std::fprintf(stderr, "load average at start: %s; client logs in %s\n", qPrintable(loadAverage()), qPrintable(logs.path()));

    // (size, restart) -> samples
    std::map<std::pair<int, bool>, std::vector<Sample>> samples;
    for (const int size : sizes) {
        ServerProcess server;
        if (!server.start()) {
            std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
            return 1;
        }
        const std::optional<Account> account = seedAccount(server, size);
        if (!account)
            return 1;
        for (int run = 1; run <= runs; ++run) {
            const ClientProfile profile(*account);
            std::fprintf(stderr, "%d websites, run %d of %d (load %s)\n", size, run, runs, qPrintable(loadAverage()));
            for (const bool restart : {false, true}) {
                const QString log
                    = QDir(logs.path()).filePath(u"client-%1-%2-%3.log"_s.arg(size).arg(run).arg(restart ? "restart" : "first"));
                const Sample sample = runClient(binary, profile, server.baseUrl(), log, windows, timing);
                printSample(restart ? "restart" : "first", sample);
                samples[{size, restart}].push_back(sample);
            }
        }
    }

    const QString settle = QString::number(timing.settle.count());
    std::printf("\n%-9s %-8s %10s %8s %12s %13s %13s %14s\n", "websites", "start", "window ms", "x empty",
                qPrintable(u"RSS MB @"_s + settle + u's'), qPrintable(u"anon MB @"_s + settle + u's'),
                qPrintable(u"peak MB @"_s + settle + u's'), qPrintable(u"CPU s next %1s"_s.arg(timing.idle.count())));
    for (const auto &[key, runSamples] : samples) {
        const Sample sample = median(runSamples);
        const auto empty = samples.find({0, key.second});
        const double reference = empty != samples.end() ? median(empty->second).windowMs : NAN;
        std::printf("%-9d %-8s %10.0f %8.2f %12.0f %13.0f %13.0f %14.2f\n", key.first, key.second ? "restart" : "first", sample.windowMs,
                    sample.windowMs / reference, sample.residentMb, sample.anonymousMb, sample.peakMb, sample.idleCpuSeconds);
    }
    std::printf("medians of %d runs; load average at the end: %s\n", runs, qPrintable(loadAverage()));
    return 0;
}
