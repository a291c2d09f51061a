#include "components/BMDThread.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>

namespace {

// How long the destructor waits for a worker between two passes of the event loop.
constexpr std::chrono::milliseconds kPumpSlice{5};

}  // namespace

// ---- TBMDThreadBase

void TBMDThreadBase::SetThreadGroup(TBMDThreadGroup* Group) {
    if (Group == FThreadGroup) return;
    if (FThreadGroup) LeaveGroup(FThreadGroup);
    FThreadGroup = nullptr;
    if (Group && JoinGroup(Group)) FThreadGroup = Group;
}

// Refused when Group is this component or lies below it. A running member brings its count.
bool TBMDThreadBase::JoinGroup(TBMDThreadGroup* Group) {
    for (const TBMDThreadBase* up = Group; up; up = up->FThreadGroup)
        if (up == this) return false;
    Group->FMembers.push_back(this);
    Group->AdjustRunning(RunningWorkers());
    return true;
}

void TBMDThreadBase::LeaveGroup(TBMDThreadGroup* Group) {
    std::erase(Group->FMembers, this);
    Group->AdjustRunning(-RunningWorkers());
}

void TBMDThreadBase::NotifyStart(TBMDThreadGroup* Group, TBMDExecuteThread* Thread) {
    if (Group) Group->MemberStarted(Thread);
}

void TBMDThreadBase::NotifyTerminate(TBMDThreadGroup* Group, TBMDExecuteThread* Thread) {
    if (Group) Group->MemberEnded(Thread);
}

template <typename Event, typename... Extra>
void TBMDThreadBase::CallLocked(const Event& Handler, TBMDExecuteThread* Thread, Extra... More) {
    if (!Handler) return;
    const Event handler = Handler;  // the handler may replace the event
    std::lock_guard lock(FLock);
    void* data = Thread->Data();
    handler(this, Thread, data, More...);
    Thread->SetData(data);
}

// ---- TBMDExecuteThread

TBMDExecuteThread::TBMDExecuteThread(TBMDThread& Owner, void* Data,
                                     TBMDThreadDataNotifyEvent OnExecute)
    : TPlatformThread(false),
      FOwner(Owner),
      FOnExecute(std::move(OnExecute)),
      FData(Data),
      FEndOfRun(&TBMDThread::WorkerEnded) {}

TBMDExecuteThread::~TBMDExecuteThread() {
    Terminate();
    Join();
}

void TBMDExecuteThread::SynchronizeEvent(const TBMDThreadNotifyEvent& Method) {
    if (!Method || !WaitWhileSuspended()) return;
    // Method is copied: a caller released early (Release) must not take it from under the step.
    FOwner.FHandOff.Call([this, Method] {
        if (!Terminated()) Method(&FOwner);
    });
}

void TBMDExecuteThread::Execute() {
    if (WaitWhileSuspended() && FOnExecute) {
        void* data = Data();
        try {
            FOnExecute(&FOwner, this, data);
        } catch (...) {
            // Ends the run as a return would; there is nobody on this thread to tell.
        }
        SetData(data);
    }
    // std::invoke rather than .*: GCC 12's vptr sanitizer misreads .* inside a lambda.
    FOwner.FHandOff.Call([this] { std::invoke(FEndOfRun, FOwner, this); });
}

// ---- TBMDThread

TBMDThread::TBMDThread() {
    FRefreshTimer.setInterval(100);
    QObject::connect(&FRefreshTimer, &QTimer::timeout, &FRefreshTimer, [this] { RefreshTick(); });
}

TBMDThread::~TBMDThread() {
    FRefreshTimer.stop();
    // Leaving first takes a running worker out of the group's count, which its dropped end
    // would otherwise leave behind.
    SetThreadGroup(nullptr);
    if (TBMDExecuteThread* worker = FWorker.get()) {
        worker->FEndOfRun = &TBMDThread::WorkerDropped;
        worker->Terminate();
        FHandOff.Release();
        while (!worker->WaitForEnd(kPumpSlice)) QCoreApplication::processEvents();
    }
    FHandOff.Close();
    FWorker.reset();
    FRetired.clear();
}

void TBMDThread::StartWithData(void* Data) {
    if (FWorker) return;
    FWorker.reset(new TBMDExecuteThread(*this, Data, OnExecute));
    TBMDExecuteThread* worker = FWorker.get();
    worker->SetPriority(FPriority);
    NotifyStart(ThreadGroup(), worker);
    CallLocked(OnStart, worker);
    worker->Start();
    SetRefreshActive(FUpdateEnabled);
}

void TBMDThread::Stop() {
    if (FWorker) FWorker->Terminate();
}

void TBMDThread::Suspend() {
    if (FWorker) FWorker->Suspend();
}

void TBMDThread::Resume() {
    if (FWorker) FWorker->Resume();
}

uint32_t TBMDThread::RefreshInterval() const {
    return static_cast<uint32_t>(FRefreshTimer.interval());
}

void TBMDThread::SetRefreshInterval(uint32_t Value) {
    FRefreshTimer.setInterval(static_cast<int>(std::min<uint32_t>(Value, INT_MAX)));
}

void TBMDThread::SetPriority(TThreadPriority Value) {
    FPriority = Value;
    if (FWorker) FWorker->SetPriority(Value);
}

void TBMDThread::SetUpdateEnabled(bool Value) {
    if (Value == FUpdateEnabled) return;
    FUpdateEnabled = Value;
    SetRefreshActive(Value);
}

void TBMDThread::SetRefreshActive(bool Active) {
    if (Active == FRefreshTimer.isActive()) return;
    if (Active)
        FRefreshTimer.start();
    else
        FRefreshTimer.stop();
}

void TBMDThread::RefreshTick() {
    TBMDExecuteThread* worker = FWorker.get();
    if (!worker) return;
    if (ThreadGroup()) ThreadGroup()->MemberUpdated(this, worker);
    CallLocked(OnUpdate, worker, worker->Percent());
}

void TBMDThread::WorkerEnded(TBMDExecuteThread* Sender) {
    FRefreshTimer.stop();
    Retire();
    NotifyTerminate(ThreadGroup(), Sender);
    CallLocked(OnTerminate, Sender);
    SetRefreshActive(FUpdateEnabled);
}

void TBMDThread::WorkerDropped(TBMDExecuteThread*) {
    Retire();
}

// Clears the current worker. Its thread is still in its end step, so it is joined later, once
// it has ended; workers retired before are joined now if they have.
void TBMDThread::Retire() {
    std::erase_if(FRetired, [](const std::unique_ptr<TBMDExecuteThread>& worker) {
        return worker->WaitForEnd(std::chrono::milliseconds(0));
    });
    FRetired.push_back(std::move(FWorker));
}

// ---- TBMDThreadGroup

// Over a copy: a handler run by the operation may change the membership.
template <class Operation>
void TBMDThreadGroup::ForEachMember(Operation Apply) {
    const std::vector<TBMDThreadBase*> members = FMembers;
    for (TBMDThreadBase* member : members) Apply(*member);
}

TBMDThreadGroup::~TBMDThreadGroup() {
    SetThreadGroup(nullptr);
    ForEachMember([](TBMDThreadBase& member) { member.SetThreadGroup(nullptr); });
}

bool TBMDThreadGroup::Running() const {
    return RunningWorkers() > 0;
}

int TBMDThreadGroup::RunningWorkers() const {
    std::lock_guard lock(Lock());
    return FRunningCount;
}

void TBMDThreadGroup::StartWithData(void* Data) {
    ForEachMember([Data](TBMDThreadBase& member) { member.StartWithData(Data); });
}

void TBMDThreadGroup::Stop() {
    ForEachMember([](TBMDThreadBase& member) { member.Stop(); });
}

void TBMDThreadGroup::Suspend() {
    ForEachMember([](TBMDThreadBase& member) { member.Suspend(); });
}

void TBMDThreadGroup::Resume() {
    ForEachMember([](TBMDThreadBase& member) { member.Resume(); });
}

// A member that joins or leaves while running brings or takes its workers, here and above.
void TBMDThreadGroup::AdjustRunning(int Delta) {
    for (TBMDThreadGroup* group = this; group; group = group->ThreadGroup()) {
        std::lock_guard lock(group->Lock());
        group->FRunningCount = std::max(0, group->FRunningCount + Delta);
    }
}

void TBMDThreadGroup::MemberStarted(TBMDExecuteThread* Thread) {
    int before;
    {
        std::lock_guard lock(Lock());
        before = FRunningCount++;
        CallLocked(OnThreadStart, Thread);
    }
    NotifyStart(ThreadGroup(), Thread);
    if (before == 0) CallLocked(OnStart, Thread);
}

void TBMDThreadGroup::MemberEnded(TBMDExecuteThread* Thread) {
    int after;
    {
        std::lock_guard lock(Lock());
        if (FRunningCount > 0) --FRunningCount;
        after = FRunningCount;
    }
    CallLocked(OnThreadTerminate, Thread);
    NotifyTerminate(ThreadGroup(), Thread);
    if (after == 0) CallLocked(OnTerminate, Thread);
}

// OnUpdate speaks for the running direct member with the highest update priority.
void TBMDThreadGroup::MemberUpdated(const TBMDThreadBase* Member, TBMDExecuteThread* Thread) {
    CallLocked(OnThreadUpdate, Thread, Thread->Percent());
    const bool outranked = std::any_of(FMembers.begin(), FMembers.end(), [&](const auto* other) {
        return other->Running() && other->UpdatePriority() > Member->UpdatePriority();
    });
    if (!outranked) CallLocked(OnUpdate, Thread, Thread->Percent());
}
