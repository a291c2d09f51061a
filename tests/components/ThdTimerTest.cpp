#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "components/ThdTimer.h"
#include "tests/support/EventPump.h"

namespace {

// Collects the tick times of a timer, in ms since the clock started.
struct TTickLog {
    QElapsedTimer Clock;
    std::vector<int> Ticks;
    bool OffUiThread = false;

    TTickLog() { Clock.start(); }
    void Record() {
        Ticks.push_back(Elapsed(Clock));
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) OffUiThread = true;
    }
};

// The nice values of this process's threads.
std::vector<int> ThreadNices() {
    std::vector<int> nices;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        nices.push_back(getpriority(PRIO_PROCESS, task.toInt()));
    return nices;
}

TEST(ThreadedTimer, ThreadPriorityLowersTheTimerThreadAlone) {
    const int mainNice = getpriority(PRIO_PROCESS, gettid());
    TThreadedTimer timer;
    timer.SetThreadPriority(tpLowest);
    EXPECT_EQ(timer.ThreadPriority(), tpLowest);
    // Applied as soon as the thread runs, which may be after this call.
    EXPECT_TRUE(PumpUntil(
        [&] {
            const std::vector<int> nices = ThreadNices();
            return std::count(nices.begin(), nices.end(), std::min(mainNice + 10, 19)) == 1;
        },
        1000));
    EXPECT_EQ(getpriority(PRIO_PROCESS, gettid()), mainNice);
}

TEST(ThreadedTimer, OneShotTicksOnceAnIntervalAfterEnabling) {
    TThreadedTimer timer;
    timer.SetInterval(400);
    TTickLog log;
    timer.OnTimer = [&](TThreadedTimer* sender) {
        sender->SetEnabled(false);
        log.Record();
    };
    log.Clock.restart();
    timer.SetEnabled(true);
    PumpFor(1500);
    ASSERT_EQ(log.Ticks.size(), 1u);
    EXPECT_GE(log.Ticks[0], 380);
    EXPECT_LT(log.Ticks[0], 1000);
    EXPECT_FALSE(log.OffUiThread);
    EXPECT_FALSE(timer.Enabled());
}

TEST(ThreadedTimer, EnablingAgainKeepsTheIntervalButANewIntervalRestartsIt) {
    TThreadedTimer timer;
    timer.SetInterval(600);
    TTickLog log;
    timer.OnTimer = [&](TThreadedTimer* sender) {
        sender->SetEnabled(false);
        log.Record();
    };
    timer.SetEnabled(true);
    PumpFor(400);
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return !log.Ticks.empty(); }, 3000));
    EXPECT_LT(log.Ticks[0], 900) << "enabling an enabled timer restarted it";

    log.Ticks.clear();
    log.Clock.restart();
    timer.SetEnabled(true);
    PumpFor(400);
    timer.SetInterval(601);
    ASSERT_TRUE(PumpUntil([&] { return !log.Ticks.empty(); }, 3000));
    EXPECT_GE(log.Ticks[0], 950) << "a new interval did not restart the timer";
}

// Disabled in the middle of a wait and enabled again: the old wait must not deliver a tick.
TEST(ThreadedTimer, ReEnablingStartsAFullIntervalWithoutAStaleTick) {
    TThreadedTimer timer;
    timer.SetInterval(400);
    TTickLog log;
    timer.OnTimer = [&](TThreadedTimer*) { log.Record(); };
    timer.SetEnabled(true);
    PumpFor(300);
    timer.SetEnabled(false);
    QThread::msleep(250);  // the old wait would have timed out by now
    log.Clock.restart();
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return !log.Ticks.empty(); }, 3000));
    timer.SetEnabled(false);
    EXPECT_GE(log.Ticks[0], 380);
}

TEST(ThreadedTimer, ThrowingHandlerKeepsTheTimerRunning) {
    TThreadedTimer timer;
    timer.SetInterval(30);
    int ticks = 0;
    timer.OnTimer = [&](TThreadedTimer*) {
        ++ticks;
        if (ticks % 2) throw std::runtime_error("tick failed");
        throw 42;  // not even an exception class
    };
    timer.SetEnabled(true);
    EXPECT_NO_THROW(EXPECT_TRUE(PumpUntil([&] { return ticks >= 4; }, 3000)));
    EXPECT_TRUE(timer.Enabled());
}

TEST(ThreadedTimer, ZeroIntervalTicksOnlyWithAllowZero) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.OnTimer = [&](TThreadedTimer*) { ++ticks; };
    timer.SetInterval(0);
    timer.SetEnabled(true);
    PumpFor(300);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(timer.Enabled());

    timer.SetEnabled(false);
    timer.SetAllowZero(true);
    timer.SetEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 3000));
}

// The next wait starts only after the handler returned: ticks never queue up behind a slow
// handler, nor does one arrive while another runs.
TEST(ThreadedTimer, SlowHandlerHoldsBackTheNextTick) {
    TThreadedTimer timer;
    timer.SetInterval(80);
    TTickLog log;
    bool inHandler = false;
    bool overlapped = false;
    timer.OnTimer = [&](TThreadedTimer*) {
        overlapped |= inHandler;
        inHandler = true;
        log.Record();
        PumpFor(100);  // a nested loop must not deliver the next tick either
        inHandler = false;
    };
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return log.Ticks.size() >= 5; }, 5000));
    timer.SetEnabled(false);
    EXPECT_FALSE(overlapped);
    for (size_t i = 1; i < log.Ticks.size(); ++i)
        EXPECT_GE(log.Ticks[i] - log.Ticks[i - 1], 165) << "tick " << i;
}

TEST(ThreadedTimer, DisablingDropsATickOnItsWay) {
    TThreadedTimer timer;
    timer.SetInterval(20);
    int ticks = 0;
    timer.OnTimer = [&](TThreadedTimer*) { ++ticks; };
    timer.SetEnabled(true);
    QThread::msleep(150);  // the UI thread is busy: a tick waits in its hand-off
    timer.SetEnabled(false);
    PumpFor(200);
    EXPECT_EQ(ticks, 0);
}

TEST(ThreadedTimer, DestructionDropsAPendingTick) {
    int ticks = 0;
    auto timer = std::make_unique<TThreadedTimer>();
    timer->SetInterval(20);
    timer->OnTimer = [&](TThreadedTimer*) { ++ticks; };
    timer->SetEnabled(true);
    QThread::msleep(150);  // the UI thread is busy: the timer thread waits in its hand-off
    QElapsedTimer clock;
    clock.start();
    timer.reset();
    EXPECT_LT(Elapsed(clock), 1000);
    PumpFor(200);
    EXPECT_EQ(ticks, 0);
}

TEST(ThreadedTimer, HandlerMayDestroyItsTimer) {
    int ticks = 0;
    auto timer = std::make_unique<TThreadedTimer>();
    timer->SetInterval(20);
    timer->OnTimer = [&](TThreadedTimer*) {
        ++ticks;
        timer.reset();
    };
    timer->SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return !timer; }, 3000));
    PumpFor(100);
    EXPECT_EQ(ticks, 1);
}

}  // namespace
