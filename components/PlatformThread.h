// The thread beneath the timer thread and the worker thread: a std::thread with a terminated
// flag, a priority and a cooperative suspension. A suspended thread is never frozen by the
// system; it blocks on a condition at its next checkpoint (WaitWhileSuspended) until resumed or
// terminated.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Lowest to highest. On Linux a priority is a nice value relative to the one the thread started
// with (tpNormal): +19, +10, +5, 0, -5, -10, -20. Lowering always works; raising above the
// start value needs CAP_SYS_NICE, and without it the thread keeps its nice while the stored
// priority still reads as set.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TPlatformThread {
  public:
    TPlatformThread(const TPlatformThread&) = delete;
    TPlatformThread& operator=(const TPlatformThread&) = delete;
    virtual ~TPlatformThread();

    // Runs Execute on a new thread. Once per object.
    void Start();
    // Sets the terminated flag and lifts a suspension in one step, so that a suspended thread
    // wakes and sees the flag.
    void Terminate();
    bool Terminated() const;
    void Suspend();
    void Resume();
    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority Value);
    // True once the run has ended; waits at most Timeout for it.
    bool WaitForEnd(std::chrono::milliseconds Timeout);
    // Waits for the thread to end. Never from the thread itself.
    void Join();

  protected:
    explicit TPlatformThread(bool CreateSuspended);
    virtual void Execute() = 0;

    // The checkpoint: blocks while suspended; false once the thread is terminated.
    bool WaitWhileSuspended();
    bool WaitWhileSuspended(std::unique_lock<std::mutex>& Lock);

    // Guards the state below and the state that derived classes say it guards.
    mutable std::mutex FLock;
    // Notified on every change made under FLock.
    std::condition_variable FChanged;
    bool FSuspended;
    bool FTerminated = false;

  private:
    void Run();
    void ApplyPriority();

    TThreadPriority FPriority = tpNormal;
    pid_t FTid = 0;  // 0 until the thread runs
    int FStartNice = 0;
    bool FEnded = false;
    std::thread FThread;
};
