#include "delayproxy.h"
#include "rawhttpclient.h"
#include "serverprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace
{
// One keep-alive connection with one request in flight at a time.
struct Connection {
    int fd = -1;
    QByteArray received;
    Clock::time_point sentAt;
    size_t next = 0;
    std::vector<QByteArray> requests;
    // Only measured connections contribute latencies.
    bool measured = true;
};

struct Result {
    qint64 requests = 0;
    qint64 failures = 0;
    double seconds = 0;
    std::vector<double> latenciesMs;

    [[nodiscard]] double perSecond() const { return double(requests) / seconds; }
    void add(const Result &round)
    {
        requests += round.requests;
        failures += round.failures;
        seconds += round.seconds;
        latenciesMs.insert(latenciesMs.end(), round.latenciesMs.begin(), round.latenciesMs.end());
    }
};

int connectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool sendAll(int fd, const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (written <= 0)
            return false;
        sent += written;
    }
    return true;
}

// The status of a complete answer at the front of buffer (removing it), or 0 if incomplete.
int takeAnswer(QByteArray &buffer)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return 0;
    const qsizetype lengthAt = buffer.indexOf("Content-Length: ");
    if (lengthAt < 0 || lengthAt > headEnd)
        return -1;
    const qint64 length = buffer.mid(lengthAt + 16, buffer.indexOf("\r\n", lengthAt) - lengthAt - 16).toLongLong();
    if (buffer.size() < headEnd + 4 + length)
        return 0;
    const int status = buffer.mid(9, 3).toInt();
    buffer.remove(0, headEnd + 4 + length);
    return status;
}

// Runs each connection's requests back to back and in turn, for the given time.
Result run(quint16 port, std::vector<Connection> open, int expectedStatus, double seconds)
{
    auto sendNext = [](Connection &connection) {
        connection.sentAt = Clock::now();
        sendAll(connection.fd, connection.requests[connection.next]);
        connection.next = (connection.next + 1) % connection.requests.size();
    };
    std::vector<pollfd> polls(open.size());
    for (size_t index = 0; index < open.size(); ++index) {
        open[index].fd = connectLoopback(port);
        polls[index] = {open[index].fd, POLLIN, 0};
    }
    Result result;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (auto &connection : open)
        sendNext(connection);
    char chunk[65536];
    while (Clock::now() < end) {
        if (::poll(polls.data(), polls.size(), 100) <= 0)
            continue;
        for (size_t index = 0; index < open.size(); ++index) {
            if (!(polls[index].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Connection &connection = open[index];
            const ssize_t count = ::recv(connection.fd, chunk, sizeof chunk, 0);
            if (count <= 0) {
                // The server closed it: count a failure and reconnect.
                ++result.failures;
                ::close(connection.fd);
                connection.fd = polls[index].fd = connectLoopback(port);
                connection.received.clear();
                sendNext(connection);
                continue;
            }
            connection.received.append(chunk, count);
            const int status = takeAnswer(connection.received);
            if (status == 0)
                continue;
            const Clock::time_point now = Clock::now();
            ++result.requests;
            if (status != expectedStatus)
                ++result.failures;
            if (connection.measured)
                result.latenciesMs.push_back(std::chrono::duration<double, std::milli>(now - connection.sentAt).count());
            sendNext(connection);
        }
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (auto &connection : open)
        ::close(connection.fd);
    return result;
}

// The same requests on every one of the connections.
Result run(quint16 port, int connections, const std::vector<QByteArray> &requests, int expectedStatus, double seconds)
{
    std::vector<Connection> open(static_cast<size_t>(connections));
    for (Connection &connection : open)
        connection.requests = requests;
    return run(port, std::move(open), expectedStatus, seconds);
}

// Opens all connections at once, sends one request on each and waits for every answer: the
// seconds until the last one arrived, or a negative number when some never did.
double burst(quint16 port, int connections, int *answered)
{
    const QByteArray request = "GET /api/version HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const Clock::time_point start = Clock::now();
    std::vector<pollfd> polls;
    std::vector<bool> sent(size_t(connections), false);
    for (int index = 0; index < connections; ++index) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        polls.push_back({fd, POLLOUT, 0});
    }
    *answered = 0;
    int open = connections;
    char chunk[4096];
    while (open > 0 && Clock::now() - start < std::chrono::seconds(30)) {
        if (::poll(polls.data(), polls.size(), 100) <= 0)
            continue;
        for (size_t index = 0; index < polls.size(); ++index) {
            pollfd &entry = polls[index];
            if (entry.fd < 0 || entry.revents == 0)
                continue;
            if (!sent[index] && (entry.revents & POLLOUT)) {
                sent[index] = sendAll(entry.fd, request);
                entry.events = POLLIN;
                continue;
            }
            const ssize_t count = ::recv(entry.fd, chunk, sizeof chunk, 0);
            if (count > 0 && std::memcmp(chunk, "HTTP/1.1 200", 12) == 0)
                ++*answered;
            if (count > 0 || (count < 0 && errno == EAGAIN))
                continue;
            ::close(entry.fd);
            entry.fd = -1;
            --open;
        }
    }
    for (const pollfd &entry : polls) {
        if (entry.fd >= 0)
            ::close(entry.fd);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    const size_t rank = std::min(values.size() - 1, size_t(fraction * double(values.size())));
    std::nth_element(values.begin(), values.begin() + qsizetype(rank), values.end());
    return values[rank];
}

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The median of some percentages, with their range: "48 % (44 to 60 %)".
QString spread(const std::vector<double> &percentages)
{
    const auto [lowest, highest] = std::ranges::minmax(percentages);
    return u"%1 % (%2 to %3 %)"_s.arg(median(percentages), 0, 'f', 0).arg(lowest, 0, 'f', 0).arg(highest, 0, 'f', 0);
}

void report(const char *name, const Result &result)
{
    std::printf("%-44s %8.0f req/s  p50 %6.2f ms  p99 %6.2f ms  max %7.2f ms  (%lld requests, %lld failed)\n", name, result.perSecond(),
                percentile(result.latenciesMs, 0.50), percentile(result.latenciesMs, 0.99), percentile(result.latenciesMs, 1.0),
                result.requests, result.failures);
}

QByteArray request(const QByteArray &method, const QByteArray &path, const QString &token, const QByteArray &body = {})
{
    QByteArray bytes = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n" + "Authorization: Bearer "
        + token.toLatin1() + "\r\n";
    if (!body.isEmpty())
        bytes += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return bytes + "\r\n" + body;
}

QByteArray website(int index, int contentCharacters)
{
    return QJsonDocument(QJsonObject{{"url"_L1, u"https://www.example-%1.com/articles/some-page"_s.arg(index)},
                                     {"title"_L1, u"A saved page with an ordinary title, number %1"_s.arg(index)},
                                     {"screenshotUrl"_L1, u"https://icons.example/s2/favicons?domain=example-%1.com&sz=128"_s.arg(index)},
                                     {"content"_L1, QString(contentCharacters, u'x')}})
        .toJson(QJsonDocument::Compact);
}
}

int main(int argc, char *argv[])
{
    // The burst needs a descriptor per connection, beyond the usual soft limit of 1024.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Measures corvane-server over loopback with keep-alive connections."_s);
    parser.addHelpOption();
    const QCommandLineOption connectionsOption(u"connections"_s, u"Concurrent connections (16)."_s, u"n"_s, u"16"_s);
    const QCommandLineOption secondsOption(u"seconds"_s, u"Measured seconds per scenario (5)."_s, u"s"_s, u"5"_s);
    const QCommandLineOption listContentOption(u"list-content"_s, u"Page-text characters per listed website (1000)."_s, u"n"_s, u"1000"_s);
    const QCommandLineOption burstOption(u"burst"_s, u"Connections opened at once (2000)."_s, u"n"_s, u"2000"_s);
    const QCommandLineOption largeOption(u"large-list"_s, u"Websites of 20 KB in the large library (2000)."_s, u"n"_s, u"2000"_s);
    const QCommandLineOption delayOption(
        u"postgres-delay-ms"_s, u"Reach the PostgreSQL of CORVANE_TEST_POSTGRES through a proxy adding this delay each way."_s, u"ms"_s);
    const QCommandLineOption roundsOption(u"rounds"_s, u"With a delay, rounds of direct and delayed runs per scenario (3)."_s, u"n"_s,
                                          u"3"_s);
    const QCommandLineOption threadsOption(u"store-threads"_s, u"The server's --store-threads (its default)."_s, u"n"_s);
    parser.addOptions(
        {connectionsOption, secondsOption, listContentOption, burstOption, largeOption, delayOption, roundsOption, threadsOption});
    parser.process(application);
    // With a delay, one proxy adds it and another adds nothing: the second tells what relaying alone
    // costs on this machine, which a real wire would not.
    std::unique_ptr<DelayProxy> relay;
    std::unique_ptr<DelayProxy> proxy;
    if (parser.isSet(delayOption)) {
        const QUrl postgres(qEnvironmentVariable("CORVANE_TEST_POSTGRES"));
        if (!postgres.isValid() || postgres.scheme().isEmpty()) {
            std::fprintf(stderr, "--postgres-delay-ms needs CORVANE_TEST_POSTGRES (see tests/with-postgres.sh)\n");
            return 2;
        }
        const QUrlQuery query(postgres);
        const int farPort = postgres.port(5432);
        const QString folder = query.queryItemValue(u"host"_s);
        const QString socketPath = folder.isEmpty() ? QString() : u"%1/.s.PGSQL.%2"_s.arg(folder).arg(farPort);
        const auto delay = std::chrono::microseconds(qint64(parser.value(delayOption).toDouble() * 1000));
        relay = std::make_unique<DelayProxy>(postgres.host(), quint16(farPort), socketPath, std::chrono::microseconds(0));
        proxy = std::make_unique<DelayProxy>(postgres.host(), quint16(farPort), socketPath, delay);
        if (relay->port() == 0 || proxy->port() == 0)
            return 1;
    }
    const int connections = parser.value(connectionsOption).toInt();
    const double seconds = parser.value(secondsOption).toDouble();
    const int listContent = parser.value(listContentOption).toInt();
    const int rounds = std::max(1, parser.value(roundsOption).toInt());

    QStringList threads;
    if (parser.isSet(threadsOption))
        threads = {u"--store-threads"_s, parser.value(threadsOption)};
    ServerProcess server(threads);
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    // With a delay, two more servers share the first one's database, each through its proxy.
    const auto startThrough = [&](const DelayProxy &through) {
        QStringList sharing = server.sharingArguments();
        QUrl database(sharing.at(1));
        QUrlQuery query(database);
        query.removeAllQueryItems(u"host"_s);
        database.setQuery(query);
        database.setHost(u"127.0.0.1"_s);
        database.setPort(through.port());
        sharing[1] = database.toString();
        auto started = std::make_unique<ServerProcess>(sharing + threads);
        if (!started->start()) {
            std::fprintf(stderr, "%s\n", qPrintable(started->errorString()));
            return std::unique_ptr<ServerProcess>();
        }
        return started;
    };
    std::unique_ptr<ServerProcess> relayedServer;
    std::unique_ptr<ServerProcess> delayedServer;
    if (proxy) {
        relayedServer = startThrough(*relay);
        delayedServer = startThrough(*proxy);
        if (!relayedServer || !delayedServer)
            return 1;
    }
    const quint16 port = quint16(server.baseUrl().port());
    RawHttpClient client(server.baseUrl());
    const auto signUp = [&](const QString &email) {
        return client
            .request("POST", u"/api/auth/register"_s,
                     QJsonDocument(QJsonObject{{"email"_L1, email}, {"password"_L1, "benchmark"_L1}}).toJson())
            .json()
            .value("token"_L1)
            .toString();
    };
    const QString reader = signUp(u"reader@example.com"_s);
    for (int index = 0; index < 50; ++index)
        client.request("POST", u"/api/websites"_s, website(index, listContent), reader);
    const QByteArray list = request("GET", "/api/websites", reader);
    const qsizetype listBytes = client.request("GET", u"/api/websites"_s, {}, reader).body.size();

    const quint16 relayedPort = relayedServer ? quint16(relayedServer->baseUrl().port()) : 0;
    const quint16 delayedPort = delayedServer ? quint16(delayedServer->baseUrl().port()) : 0;
    std::printf("corvane-server at %s, %d keep-alive connections, %.0f s per scenario\n", qPrintable(server.baseUrl().toString()),
                connections, seconds);
    run(port, connections, {list}, 200, 1.0); // warm-up
    if (delayedServer) {
        std::printf("two more reach the same database through a proxy, one adding nothing, one %s ms; %d rounds of the three in turn\n",
                    qPrintable(parser.value(delayOption)), rounds);
        run(relayedPort, connections, {list}, 200, 1.0);
        run(delayedPort, connections, {list}, 200, 1.0);
    }
    // With a delay, the servers take turns, so that a noisy machine slows all alike; the medians of
    // the rounds' ratios are the figures to trust.
    const auto measure = [&](const QString &name, const std::vector<QByteArray> &requests, int expectedStatus) {
        if (!delayedServer) {
            report(qPrintable(name), run(port, connections, requests, expectedStatus, seconds));
            return;
        }
        Result direct;
        Result relayed;
        Result delayed;
        std::vector<double> ofDirect;
        std::vector<double> ofRelayed;
        proxy->takeFidelity();
        for (int round = 0; round < rounds; ++round) {
            const Result near = run(port, connections, requests, expectedStatus, seconds);
            const Result relay = run(relayedPort, connections, requests, expectedStatus, seconds);
            const Result far = run(delayedPort, connections, requests, expectedStatus, seconds);
            ofDirect.push_back(100 * far.perSecond() / near.perSecond());
            ofRelayed.push_back(100 * far.perSecond() / relay.perSecond());
            direct.add(near);
            relayed.add(relay);
            delayed.add(far);
        }
        report(qPrintable(name), direct);
        report("  the same through the proxy, nothing added", relayed);
        report(qPrintable(u"  the same, %1 ms further away"_s.arg(parser.value(delayOption))), delayed);
        std::printf("  %s of the direct throughput, %s of nothing added; medians of %d rounds\n", qPrintable(spread(ofDirect)),
                    qPrintable(spread(ofRelayed)), rounds);
        const DelayProxy::Fidelity fidelity = proxy->takeFidelity();
        std::printf("  delaying proxy: overshoot p50 %.0f us, p99 %.0f us; %.0f %% of a CPU\n", percentile(fidelity.overshootUs, 0.5),
                    percentile(fidelity.overshootUs, 0.99), 100 * fidelity.cpuSeconds / (rounds * seconds));
    };
    measure(u"GET /api/websites (50 websites, %1 KB)"_s.arg(listBytes / 1024), {list}, 200);

    const QString writer = signUp(u"writer@example.com"_s);
    const QByteArray save = request("POST", "/api/websites", writer, website(0, 20 * 1024));
    measure(u"POST /api/websites (20 KB content)"_s, {save}, 201);

    // Each connection pins a website, then lists: every list is built afresh, none from the cache.
    const qint64 first = client.request("GET", u"/api/websites"_s, {}, reader)
                             .json()
                             .value("websites"_L1)
                             .toArray()
                             .first()
                             .toObject()
                             .value("id"_L1)
                             .toInteger();
    const QByteArray pin = request("PATCH", "/api/websites/" + QByteArray::number(first) + "/pin", reader, R"({"isPinned":true})");
    measure(u"PATCH pin + GET /api/websites, uncached"_s, {pin, list}, 200);

    // The rest runs on the delayed server when there is one: what a slow database holds up.
    const quint16 tailPort = delayedServer ? delayedPort : port;
    int answered = 0;
    const int burstSize = parser.value(burstOption).toInt();
    const double burstSeconds = burst(tailPort, burstSize, &answered);
    std::printf("%-44s %8.2f s until the last answer  (%d of %d answered)\n", qPrintable(u"%1 connections opened at once"_s.arg(burstSize)),
                burstSeconds, answered, burstSize);

    // One client fetches a large library in a loop; another asks for the version meanwhile.
    const QString large = signUp(u"large@example.com"_s);
    const int largeCount = parser.value(largeOption).toInt();
    for (int index = 0; index < largeCount; ++index)
        client.request("POST", u"/api/websites"_s, website(index, 20 * 1024), large);
    const qsizetype largeBytes = client.request("GET", u"/api/websites"_s, {}, large).body.size();
    std::vector<Connection> mixed(2);
    mixed[0].requests = {request("GET", "/api/websites", large)};
    mixed[0].measured = false;
    mixed[1].requests = {request("GET", "/api/version", reader)};
    report(qPrintable(u"GET /api/version beside a %1 MB list loop"_s.arg(largeBytes / (1024 * 1024))),
           run(tailPort, std::move(mixed), 200, seconds));
    // The same with every list built afresh: a pin between the lists changes the library.
    const qint64 firstLarge = client.request("GET", u"/api/websites"_s, {}, large)
                                  .json()
                                  .value("websites"_L1)
                                  .toArray()
                                  .first()
                                  .toObject()
                                  .value("id"_L1)
                                  .toInteger();
    std::vector<Connection> uncached(2);
    uncached[0].requests = {request("PATCH", "/api/websites/" + QByteArray::number(firstLarge) + "/pin", large, R"({"isPinned":true})"),
                            request("GET", "/api/websites", large)};
    uncached[0].measured = false;
    uncached[1].requests = {request("GET", "/api/version", reader)};
    report(qPrintable(u"GET /api/version beside uncached %1 MB lists"_s.arg(largeBytes / (1024 * 1024))),
           run(tailPort, std::move(uncached), 200, seconds));
    return 0;
}
