#pragma once

// Waits bounded by a deadline: for a signal, for a state, or for what is already queued.
// Tests never wait a fixed time; the deadline only decides how long a failing case takes.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

// Long enough for a busy two-core machine; reached only when the awaited thing never comes.
inline constexpr int WaitDeadlineMs = 20000;

// Counts the emissions of one signal from the moment it is made, and waits, bounded in
// time, for the next one.
class SignalCounter
{
public:
    template <typename Object, typename Signal> SignalCounter(Object *object, Signal signal)
    {
        m_connection = QObject::connect(object, signal, &m_context, [this](auto &&...) {
            ++m_count;
            if (m_loop)
                m_loop->quit();
        });
    }
    ~SignalCounter() { QObject::disconnect(m_connection); }
    SignalCounter(const SignalCounter &) = delete;
    SignalCounter &operator=(const SignalCounter &) = delete;

    int count() const { return m_count; }

    // True when the signal came (again) within the time.
    bool wait(int timeoutMs = WaitDeadlineMs)
    {
        const int before = m_count;
        QEventLoop loop;
        m_loop = &loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        m_loop = nullptr;
        return m_count > before;
    }

    // True once the signal has come `total` times since the counter was made.
    bool waitForCount(int total, int timeoutMs = WaitDeadlineMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (m_count < total && !deadline.hasExpired())
            wait(int(qMax<qint64>(1, deadline.remainingTime())));
        return m_count >= total;
    }

private:
    QObject m_context;
    QMetaObject::Connection m_connection;
    QEventLoop *m_loop = nullptr;
    int m_count = 0;
};

// Runs the event loop until done() holds or the deadline passes; true when it holds.
// done() is asked again after every few milliseconds of events, also inside nested loops
// (modal dialogs), which then end the wait once they return.
template <typename Done> bool WaitUntil(Done done, int timeoutMs = WaitDeadlineMs)
{
    if (done())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer check;
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    check.start();
    loop.exec();
    return done();
}

// Runs `step` from the event loop once done() holds, without blocking the caller: for a
// step that must happen in the middle of a call that runs its own loop (a download that
// polls). The step gets false when the deadline passed first.
template <typename Done, typename Step>
void WhenTrue(QObject *context, Done done, Step step, int timeoutMs = WaitDeadlineMs)
{
    auto *check = new QTimer(context);
    check->setInterval(5);
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(check, &QTimer::timeout, context, [check, done, step, deadline]() mutable {
        const bool holds = done();
        if (!holds && !deadline.hasExpired())
            return;
        check->stop();
        check->deleteLater();
        step(holds);
    });
    check->start();
}

// Runs every event and queued call posted before this one, then returns: the proof that a
// reaction queued by an earlier step had its moment. False when the loop never got there.
inline bool WaitForQueuedEvents(int rounds = 1, int timeoutMs = WaitDeadlineMs)
{
    for (int i = 0; i < rounds; ++i) {
        bool reached = false;
        QObject marker;
        QMetaObject::invokeMethod(&marker, [&reached] { reached = true; }, Qt::QueuedConnection);
        if (!WaitUntil([&reached] { return reached; }, timeoutMs))
            return false;
    }
    return true;
}
