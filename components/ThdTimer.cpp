#include "components/ThdTimer.h"

#include <chrono>

TTimerThread::TTimerThread(TThreadedTimer& Timer) : TPlatformThread(true), FTimer(Timer) {}

TTimerThread::~TTimerThread() {
    Terminate();
    Join();
}

uint32_t TTimerThread::Interval() const {
    std::lock_guard lock(FLock);
    return FInterval;
}

void TTimerThread::SetInterval(uint32_t Value) {
    std::lock_guard lock(FLock);
    FInterval = Value;
}

void TTimerThread::WakeAndResume() {
    std::lock_guard lock(FLock);
    FWake = true;
    FSuspended = false;
    FChanged.notify_all();
}

// A thread suspended inside its wait goes back to the checkpoint; it is resumed only together
// with the wake event, so the next wait ends at once without a tick and the one after it runs a
// full interval. A stale tick cannot arrive.
void TTimerThread::Execute() {
    std::unique_lock lock(FLock);
    while (WaitWhileSuspended(lock)) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(FInterval);
        FChanged.wait_until(lock, deadline, [this] { return FWake || FTerminated || FSuspended; });
        if (FTerminated || FSuspended) continue;
        if (FWake) {
            FWake = false;
            continue;
        }
        lock.unlock();
        const bool delivered = FTimer.Tick();
        lock.lock();
        // Refused only while the timer goes or once the application has gone: no tick can
        // ever be delivered again.
        if (!delivered) break;
    }
}

TThreadedTimer::TThreadedTimer() : FThread(std::make_unique<TTimerThread>(*this)) {
    FThread->Start();
}

TThreadedTimer::~TThreadedTimer() {
    FEnabled = false;
    FThread->Terminate();
    // Releases the thread if it waits in a tick hand-off, so that it can end.
    FHandOff.Close();
    FThread.reset();
}

void TThreadedTimer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    if (!Value)
        FThread->Suspend();
    else if (FThread->Interval() > 0 || FAllowZero)
        FThread->WakeAndResume();
}

uint32_t TThreadedTimer::Interval() const {
    return FThread->Interval();
}

void TThreadedTimer::SetInterval(uint32_t Value) {
    if (Value == Interval()) return;
    const bool enabled = FEnabled;
    SetEnabled(false);
    FThread->SetInterval(Value);
    SetEnabled(enabled);
}

TThreadPriority TThreadedTimer::ThreadPriority() const {
    return FThread->Priority();
}

void TThreadedTimer::SetThreadPriority(TThreadPriority Value) {
    FThread->SetPriority(Value);
}

// On the timer thread.
bool TThreadedTimer::Tick() {
    return FHandOff.Call([this] { Dispatch(); });
}

// On the UI thread. A tick that arrives after the timer was disabled is dropped.
void TThreadedTimer::Dispatch() {
    if (!FEnabled || !OnTimer) return;
    // A copy: the handler may replace OnTimer or destroy the timer, and nothing here touches
    // the timer after it returns.
    const auto handler = OnTimer;
    try {
        handler(this);
    } catch (...) {
        // Swallowed without a word: a tick handler's failure does not stop the timer.
    }
}
