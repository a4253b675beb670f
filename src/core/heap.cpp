#include "heap.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtConcurrent>

#include <chrono>
#include <tuple>

// Any C library header defines __GLIBC__ where it applies.
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace std::chrono_literals;

namespace
{
const QString kTimerName = QStringLiteral("corvane.heap.settled");
}

namespace Heap
{
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
