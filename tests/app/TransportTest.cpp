// The transport sliders: the time text, speed, volume, the DVD variant and the bottom bar.
#include <gtest/gtest.h>

#include <QCursor>
#include <QLocale>

#include "app/PlayerState.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"

namespace {

constexpr int64_t kSecond = 10000000;  // 100-ns units

TEST(ProgressText, ReadsPercentPositionDurationAndName) {
    EXPECT_EQ(ProgressText(307 * kSecond, 2460 * kSecond, 307, 2460, "movie.avi"),
              "12.5% - 0:05:07 [0:41:00] [movie.avi]");
    EXPECT_EQ(ProgressText(59 * kSecond + kSecond / 2, 5405 * kSecond, 0, 5405, "x"),
              "0.0% - 0:00:59 [1:30:05] [x]");
    EXPECT_EQ(ProgressText(36000 * kSecond, 36000 * kSecond, 1, 1, "long"),
              "100.0% - 10:00:00 [10:00:00] [long]");
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(ProgressText(0, 0, 1, 8, ""), "12,5% - 0:00:00 [0:00:00] []");
    QLocale::setDefault(QLocale::c());
}

class TransportTest : public PlayerTest {
  protected:
    TFormQuelm& StartPlaying() {
        const std::string folder = Folder("films");
        CopyClip("video.mp4", folder + "movie.mp4");
        StartWithFolder(folder);
        ClickRow(0);
        return *Form;
    }
};

TEST_F(TransportTest, TheTickWritesTheTimeIntoCaptionAndOverlay) {
    TFormQuelm& form = StartPlaying();
    ASSERT_TRUE(
        PumpUntil([] { return PlayerState.OverlayText.find("% - ") != std::string::npos; }, 3000));
    EXPECT_EQ(form.TrackProgress->MaxValue(), 2);
    EXPECT_NE(PlayerState.OverlayText.find(" [0:00:02] [movie.mp4]"), std::string::npos)
        << PlayerState.OverlayText;
    EXPECT_EQ(form.windowTitle().toStdString(), PlayerState.OverlayText);
}

TEST_F(TransportTest, SpeedShowsWhileMovingAndSlowsDownOnRelease) {
    TFormQuelm& form = StartPlaying();
    form.TrackSpeed->SetValue(3);
    EXPECT_EQ(form.TrackSpeed->toolTip(), "Speed = 0.67");
    EXPECT_EQ(form.LbLOpenList->text(), "0.667");
    form.TrackSpeedChanged();
    EXPECT_NEAR(form.FG.Rate(), 2.0 / 3, 1e-9);
    EXPECT_EQ(form.LbLOpenList->text(), "Open");

    form.TrackSpeed->SetValue(1);
    EXPECT_EQ(form.LbLOpenList->text(), "2.000");
    form.TrackSpeedChanged();
    EXPECT_EQ(form.FG.Rate(), 1.0);
    EXPECT_EQ(form.TrackSpeed->toolTip(), "Speed = 1.0");
    EXPECT_EQ(form.LbLOpenList->text(), "Open");
}

TEST_F(TransportTest, SpeedAndVolumeWaitForTheReadyStepAndSpeedIgnoresDvds) {
    TFormQuelm& form = Start();
    form.TrackSpeed->SetValue(4);
    form.TrackVolume->SetValue(5000);
    EXPECT_EQ(form.LbLOpenList->text(), "Open");
    EXPECT_NE(form.FG.Volume(), 5000);
    form.ReadyTimerTimer();
    EXPECT_EQ(form.FG.Volume(), 5000);
    PlayerState.DvdMode = true;
    form.TrackSpeed->SetValue(10);
    form.TrackSpeedChanged();
    EXPECT_EQ(form.LbLOpenList->text(), "Open");
    EXPECT_EQ(form.FG.Rate(), 1.0);
}

TEST_F(TransportTest, VolumeEndsAreSilenceAndFullLevel) {
    TFormQuelm& form = StartPlaying();
    int32_t level = 1;
    form.TrackVolume->SetValue(0);
    ASSERT_EQ(form.FG.BasicAudio()->get_Volume(level), S_OK);
    EXPECT_EQ(level, -10000);
    form.TrackVolume->SetValue(10000);
    form.FG.BasicAudio()->get_Volume(level);
    EXPECT_EQ(level, 0);
}

TEST_F(TransportTest, OnADvdAMovedSliderHoldsTheTimeUpdatesOffForThreeSeconds) {
    TFormQuelm& form = Start();
    form.TrackProgress->SetValue(5);
    EXPECT_FALSE(PlayerState.DvdSeekPending) << "files do not hold anything";
    PlayerState.DvdMode = true;
    form.TrackProgress->SetValue(6);
    EXPECT_TRUE(PlayerState.DvdSeekPending);
    EXPECT_TRUE(form.DvDTimer.Enabled());
    ASSERT_TRUE(PumpUntil([] { return !PlayerState.DvdSeekPending; }, 5000));
    EXPECT_FALSE(form.DvDTimer.Enabled());
}

TEST_F(TransportTest, LeavingTheBarShrinksItUnlessThePointerStaysAtTheBottom) {
    TFormQuelm& form = Start();
    form.show();
    form.move(100, 100);
    form.resize(640, 480);
    PumpFor(50);
    form.Paneles1->setFixedHeight(20);
    QCursor::setPos(form.x() + 10, form.y() + form.height() - 5);
    PumpFor(50);
    form.ShrinkBottomBar();
    EXPECT_EQ(form.Paneles1->height(), 20);
    QCursor::setPos(form.x() + 10, form.y() + 50);
    PumpFor(50);
    form.ShrinkBottomBar();
    EXPECT_EQ(form.Paneles1->height(), 15);
}

}  // namespace
