// The worker that takes pipelines down: the caller never waits for a task, tasks run in
// order, their captures die on the worker (that is where a pipeline goes down), and nothing
// posted is lost at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "graph/PipelineWorker.h"

namespace {

// Notes the thread it is destroyed on, as a pipeline handed to the worker would go there.
struct TDestroyedOn {
    std::thread::id* Where;
    ~TDestroyedOn() { *Where = std::this_thread::get_id(); }
};

}  // namespace

TEST(PipelineWorkerTest, TasksRunInOrderAwayFromTheCallerAndAllRunBeforeTheEnd) {
    std::mutex guard;
    std::vector<int> done;
    const auto note = [&](int step) {
        const std::lock_guard lock(guard);
        done.push_back(step);
    };
    std::atomic<bool> released = false;
    std::thread::id destroyedOn;
    {
        TPipelineWorker worker;
        const auto posted = std::chrono::steady_clock::now();
        // A teardown that takes as long as the test lets it.
        worker.Post([&] {
            while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            note(1);
        });
        worker.Post([&, held = std::make_shared<TDestroyedOn>(&destroyedOn)] {
            note(2);
        });
        EXPECT_LT(std::chrono::steady_clock::now() - posted, std::chrono::milliseconds(100))
            << "the caller waited for the worker";
        released = true;
        worker.Drain();
        {
            const std::lock_guard lock(guard);
            EXPECT_EQ(done, (std::vector<int>{1, 2}));
        }
        EXPECT_NE(destroyedOn, std::thread::id());
        EXPECT_NE(destroyedOn, std::this_thread::get_id()) << "the capture died on the caller";
        worker.Post([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            note(3);
        });
    }
    EXPECT_EQ(done, (std::vector<int>{1, 2, 3})) << "the end waits for what was posted";
}
