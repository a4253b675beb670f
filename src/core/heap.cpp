#include "heap.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtConcurrent>

#include <chrono>
#include <tuple>

// Any C library header defines __GLIBC__ where it applies.
#include <cstdlib>

#ifdef __GLIBC__
#include <cstring>
#include <malloc.h>
#include <unistd.h>
#endif

using namespace std::chrono_literals;

namespace
{
const QString kTimerName = QStringLiteral("corvane.heap.settled");
}

namespace Heap
{
void useHugePages([[maybe_unused]] char *argv[])
{
#ifdef __GLIBC__
    static constexpr const char *kTunables = "GLIBC_TUNABLES";
    static constexpr const char *kHugePages = "glibc.malloc.hugetlb=1";
    const char *tunables = std::getenv(kTunables);
    if (!tunables) {
        setenv(kTunables, kHugePages, 1);
        execv("/proc/self/exe", argv);
        unsetenv(kTunables);
    } else if (std::strcmp(tunables, kHugePages) == 0) {
        unsetenv(kTunables);
    }
#endif
}

void returnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void returnFreedMemoryWhenSettled()
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) {
        returnFreedMemory();
        return;
    }
    QMetaObject::invokeMethod(
        application,
        [application] {
            auto *settled = application->findChild<QTimer *>(kTimerName, Qt::FindDirectChildrenOnly);
            if (!settled) {
                settled = new QTimer(application);
                settled->setObjectName(kTimerName);
                settled->setSingleShot(true);
                settled->setInterval(2s);
                QObject::connect(settled, &QTimer::timeout, [] { std::ignore = QtConcurrent::run(&returnFreedMemory); });
            }
            settled->start();
        },
        Qt::QueuedConnection);
}
}
