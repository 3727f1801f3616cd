#pragma once
// The waits live in support/ so that the core tests share them.
#include "support/SignalWait.h"

// Kept only so that a test written against it still builds: wait with WaitUntil,
// SignalCounter or WaitForQueuedEvents instead.
[[deprecated("wait for a signal or a state: WaitUntil, SignalCounter, WaitForQueuedEvents")]]
inline void ProcessEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
