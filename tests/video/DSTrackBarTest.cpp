// The progress slider: ticks that show the position, seeks on release, its reactions to the
// graph's events, and a real clip played with the slider bound to the graph.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <memory>
#include <utility>
#include <vector>

#include "tests/support/EventPump.h"
#include "tests/support/GraphRender.h"
#include "tests/support/TestMedia.h"
#include "video/DSTrackBar.h"

namespace {

constexpr int64_t kSecond = 10000000;  // 100-ns units

class FakeSeeking : public IMediaSeeking {
  public:
    HRESULT GetCurrentPosition(int64_t& position) override { return Give(position, Position); }
    HRESULT GetDuration(int64_t& duration) override { return Give(duration, Duration); }
    HRESULT GetStopPosition(int64_t& stop) override { return Give(stop, Stop); }
    HRESULT SetPositions(int64_t current, int64_t stop) override {
        Seeks.emplace_back(current, stop);
        return S_OK;
    }
    HRESULT SetRate(double) override { return E_NOTIMPL; }
    HRESULT GetRate(double&) override { return E_NOTIMPL; }

    int64_t Position = 0, Duration = 120 * kSecond, Stop = 120 * kSecond;
    HRESULT Result = S_OK;  // of the queries
    std::vector<std::pair<int64_t, int64_t>> Seeks;

  private:
    HRESULT Give(int64_t& out, int64_t value) {
        out = value;
        return Result;
    }
};

// Reaches the seam and the tick without waiting for the timer.
class TrackBar : public TDSTrackBar {
  public:
    using TDSTrackBar::PositionTick;
    using TDSTrackBar::SetMediaSeeking;
};

using TickReport = std::pair<int64_t, int64_t>;  // position, duration in ms

void SendMouse(QWidget& widget, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

class DSTrackBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Slider.resize(400, 30);
        Slider.SetMediaSeeking(&Seeking);
        Slider.OnTimer = [this](QObject* sender, int64_t position, int64_t duration) {
            EXPECT_EQ(sender, &Slider);
            Ticks.push_back({position, duration});
        };
    }
    // A tick at the given second of a file of the given length.
    void TickAt(int64_t position, int64_t duration) {
        Seeking.Position = position;
        Seeking.Duration = duration;
        Slider.PositionTick();
    }
    QPoint ThumbCentre() const { return Slider.ThumbRect().center(); }

    FakeSeeking Seeking;
    TrackBar Slider;
    std::vector<TickReport> Ticks;
};

TEST_F(DSTrackBarTest, TickShowsWholeSecondsAndReportsMilliseconds) {
    TickAt(30 * kSecond + 9999999, 120 * kSecond + 5000);
    EXPECT_EQ(Slider.MinValue(), 0);
    EXPECT_EQ(Slider.MaxValue(), 120);
    EXPECT_EQ(Slider.Value(), 30);
    EXPECT_EQ(Ticks, (std::vector<TickReport>{{30999, 120000}}));

    // Under a second the maximum 0 is refused: the old one stays and the tick goes on.
    TickAt(3000000, 5000000);
    EXPECT_EQ(Slider.MaxValue(), 120);
    EXPECT_EQ(Slider.Value(), 0);
    EXPECT_EQ(Ticks.back(), (TickReport{300, 500}));
}

TEST_F(DSTrackBarTest, TickDoesNothingWhileHeldWithoutInterfaceOrWhenAQueryFails) {
    TickAt(30 * kSecond, 120 * kSecond);
    Ticks.clear();
    const auto tickChangesNothing = [this] {
        TickAt(60 * kSecond, 240 * kSecond);
        EXPECT_EQ(Slider.MaxValue(), 120);
        EXPECT_EQ(Slider.Value(), 30);
        EXPECT_TRUE(Ticks.empty());
    };

    Seeking.Result = E_FAIL;
    tickChangesNothing();
    Seeking.Result = S_OK;

    // A press beside the ruler still holds the slider.
    SendMouse(Slider, QEvent::MouseButtonPress, QPoint(Slider.width() - 1, 0));
    ASSERT_TRUE(Slider.MouseHeld());
    tickChangesNothing();
    // Disabled under the pointer, the slider never sees the release: ticks must not stay off.
    Slider.setEnabled(false);
    EXPECT_FALSE(Slider.MouseHeld());
    Slider.setEnabled(true);

    Slider.SetMediaSeeking(nullptr);
    tickChangesNothing();
}

TEST_F(DSTrackBarTest, ReleaseSeeksToTheReleasedValueAfterTheBaseRelease) {
    TickAt(30 * kSecond, 120 * kSecond);
    // OnChanged sees each released value before that release's seek.
    std::vector<std::pair<int, size_t>> changedAt;
    int mouseUps = 0;
    Slider.OnChanged = [&] { changedAt.emplace_back(Slider.Value(), Seeking.Seeks.size()); };
    Slider.OnMouseUp = [&](const QMouseEvent&) { ++mouseUps; };

    // A click on the thumb at 30 of 120, stop 120 s: to 30 s, the stop left as it is.
    SendMouse(Slider, QEvent::MouseButtonPress, ThumbCentre());
    SendMouse(Slider, QEvent::MouseButtonRelease, ThumbCentre());
    ASSERT_EQ(Seeking.Seeks.size(), 1u);
    EXPECT_EQ(Seeking.Seeks[0], std::make_pair(30 * kSecond, int64_t{-1}));
    EXPECT_FALSE(Slider.MouseHeld());

    // A drag: the target follows the value where the thumb was let go, and the stop.
    Seeking.Stop = 60 * kSecond;
    const QPoint from = ThumbCentre();
    SendMouse(Slider, QEvent::MouseButtonPress, from);
    SendMouse(Slider, QEvent::MouseMove, from + QPoint(100, 0));
    const int released = Slider.Value();
    ASSERT_GT(released, 30);
    SendMouse(Slider, QEvent::MouseButtonRelease, from + QPoint(100, 0));
    EXPECT_EQ(Seeking.Seeks.back().first, 60 * kSecond * released / 120);
    EXPECT_EQ(changedAt, (std::vector<std::pair<int, size_t>>{{30, 0}, {released, 1}}));
    EXPECT_EQ(mouseUps, 2);

    // A right-button release seeks nothing.
    QMouseEvent right(QEvent::MouseButtonRelease, from, Slider.mapToGlobal(from), Qt::RightButton,
                      Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Slider, &right);
    EXPECT_EQ(Seeking.Seeks.size(), 2u);

    // 1000 hours: stop times value passes the 64-bit range, the target does not.
    const int64_t stop = 1000LL * 3600 * kSecond;
    TickAt(stop / 2, stop);
    Seeking.Stop = stop;
    SendMouse(Slider, QEvent::MouseButtonPress, ThumbCentre());
    SendMouse(Slider, QEvent::MouseButtonRelease, ThumbCentre());
    EXPECT_EQ(Seeking.Seeks.back().first, stop / 2);
}

TEST_F(DSTrackBarTest, ClockChangeRewindsAndKeepsTheStop) {
    Slider.GraphEvent(EC_COMPLETE, 0, 0);
    EXPECT_TRUE(Seeking.Seeks.empty());
    Slider.GraphEvent(EC_CLOCK_CHANGED, 0, 0);
    EXPECT_EQ(Seeking.Seeks, (std::vector<std::pair<int64_t, int64_t>>{{0, -1}}));
    Slider.SetMediaSeeking(nullptr);
    Slider.GraphEvent(EC_CLOCK_CHANGED, 0, 0);  // nothing to call
    EXPECT_EQ(Seeking.Seeks.size(), 1u);
}

TEST_F(DSTrackBarTest, ControlEventsRunTheTimerAndDropTheInterface) {
    Slider.ControlEvent(cePlay, 0);
    EXPECT_TRUE(Slider.TimerRunning());
    Slider.ControlEvent(cePause, 0);
    EXPECT_FALSE(Slider.TimerRunning());

    Slider.setEnabled(false);
    Slider.ControlEvent(cePlay, 0);
    EXPECT_FALSE(Slider.TimerRunning());
    Slider.setEnabled(true);

    Slider.ControlEvent(cePlay, 0);
    Slider.ControlEvent(ceActive, 0);
    EXPECT_EQ(Slider.MediaSeeking(), nullptr);
    EXPECT_FALSE(Slider.TimerRunning());
}

TEST_F(DSTrackBarTest, FollowsItsGraphComponent) {
    TFilterGraph graph, other;
    Slider.SetFilterGraph(&graph);
    Slider.SetFilterGraph(&graph);              // once only
    EXPECT_EQ(Slider.MediaSeeking(), nullptr);  // inactive: the fake's time is over
    graph.SetActive(true);
    ASSERT_NE(graph.MediaSeeking(), nullptr);
    EXPECT_EQ(Slider.MediaSeeking(), graph.MediaSeeking());
    graph.SetActive(false);
    EXPECT_EQ(Slider.MediaSeeking(), nullptr);

    // Joining an active graph takes its interface at once; leaving one drops it.
    other.SetActive(true);
    Slider.SetFilterGraph(&other);
    EXPECT_EQ(Slider.MediaSeeking(), other.MediaSeeking());
    Slider.SetFilterGraph(nullptr);
    EXPECT_EQ(Slider.MediaSeeking(), nullptr);
    graph.SetActive(true);  // a second registration would hand it over here
    EXPECT_EQ(Slider.MediaSeeking(), nullptr);

    // A slider that goes leaves its graph: later events reach no freed listener.
    auto passing = std::make_unique<TDSTrackBar>();
    passing->SetFilterGraph(&other);
    passing.reset();
    other.SetActive(false);
}

TEST(DSTrackBarGraphTest, TicksFollowAPlayingClip) {
    TFilterGraph graph;
    TDSTrackBar slider;
    slider.SetTimerInterval(100);
    slider.SetFilterGraph(&graph);
    std::vector<int64_t> positions;
    int64_t duration = 0;
    slider.OnTimer = [&](QObject*, int64_t positionMs, int64_t durationMs) {
        positions.push_back(positionMs);
        duration = durationMs;
    };
    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath("video.mp4"));
    graph.Play();
    ASSERT_TRUE(slider.TimerRunning());
    EXPECT_TRUE(PumpUntil([&] { return slider.Value() >= 1; }, 5000));
    EXPECT_EQ(slider.MaxValue(), 2);
    EXPECT_EQ(duration / 1000, 2);
    ASSERT_GE(positions.size(), 2u);
    EXPECT_LT(positions.front(), positions.back());

    graph.Pause();
    EXPECT_FALSE(slider.TimerRunning());
    graph.SetActive(false);
    EXPECT_EQ(slider.MediaSeeking(), nullptr);
}

}  // namespace
