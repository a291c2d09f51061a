#pragma once
// The thread that carries out what may block on GStreamer for a while, taking a pipeline
// down above all, so that the UI thread never waits for it. Tasks run one at a time, in the
// order they were posted, and end on that thread (a task's captures are destroyed there too).
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class TPipelineWorker {
  public:
    TPipelineWorker();
    // Carries out what is still posted, then ends.
    ~TPipelineWorker();
    TPipelineWorker(const TPipelineWorker&) = delete;
    TPipelineWorker& operator=(const TPipelineWorker&) = delete;

    void Post(std::function<void()> task);
    // Returns once every task posted before the call has been carried out.
    void Drain();

  private:
    void Run();

    std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<std::function<void()>> FTasks;
    bool FBusy = false;
    bool FEnding = false;
    std::thread FThread;
};
