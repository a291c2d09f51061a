#include "components/UiHandOff.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct TUiHandOffChannel {
    bool Closed = false;  // under THub::Lock; a closed channel has no step in the queue
};

namespace {

struct TRequest {
    std::function<void()> Step;
    std::shared_ptr<TUiHandOffChannel> Channel;
    bool Finished = false;  // the caller may go on
    bool Ran = false;
    std::exception_ptr Error;
};

using TRequestPtr = std::shared_ptr<TRequest>;

// The UI thread's end of every channel: from the first channel made while an application runs
// until that application is destroyed.
class TDispatcher {
  public:
    TDispatcher();
    ~TDispatcher();
    void Wake();

  private:
    void Drain();
    void RunStep(const TRequestPtr& Request);

    int FWakeFd;
    QSocketNotifier FNotifier;
};

struct THub {
    std::mutex Lock;
    std::condition_variable Finished;  // notified whenever a request finishes
    TDispatcher* Dispatcher = nullptr;
    std::thread::id UiThread;
    std::deque<TRequestPtr> Queue;
    std::vector<TRequestPtr> Running;  // steps on the UI thread's stack, innermost last
};

THub& Hub() {
    static THub hub;
    return hub;
}

// Under the hub's lock.
void Finish(TRequest& Request, bool Ran) {
    if (Request.Finished) return;
    Request.Finished = true;
    Request.Ran = Ran;
    Hub().Finished.notify_all();
}

// Under the hub's lock: lets the callers of Channel's running steps go on (all channels' when
// Channel is null).
void ReleaseRunning(const TUiHandOffChannel* Channel) {
    for (const TRequestPtr& request : Hub().Running)
        if (!Channel || request->Channel.get() == Channel) Finish(*request, true);
}

// Runs as the application is destroyed: nothing runs steps any more, so nobody may wait.
void DestroyDispatcher() {
    THub& hub = Hub();
    TDispatcher* dispatcher;
    {
        std::lock_guard lock(hub.Lock);
        dispatcher = hub.Dispatcher;
        hub.Dispatcher = nullptr;
        for (const TRequestPtr& request : hub.Queue) Finish(*request, false);
        hub.Queue.clear();
        ReleaseRunning(nullptr);
    }
    delete dispatcher;
}

void EnsureDispatcher() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) return;
    THub& hub = Hub();
    std::lock_guard lock(hub.Lock);
    if (hub.Dispatcher) return;
    hub.Dispatcher = new TDispatcher;
    hub.UiThread = std::this_thread::get_id();
    qAddPostRoutine(DestroyDispatcher);
}

TDispatcher::TDispatcher()
    : FWakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), FNotifier(FWakeFd, QSocketNotifier::Read) {
    QObject::connect(&FNotifier, &QSocketNotifier::activated, &FNotifier, [this] { Drain(); });
}

TDispatcher::~TDispatcher() {
    FNotifier.setEnabled(false);
    close(FWakeFd);
}

// Under the hub's lock.
void TDispatcher::Wake() {
    eventfd_write(FWakeFd, 1);
}

// Runs the first waiting step. The wake stays set while more steps wait, so that the next
// activation runs them, also from an event loop nested in this step.
void TDispatcher::Drain() {
    THub& hub = Hub();
    TRequestPtr request;
    {
        std::lock_guard lock(hub.Lock);
        eventfd_t count;
        eventfd_read(FWakeFd, &count);
        if (hub.Queue.empty()) return;
        request = std::move(hub.Queue.front());
        hub.Queue.pop_front();
        if (!hub.Queue.empty()) Wake();
        hub.Running.push_back(request);
    }
    RunStep(request);
}

// The step's exception goes back to its caller; none crosses Qt's event loop.
void TDispatcher::RunStep(const TRequestPtr& Request) {
    std::exception_ptr error;
    try {
        Request->Step();
    } catch (...) {
        error = std::current_exception();
    }
    THub& hub = Hub();
    std::lock_guard lock(hub.Lock);
    std::erase(hub.Running, Request);
    // Moved, so that only the caller holds the exception: its count is not visible to race
    // detectors.
    if (!Request->Finished) Request->Error = std::move(error);
    Finish(*Request, true);
}

}  // namespace

TUiHandOff::TUiHandOff() : FChannel(std::make_shared<TUiHandOffChannel>()) {
    EnsureDispatcher();
}

TUiHandOff::~TUiHandOff() {
    Close();
}

bool TUiHandOff::Call(const std::function<void()>& Step) {
    THub& hub = Hub();
    std::unique_lock lock(hub.Lock);
    if (!hub.Dispatcher || FChannel->Closed) return false;
    if (std::this_thread::get_id() == hub.UiThread) {
        lock.unlock();
        Step();
        return true;
    }
    const auto request = std::make_shared<TRequest>();
    request->Step = Step;
    request->Channel = FChannel;
    hub.Queue.push_back(request);
    hub.Dispatcher->Wake();
    hub.Finished.wait(lock, [&] { return request->Finished; });
    if (request->Error) std::rethrow_exception(std::exchange(request->Error, nullptr));
    return request->Ran;
}

void TUiHandOff::Release() {
    std::lock_guard lock(Hub().Lock);
    ReleaseRunning(FChannel.get());
}

void TUiHandOff::Close() {
    THub& hub = Hub();
    std::lock_guard lock(hub.Lock);
    FChannel->Closed = true;
    std::erase_if(hub.Queue, [this](const TRequestPtr& request) {
        if (request->Channel != FChannel) return false;
        Finish(*request, false);
        return true;
    });
    ReleaseRunning(FChannel.get());
}
