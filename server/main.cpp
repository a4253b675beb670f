#include "corvaneserver.h"
#include "database.h"
#include "serveroptions.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;

namespace
{
// Each connection is a file descriptor; the usual soft limit of 1024 would refuse a burst.
void raiseOpenFileLimit()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
#endif
}
}

int main(int argc, char *argv[])
{
    raiseOpenFileLimit();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(u"corvane-server"_s);
    // Sites without icons are common; QT_LOGGING_RULES="corvane.*.debug=true" shows why.
    QLoggingCategory::setFilterRules(u"corvane.*.debug=false"_s);

    const QStringList arguments = QCoreApplication::arguments();
    auto options = ServerOptions::parse(arguments);
    if (!options) {
        const bool help = arguments.contains(u"--help"_s) || arguments.contains(u"-h"_s);
        std::fprintf(help ? stdout : stderr, "%s\n", qPrintable(options.error()));
        return help ? 0 : 2;
    }

    QString error;
    const auto server = CorvaneServer::start(options.value(), &error);
    if (!server) {
        std::fprintf(stderr, "corvane-server: %s\n", qPrintable(error));
        return 1;
    }
    // Tests and scripts read the address from this first line.
    std::printf("corvane-server listening on %s\n", qPrintable(server->baseUrl().toString()));
    std::printf("database: %s\noutbox: %s\n",
                qPrintable(Database::isPostgres(options.value().database) ? u"PostgreSQL"_s : options.value().database),
                qPrintable(options.value().outboxDirectory));
    std::fflush(stdout);
    // Being killed is fine: SQLite in WAL mode and PostgreSQL both survive it intact.
    return QCoreApplication::exec();
}
