// Worker components. Each start of a TBMDThread runs its OnExecute handler on a fresh worker
// thread (TBMDExecuteThread); from there the worker hands methods to the UI thread with
// SynchronizeEvent and waits for them. Every other handler runs on the UI thread. A
// TBMDThreadGroup gathers workers and groups, counts the running ones and relays their events.
//
// No component may be destroyed from one of its own handlers except a method passed to
// SynchronizeEvent.
#pragma once

#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "components/PlatformThread.h"
#include "components/UiHandOff.h"

class TBMDThreadBase;
class TBMDThread;
class TBMDThreadGroup;
class TBMDExecuteThread;

// Sender is the component that raises the event. Data is the worker's data; a handler may
// replace it.
using TBMDThreadDataNotifyEvent =
    std::function<void(TBMDThreadBase* Sender, TBMDExecuteThread* Thread, void*& Data)>;
using TBMDThreadUpdateNotifyEvent = std::function<void(
    TBMDThreadBase* Sender, TBMDExecuteThread* Thread, void*& Data, int Percent)>;
// A method handed to the UI thread by a worker; Sender is the worker's component.
using TBMDThreadNotifyEvent = std::function<void(TBMDThread* Sender)>;

class TBMDThreadBase {
  public:
    virtual ~TBMDThreadBase() = default;
    TBMDThreadBase(const TBMDThreadBase&) = delete;
    TBMDThreadBase& operator=(const TBMDThreadBase&) = delete;

    virtual bool Running() const = 0;
    void Start() { StartWithData(nullptr); }
    virtual void StartWithData(void* Data) = 0;
    // Asks to end, without waiting.
    virtual void Stop() = 0;
    virtual void Suspend() = 0;
    virtual void Resume() = 0;

    TBMDThreadGroup* ThreadGroup() const { return FThreadGroup; }
    // Leaves the old group; joins the new one unless that would make a cycle (then none).
    void SetThreadGroup(TBMDThreadGroup* Group);
    int UpdatePriority() const { return FUpdatePriority; }
    void SetUpdatePriority(int Value) { FUpdatePriority = Value; }
    // Held around OnStart, OnUpdate and OnTerminate; a worker may take it to share data with
    // them (but must not hand a method to the UI thread while holding it).
    std::recursive_mutex& Lock() const { return FLock; }

    TBMDThreadUpdateNotifyEvent OnUpdate;
    TBMDThreadDataNotifyEvent OnStart;
    TBMDThreadDataNotifyEvent OnTerminate;

  protected:
    TBMDThreadBase() = default;
    // Workers running in this component (a worker: 0 or 1; a group: all below it).
    virtual int RunningWorkers() const = 0;
    // Tells Group, and through it the groups above, that Thread started or ended.
    static void NotifyStart(TBMDThreadGroup* Group, TBMDExecuteThread* Thread);
    static void NotifyTerminate(TBMDThreadGroup* Group, TBMDExecuteThread* Thread);
    // Calls Handler, if set, under the lock with (Self, Thread, Thread's Data, More...) and
    // keeps the Data it leaves.
    template <typename Event, typename... Extra>
    void CallLocked(const Event& Handler, TBMDExecuteThread* Thread, Extra... More);

  private:
    bool JoinGroup(TBMDThreadGroup* Group);
    void LeaveGroup(TBMDThreadGroup* Group);

    TBMDThreadGroup* FThreadGroup = nullptr;
    int FUpdatePriority = 0;
    mutable std::recursive_mutex FLock;
};

// One run of a TBMDThread's OnExecute handler.
class TBMDExecuteThread final : public TPlatformThread {
  public:
    ~TBMDExecuteThread() override;

    TBMDThread* Owner() const { return &FOwner; }
    void* Data() const { return FData; }
    void SetData(void* Value) { FData = Value; }
    int Percent() const { return FPercent; }
    void SetPercent(int Value) { FPercent = Value; }

    // On this worker: runs Method on the UI thread with the owner as Sender and waits until it
    // has run. Returns at once without calling it when Method is empty or the stop was
    // requested; a step that reaches the UI thread after the stop is dropped too. It is the
    // worker's suspension checkpoint (with the start of the run). An exception raised by Method
    // is raised again here.
    void SynchronizeEvent(const TBMDThreadNotifyEvent& Method);

  protected:
    void Execute() override;

  private:
    friend class TBMDThread;
    TBMDExecuteThread(TBMDThread& Owner, void* Data, TBMDThreadDataNotifyEvent OnExecute);

    TBMDThread& FOwner;
    const TBMDThreadDataNotifyEvent FOnExecute;
    std::atomic<void*> FData;
    std::atomic<int> FPercent{0};
    // The end-of-run notification, run on the UI thread; read and rebound there only.
    void (TBMDThread::*FEndOfRun)(TBMDExecuteThread* Sender);
};

class TBMDThread final : public TBMDThreadBase {
  public:
    TBMDThread();
    // Stops a running worker and waits for its end while running the UI event loop; neither
    // OnTerminate nor the group hears of that end.
    ~TBMDThread() override;

    // True from Start until the worker's end-of-run step has run on the UI thread.
    bool Running() const override { return FWorker != nullptr; }
    // Starts a worker unless one exists.
    void StartWithData(void* Data) override;
    void Stop() override;
    void Suspend() override;
    void Resume() override;

    uint32_t RefreshInterval() const;
    void SetRefreshInterval(uint32_t Value);
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority Value);
    bool UpdateEnabled() const { return FUpdateEnabled; }
    // Switches the refresh timer, whose ticks raise OnUpdate while a worker runs.
    void SetUpdateEnabled(bool Value);
    TBMDExecuteThread* Worker() const { return FWorker.get(); }

    // Run on the worker thread; taken by each worker at its start.
    TBMDThreadDataNotifyEvent OnExecute;

  protected:
    int RunningWorkers() const override { return Running() ? 1 : 0; }

  private:
    friend class TBMDExecuteThread;
    void RefreshTick();
    void WorkerEnded(TBMDExecuteThread* Sender);
    void WorkerDropped(TBMDExecuteThread* Sender);
    void Retire();
    void SetRefreshActive(bool Active);

    QTimer FRefreshTimer;
    TUiHandOff FHandOff;
    std::unique_ptr<TBMDExecuteThread> FWorker;
    // Workers whose end step ran, kept until their thread has ended and been joined.
    std::vector<std::unique_ptr<TBMDExecuteThread>> FRetired;
    TThreadPriority FPriority = tpNormal;
    bool FUpdateEnabled = false;
};

class TBMDThreadGroup final : public TBMDThreadBase {
  public:
    TBMDThreadGroup() = default;
    // Leaves its own group and lets its members go.
    ~TBMDThreadGroup() override;

    bool Running() const override;
    // Each applies to the direct members in the order they joined.
    void StartWithData(void* Data) override;
    void Stop() override;
    void Suspend() override;
    void Resume() override;

    TBMDThreadUpdateNotifyEvent OnThreadUpdate;
    TBMDThreadDataNotifyEvent OnThreadStart;
    TBMDThreadDataNotifyEvent OnThreadTerminate;

  protected:
    int RunningWorkers() const override;

  private:
    friend class TBMDThreadBase;
    friend class TBMDThread;
    template <class Operation>
    void ForEachMember(Operation Apply);
    void AdjustRunning(int Delta);
    void MemberStarted(TBMDExecuteThread* Thread);
    void MemberEnded(TBMDExecuteThread* Thread);
    void MemberUpdated(const TBMDThreadBase* Member, TBMDExecuteThread* Thread);

    std::vector<TBMDThreadBase*> FMembers;
    int FRunningCount = 0;  // under Lock()
};
