#include "waitqueue.h"

WaitQueue::Awaiter::Awaiter(WaitQueue &queue, std::chrono::milliseconds timeout)
    : m_timeout(timeout)
    , m_waiter(std::make_unique<Waiter>())
{
    m_waiter->queue = &queue;
    m_waiter->timer.setSingleShot(true);
}

void WaitQueue::Awaiter::await_suspend(std::coroutine_handle<> handle)
{
    Waiter *waiter = m_waiter.get();
    waiter->handle = handle;
    waiter->queue->m_waiters.push_back(waiter);
    QObject::connect(&waiter->timer, &QTimer::timeout, [waiter] {
        if (waiter->queue)
            waiter->queue->m_waiters.remove(waiter);
        waiter->queue = nullptr;
        // Resumed from the event loop: the coroutine may free its frame, and the timer in it,
        // which must not happen while the timer is still emitting.
        QMetaObject::invokeMethod(
            &waiter->timer, [waiter] { resume(waiter, false); }, Qt::QueuedConnection);
    });
    waiter->timer.start(std::max(m_timeout, std::chrono::milliseconds(0)));
}

WaitQueue::~WaitQueue()
{
    for (Waiter *waiter : m_waiters)
        waiter->queue = nullptr;
}

void WaitQueue::resume(Waiter *waiter, bool woken)
{
    waiter->timer.stop();
    waiter->queue = nullptr;
    waiter->woken = woken;
    waiter->handle.resume();
}

void WaitQueue::wakeOne()
{
    if (m_waiters.empty())
        return;
    Waiter *waiter = m_waiters.front();
    m_waiters.pop_front();
    resume(waiter, true);
}

void WaitQueue::wakeAll()
{
    // Taken out first: a resumed coroutine may queue itself here again.
    std::list<Waiter *> waiters;
    waiters.swap(m_waiters);
    for (Waiter *waiter : waiters)
        resume(waiter, true);
}
