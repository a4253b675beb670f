#pragma once

#include <QTimer>

#include <chrono>
#include <coroutine>
#include <list>
#include <memory>

// Coroutines waiting for something that a later event hands out, oldest first. wakeOne() resumes
// exactly one waiter and wakeAll() each waiter once; a waiter whose time runs out leaves the queue
// before it resumes, so nothing can wake it twice or after it has gone.
//
// QCoro's signal awaiter is not used for this: it resumes through a queued call, and a second
// emission can queue a call to a waiter that the first one already resumed and freed.
class WaitQueue
{
    struct Waiter {
        WaitQueue *queue = nullptr;
        std::coroutine_handle<> handle;
        bool woken = false;
        QTimer timer;
    };

public:
    class Awaiter
    {
    public:
        Awaiter(WaitQueue &queue, std::chrono::milliseconds timeout);

        [[nodiscard]] bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle);
        // True when woken, false when the time ran out (or the queue went away first).
        [[nodiscard]] bool await_resume() const noexcept { return m_waiter->woken; }

    private:
        std::chrono::milliseconds m_timeout;
        // On the heap: the compiler may move the awaiter before it suspends, the queue keeps its address.
        std::unique_ptr<Waiter> m_waiter;
    };

    WaitQueue() = default;
    WaitQueue(const WaitQueue &) = delete;
    WaitQueue &operator=(const WaitQueue &) = delete;
    // Waiters still queued resume when their time runs out, finding no queue.
    ~WaitQueue();

    [[nodiscard]] Awaiter wait(std::chrono::milliseconds timeout) { return Awaiter(*this, timeout); }
    // Both resume the woken coroutines before they return.
    void wakeOne();
    void wakeAll();
    [[nodiscard]] bool isEmpty() const { return m_waiters.empty(); }

private:
    static void resume(Waiter *waiter, bool woken);

    std::list<Waiter *> m_waiters;
};
