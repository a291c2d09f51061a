// A timer whose waiting happens on a thread of its own while its handler runs on the UI thread.
// Each tick is handed to the UI thread and waited for, so a timer has at most one tick in flight
// and the time between two ticks is the interval plus the handler's run time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "components/PlatformThread.h"
#include "components/UiHandOff.h"

class TThreadedTimer;

// The waiting side of a TThreadedTimer: waits on its wake event for the interval; a wait that
// times out delivers a tick, a wait ended by the event delivers nothing.
class TTimerThread final : public TPlatformThread {
  public:
    // Created suspended, with an interval of 1000 ms.
    explicit TTimerThread(TThreadedTimer& Timer);
    ~TTimerThread() override;

    uint32_t Interval() const;
    void SetInterval(uint32_t Value);
    // Signals the wake event, then resumes: the wait under way ends without a tick.
    void WakeAndResume();

  protected:
    void Execute() override;

  private:
    TThreadedTimer& FTimer;
    uint32_t FInterval = 1000;  // under FLock
    bool FWake = false;         // the auto-reset wake event, under FLock
};

class TThreadedTimer {
  public:
    TThreadedTimer();
    // No tick reaches the timer once this has begun; a tick on its way is dropped.
    ~TThreadedTimer();
    TThreadedTimer(const TThreadedTimer&) = delete;
    TThreadedTimer& operator=(const TThreadedTimer&) = delete;

    // Whether an interval of 0 may run (ticks as fast as the UI thread takes them).
    bool AllowZero() const { return FAllowZero; }
    void SetAllowZero(bool Value) { FAllowZero = Value; }
    bool Enabled() const { return FEnabled; }
    // Enabling starts a full interval; enabling an enabled timer does nothing.
    void SetEnabled(bool Value);
    uint32_t Interval() const;
    // A new interval restarts a running timer.
    void SetInterval(uint32_t Value);
    TThreadPriority ThreadPriority() const;
    void SetThreadPriority(TThreadPriority Value);

    // Run on the UI thread while the timer is enabled. Exceptions it raises are swallowed.
    std::function<void(TThreadedTimer* Sender)> OnTimer;

  private:
    friend class TTimerThread;
    bool Tick();
    void Dispatch();

    bool FAllowZero = false;
    bool FEnabled = false;
    TUiHandOff FHandOff;
    std::unique_ptr<TTimerThread> FThread;
};
