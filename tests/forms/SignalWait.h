#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

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
    bool wait(int timeoutMs)
    {
        const int before = m_count;
        QEventLoop loop;
        m_loop = &loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        m_loop = nullptr;
        return m_count > before;
    }

private:
    QObject m_context;
    QMetaObject::Connection m_connection;
    QEventLoop *m_loop = nullptr;
    int m_count = 0;
};

// Runs the event loop for a while.
inline void ProcessEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
