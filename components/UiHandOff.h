// Hands steps from other threads to the UI thread and waits until they have run: the threaded
// timer's ticks and the worker thread's synchronised calls and end-of-run steps.
//
// Everything the two sides exchange (the queue, the step, its outcome) passes under one
// std::mutex with a std::condition_variable, so the order between a caller's writes and the
// step's reads is visible to race detectors, which do not see into Qt. Qt only carries the
// wake-up: an eventfd watched by a socket notifier on the UI thread, so a pending step also runs
// in nested event loops (modal dialogs, processEvents).
#pragma once

#include <functional>
#include <memory>

struct TUiHandOffChannel;

// One channel per component. Steps of a closed channel never run.
class TUiHandOff {
  public:
    // On the UI thread, once the application exists.
    TUiHandOff();
    // Closes the channel.
    ~TUiHandOff();
    TUiHandOff(const TUiHandOff&) = delete;
    TUiHandOff& operator=(const TUiHandOff&) = delete;

    // Runs Step on the UI thread and waits until it has run; on the UI thread itself, runs it
    // at once. Returns false without running it when the channel is closed, or closes while
    // Step waits, or when there is no application (not yet, or no longer). An exception raised
    // by Step is raised again in the caller.
    bool Call(const std::function<void()>& Step);

    // On the UI thread: callers whose step is running further up this thread's stack go on at
    // once, as if their step had returned. For a step that destroys its own component.
    void Release();

    // On the UI thread: waiting steps are dropped (their callers get false), running ones are
    // released, and later calls return false at once.
    void Close();

  private:
    std::shared_ptr<TUiHandOffChannel> FChannel;
};
