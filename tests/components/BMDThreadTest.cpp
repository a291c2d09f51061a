#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>

#include "components/BMDThread.h"
#include "tests/support/EventPump.h"

namespace {

bool OnUiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Loops until stopped, handing Method to the UI thread on each pass when one is given.
TBMDThreadDataNotifyEvent LoopUntilStopped(TBMDThreadNotifyEvent Method = {}) {
    return [Method](TBMDThreadBase*, TBMDExecuteThread* thread, void*&) {
        while (!thread->Terminated()) {
            thread->SynchronizeEvent(Method);
            QThread::msleep(5);
        }
    };
}

TEST(BMDThread, StartOnARunningWorkerAndStopOnAnIdleOneDoNothing) {
    TBMDThread idle;
    idle.Stop();
    EXPECT_FALSE(idle.Running());

    TBMDThread worker;
    int starts = 0;
    worker.OnStart = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&) { ++starts; };
    worker.OnExecute = LoopUntilStopped();
    worker.Start();
    TBMDExecuteThread* first = worker.Worker();
    worker.Start();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(worker.Worker(), first);
    worker.Stop();
    EXPECT_TRUE(PumpUntil([&] { return !worker.Running(); }, 3000));
}

// Running ends only with the end step on the UI thread, after OnExecute has returned; a start
// in between does nothing, and the next start has a fresh worker.
TEST(BMDThread, RunningStaysTrueUntilTheEndStepRan) {
    TBMDThread worker;
    std::atomic<bool> returned{false};
    int starts = 0;
    int terminates = 0;
    bool runningInOnTerminate = true;
    int data = 7;
    void* seenData = nullptr;
    worker.OnStart = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&) { ++starts; };
    worker.OnExecute = [&](TBMDThreadBase*, TBMDExecuteThread* thread, void*& data) {
        seenData = data;
        thread->SetPercent(50);
        while (!thread->Terminated()) QThread::msleep(5);
        QThread::msleep(100);
        returned = true;
    };
    worker.OnTerminate = [&](TBMDThreadBase* sender, TBMDExecuteThread*, void*&) {
        ++terminates;
        runningInOnTerminate = sender->Running();
        EXPECT_TRUE(returned);
        EXPECT_TRUE(OnUiThread());
    };
    worker.StartWithData(&data);
    PumpFor(50);
    worker.Stop();
    EXPECT_TRUE(worker.Running());
    worker.Start();
    EXPECT_EQ(starts, 1);

    QThread::msleep(300);  // OnExecute returns while the UI thread does not take its end step
    EXPECT_TRUE(returned);
    EXPECT_TRUE(worker.Running());
    ASSERT_TRUE(PumpUntil([&] { return !worker.Running(); }, 3000));
    EXPECT_EQ(terminates, 1);
    EXPECT_FALSE(runningInOnTerminate);
    EXPECT_EQ(seenData, &data);

    worker.Start();
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(worker.Worker()->Data(), nullptr);
    worker.Stop();
    EXPECT_TRUE(PumpUntil([&] { return !worker.Running(); }, 3000));
}

TEST(BMDThread, OnUpdateOnlyWithUpdateEnabled) {
    TBMDThread worker;
    worker.SetRefreshInterval(20);
    int updates = 0;
    int lastPercent = -1;
    worker.OnUpdate = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&, int percent) {
        ++updates;
        lastPercent = percent;
    };
    worker.OnExecute = [](TBMDThreadBase*, TBMDExecuteThread* thread, void*&) {
        thread->SetPercent(42);
        while (!thread->Terminated()) QThread::msleep(5);
    };
    worker.Start();
    PumpFor(200);
    EXPECT_EQ(updates, 0);

    worker.SetUpdateEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return updates >= 2; }, 3000));
    EXPECT_EQ(lastPercent, 42);
    worker.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !worker.Running(); }, 3000));
    const int atEnd = updates;
    PumpFor(100);
    EXPECT_EQ(updates, atEnd) << "OnUpdate without a worker";
}

TEST(BMDThread, SynchronizeEventRunsOnTheUiThreadAndNeverAfterStop) {
    TBMDThread worker;
    int calls = 0;
    int callsAtStop = -1;
    bool senderRight = true;
    bool onUi = true;
    std::atomic<bool> lateCallReturned{false};
    const TBMDThreadNotifyEvent method = [&](TBMDThread* sender) {
        ++calls;
        senderRight &= sender == &worker;
        onUi &= OnUiThread();
    };
    worker.OnExecute = [&](TBMDThreadBase*, TBMDExecuteThread* thread, void*&) {
        while (!thread->Terminated()) thread->SynchronizeEvent(method);
        thread->SynchronizeEvent(method);
        lateCallReturned = true;
    };
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return calls >= 5; }, 3000));
    worker.Stop();
    callsAtStop = calls;
    ASSERT_TRUE(PumpUntil([&] { return !worker.Running(); }, 3000));
    EXPECT_TRUE(lateCallReturned);
    EXPECT_EQ(calls, callsAtStop);
    EXPECT_TRUE(senderRight);
    EXPECT_TRUE(onUi);
}

TEST(BMDThread, SynchronizedMethodsErrorReachesTheWorker) {
    TBMDThread worker;
    std::string caught;
    worker.OnExecute = [&](TBMDThreadBase*, TBMDExecuteThread* thread, void*&) {
        try {
            thread->SynchronizeEvent([](TBMDThread*) { throw std::runtime_error("no canvas"); });
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
    };
    int terminates = 0;
    worker.OnTerminate = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&) { ++terminates; };
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return !worker.Running(); }, 3000));
    EXPECT_EQ(caught, "no canvas");
    EXPECT_EQ(terminates, 1);
}

TEST(BMDThread, SuspendedWorkerWaitsAtSynchronizeEventAndStopEndsIt) {
    TBMDThread worker;
    int calls = 0;
    worker.OnExecute = LoopUntilStopped([&](TBMDThread*) { ++calls; });
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return calls >= 3; }, 3000));
    worker.Suspend();
    PumpFor(50);  // a call already on its way may still land
    const int suspendedAt = calls;
    PumpFor(200);
    EXPECT_EQ(calls, suspendedAt);

    worker.Resume();
    EXPECT_TRUE(PumpUntil([&] { return calls > suspendedAt; }, 3000));
    worker.Suspend();
    PumpFor(50);
    worker.Stop();
    EXPECT_TRUE(PumpUntil([&] { return !worker.Running(); }, 3000));
}

TEST(BMDThread, DestroyingARunningWorkerWaitsForItWithoutOnTerminate) {
    std::atomic<bool> ended{false};
    int terminates = 0;
    auto worker = std::make_unique<TBMDThread>();
    worker->OnTerminate = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&) { ++terminates; };
    worker->OnExecute = [&](TBMDThreadBase*, TBMDExecuteThread* thread, void*&) {
        while (!thread->Terminated()) thread->SynchronizeEvent([](TBMDThread*) {});
        QThread::msleep(100);
        ended = true;
    };
    worker->Start();
    PumpFor(50);
    worker.reset();
    EXPECT_TRUE(ended);
    PumpFor(50);
    EXPECT_EQ(terminates, 0);
}

TEST(BMDThread, MayBeDestroyedFromItsOwnSynchronizedMethod) {
    auto worker = std::make_unique<TBMDThread>();
    worker->OnExecute = LoopUntilStopped([&](TBMDThread*) { worker.reset(); });
    worker->Start();
    EXPECT_TRUE(PumpUntil([&] { return !worker; }, 3000));
}

// A step that runs a nested event loop must not hold back other steps.
TEST(BMDThread, StepsRunInsideANestedEventLoop) {
    TBMDThread outer;
    TBMDThread inner;
    int innerCalls = 0;
    bool servedInside = false;
    inner.OnExecute = LoopUntilStopped([&](TBMDThread*) { ++innerCalls; });
    outer.OnExecute = [&](TBMDThreadBase*, TBMDExecuteThread* thread, void*&) {
        thread->SynchronizeEvent([&](TBMDThread*) {
            const int before = innerCalls;
            servedInside = PumpUntil([&] { return innerCalls >= before + 3; }, 3000);
        });
    };
    inner.Start();
    outer.Start();
    ASSERT_TRUE(PumpUntil([&] { return !outer.Running(); }, 5000));
    EXPECT_TRUE(servedInside);
    inner.Stop();
    EXPECT_TRUE(PumpUntil([&] { return !inner.Running(); }, 3000));
}

TEST(BMDThreadGroup, CountsStartsAndEndsOfItsMembers) {
    TBMDThreadGroup group;
    TBMDThread first;
    TBMDThread second;
    first.SetThreadGroup(&group);
    second.SetThreadGroup(&group);
    first.OnExecute = LoopUntilStopped();
    second.OnExecute = LoopUntilStopped();
    int threadStarts = 0, starts = 0, threadEnds = 0, ends = 0;
    group.OnThreadStart = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&) { ++threadStarts; };
    group.OnStart = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&) { ++starts; };
    group.OnThreadTerminate = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&) { ++threadEnds; };
    group.OnTerminate = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&) { ++ends; };

    group.Start();
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(second.Running());
    EXPECT_TRUE(group.Running());
    EXPECT_EQ(threadStarts, 2);
    EXPECT_EQ(starts, 1);

    first.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !first.Running(); }, 3000));
    EXPECT_TRUE(group.Running());
    EXPECT_EQ(ends, 0);
    group.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !group.Running(); }, 3000));
    EXPECT_EQ(threadEnds, 2);
    EXPECT_EQ(ends, 1);
}

TEST(BMDThreadGroup, RefusesCyclesAndKeepsCountsWhenMembersGo) {
    TBMDThreadGroup top;
    TBMDThreadGroup middle;
    middle.SetThreadGroup(&top);
    top.SetThreadGroup(&middle);
    EXPECT_EQ(top.ThreadGroup(), nullptr);
    middle.SetThreadGroup(&middle);
    EXPECT_EQ(middle.ThreadGroup(), nullptr);

    middle.SetThreadGroup(&top);
    auto worker = std::make_unique<TBMDThread>();
    worker->SetThreadGroup(&middle);
    worker->OnExecute = LoopUntilStopped();
    worker->Start();
    EXPECT_TRUE(top.Running());
    worker.reset();  // a running member destroyed: its end is not told, but it leaves the count
    EXPECT_FALSE(middle.Running());
    EXPECT_FALSE(top.Running());
}

// OnUpdate of a group speaks for the running member with the highest update priority.
TEST(BMDThreadGroup, OnUpdateFollowsTheHighestUpdatePriority) {
    TBMDThreadGroup group;
    TBMDThread low;
    TBMDThread high;
    for (TBMDThread* member : {&low, &high}) {
        member->SetThreadGroup(&group);
        member->SetRefreshInterval(20);
        member->SetUpdateEnabled(true);
        member->OnExecute = LoopUntilStopped();
    }
    high.SetUpdatePriority(1);
    int threadUpdates = 0;
    bool onlyHigh = true;
    int updates = 0;
    group.OnThreadUpdate = [&](TBMDThreadBase*, TBMDExecuteThread*, void*&, int) {
        ++threadUpdates;
    };
    group.OnUpdate = [&](TBMDThreadBase*, TBMDExecuteThread* thread, void*&, int) {
        ++updates;
        onlyHigh &= thread->Owner() == &high;
    };
    group.Start();
    PumpFor(200);
    group.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !group.Running(); }, 3000));
    EXPECT_GT(updates, 2);
    EXPECT_GT(threadUpdates, updates);
    EXPECT_TRUE(onlyHigh);
}

}  // namespace
