#include "components/PlatformThread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// Nice offsets of tpIdle .. tpTimeCritical from the thread's start value.
constexpr int kNiceOffset[] = {19, 10, 5, 0, -5, -10, -20};

}  // namespace

TPlatformThread::TPlatformThread(bool CreateSuspended) : FSuspended(CreateSuspended) {}

TPlatformThread::~TPlatformThread() {
    // Derived classes join in their own destructors, before their state goes; this only keeps
    // std::thread from ending the process when that was already done.
    Join();
}

void TPlatformThread::Start() {
    FThread = std::thread([this] { Run(); });
}

void TPlatformThread::Terminate() {
    std::lock_guard lock(FLock);
    FTerminated = true;
    FSuspended = false;
    FChanged.notify_all();
}

bool TPlatformThread::Terminated() const {
    std::lock_guard lock(FLock);
    return FTerminated;
}

void TPlatformThread::Suspend() {
    std::lock_guard lock(FLock);
    FSuspended = true;
    FChanged.notify_all();
}

void TPlatformThread::Resume() {
    std::lock_guard lock(FLock);
    FSuspended = false;
    FChanged.notify_all();
}

TThreadPriority TPlatformThread::Priority() const {
    std::lock_guard lock(FLock);
    return FPriority;
}

void TPlatformThread::SetPriority(TThreadPriority Value) {
    std::lock_guard lock(FLock);
    FPriority = Value;
    ApplyPriority();
}

bool TPlatformThread::WaitForEnd(std::chrono::milliseconds Timeout) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, Timeout, [this] { return FEnded; });
}

void TPlatformThread::Join() {
    if (FThread.joinable()) FThread.join();
}

bool TPlatformThread::WaitWhileSuspended() {
    std::unique_lock lock(FLock);
    return WaitWhileSuspended(lock);
}

bool TPlatformThread::WaitWhileSuspended(std::unique_lock<std::mutex>& Lock) {
    FChanged.wait(Lock, [this] { return !FSuspended || FTerminated; });
    return !FTerminated;
}

void TPlatformThread::Run() {
    {
        std::lock_guard lock(FLock);
        FTid = gettid();
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, FTid);
        FStartNice = errno == 0 ? nice : 0;
        ApplyPriority();
    }
    Execute();
    std::lock_guard lock(FLock);
    FEnded = true;
    FChanged.notify_all();
}

// Under FLock. Linux keeps a nice value per thread, so the thread id selects this thread alone.
// A refused change (raising without the right to) leaves the thread as it was.
void TPlatformThread::ApplyPriority() {
    if (FTid == 0) return;
    const int nice = std::clamp(FStartNice + kNiceOffset[FPriority], -20, 19);
    setpriority(PRIO_PROCESS, FTid, nice);
}
