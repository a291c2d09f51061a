#include "graph/PipelineWorker.h"

TPipelineWorker::TPipelineWorker() : FThread([this] { Run(); }) {}

TPipelineWorker::~TPipelineWorker() {
    {
        const std::lock_guard lock(FLock);
        FEnding = true;
    }
    FWake.notify_one();
    FThread.join();
}

void TPipelineWorker::Post(std::function<void()> task) {
    {
        const std::lock_guard lock(FLock);
        FTasks.push_back(std::move(task));
    }
    FWake.notify_one();
}

void TPipelineWorker::Drain() {
    std::unique_lock lock(FLock);
    FIdle.wait(lock, [this] { return FTasks.empty() && !FBusy; });
}

void TPipelineWorker::Run() {
    std::unique_lock lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return !FTasks.empty() || FEnding; });
        if (FTasks.empty()) return;
        std::function<void()> task = std::move(FTasks.front());
        FTasks.pop_front();
        FBusy = true;
        lock.unlock();
        task();
        task = nullptr;
        lock.lock();
        FBusy = false;
        if (FTasks.empty()) FIdle.notify_all();
    }
}
