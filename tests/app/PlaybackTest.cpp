// Playback control: the ready step, Play, Pause, Stop, and what follows the end of a file.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTimer>

#include "app/PlayerState.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"

namespace {

class PlaybackTest : public PlayerTest {
  protected:
    // Three clips told apart by name; the second is short, so a test can wait for its end.
    std::string ThreeClips() {
        const std::string folder = Folder("films");
        CopyClip("video.mp4", folder + "a.mp4");
        CopyClip("short.mp4", folder + "b.mp4");
        CopyClip("green.mp4", folder + "c.mp4");
        return folder;
    }
    bool Playing() const {
        GstState state = GST_STATE_NULL;
        return Form->FG.Pipeline() &&
               gst_element_get_state(Form->FG.Pipeline(), &state, nullptr, GST_SECOND) !=
                   GST_STATE_CHANGE_FAILURE &&
               state == GST_STATE_PLAYING;
    }
};

TEST_F(PlaybackTest, LoopAllWrapsFromTheLastRowToTheFirst) {
    const std::string folder = ThreeClips();
    TFormQuelm& form = StartWithFolder(folder);
    ClickRow(2);
    form.TrackSpeed->SetValue(9);
    PumpFor(300);  // past a file that ends as it starts
    form.FGGraphComplete();
    WaitForOpen();
    EXPECT_EQ(form.SelectedRow(), 0);
    EXPECT_EQ(PlayerState.LastListIndex, 0);
    EXPECT_EQ(PlayerState.MediaPath, folder + "a.mp4");
    EXPECT_EQ(form.TrackSpeed->Value(), 2);
    EXPECT_TRUE(Playing());
}

TEST_F(PlaybackTest, LoopOneRepeatsTheRowAndNoRowMeansNothing) {
    const std::string folder = ThreeClips();
    TFormQuelm& form = StartWithFolder(folder);
    form.rBtnLoop1->setChecked(true);
    ClickRow(2);
    PlayerState.MediaPath.clear();
    PumpFor(300);  // past a file that ends as it starts
    form.FGGraphComplete();
    WaitForOpen();
    EXPECT_EQ(form.SelectedRow(), 2);
    EXPECT_EQ(PlayerState.MediaPath, folder + "c.mp4");
    EXPECT_TRUE(Playing());

    form.LvVideoSource->clearSelection();
    PumpFor(300);  // past a file that ends as it starts
    form.FGGraphComplete();
    WaitForOpen();
    EXPECT_FALSE(form.FG.Active());
}

// The real end of a short clip starts the next row.
TEST_F(PlaybackTest, TheEndOfAFileStartsTheNextRow) {
    const std::string folder = ThreeClips();
    StartWithFolder(folder);
    ClickRow(1);
    ASSERT_TRUE(PumpUntil([&] { return PlayerState.MediaPath == folder + "c.mp4"; }, 8000));
    WaitForOpen();
    EXPECT_EQ(PlayerState.LastListIndex, 2);
    EXPECT_TRUE(Playing());
}

TEST_F(PlaybackTest, ACommandLineFileRepeatsUntilARowIsClicked) {
    const std::string folder = ThreeClips();
    CopyClip("short.mp4", Drive("given.mp4"));
    WriteSettings(("VideoFolder=" + folder + "\r\n").c_str());
    TFormQuelm& form = Start({QString::fromStdString(Drive("given.mp4"))});
    form.ReadyTimerTimer();
    WaitForOpen();
    EXPECT_TRUE(form.FG.Active());
    EXPECT_EQ(PlayerState.MediaName, "given.mp4");
    EXPECT_FALSE(form.IntroMemo->isVisibleTo(&form));
    form.rBtnLoop1->setChecked(false);
    PumpFor(300);  // past a file that ends as it starts
    form.FGGraphComplete();
    WaitForOpen();
    EXPECT_TRUE(Playing()) << "the given file again, whatever the loop option";
    EXPECT_EQ(form.SelectedRow(), -1);

    ClickRow(0);
    PumpFor(300);  // past a file that ends as it starts
    form.FGGraphComplete();
    WaitForOpen();
    EXPECT_EQ(PlayerState.MediaPath, folder + "b.mp4");
}

TEST_F(PlaybackTest, PauseTogglesItsImageAndThePlayButton) {
    TFormQuelm& form = StartWithFolder(ThreeClips());
    ClickRow(0);
    const qint64 playingImage = form.BtnPause->icon().cacheKey();
    form.BtnPauseClick();
    EXPECT_EQ(form.BtnPause->property("Tag").toInt(), 1);
    EXPECT_FALSE(form.BtnPlay->isVisibleTo(&form));
    EXPECT_NE(form.BtnPause->icon().cacheKey(), playingImage);
    GstState state;
    gst_element_get_state(form.FG.Pipeline(), &state, nullptr, GST_SECOND);
    EXPECT_EQ(state, GST_STATE_PAUSED);
    form.BtnPauseClick();
    EXPECT_EQ(form.BtnPause->property("Tag").toInt(), 0);
    EXPECT_TRUE(form.BtnPlay->isVisibleTo(&form));
    EXPECT_TRUE(Playing());
}

TEST_F(PlaybackTest, StopWhilePausedResetsEverythingAndPlayOpensTheRowAgain) {
    TFormQuelm& form = StartWithFolder(ThreeClips());
    ClickRow(0);
    form.BtnPauseClick();
    form.TrackProgress->SetValue(1);
    form.BtnStopClick();
    EXPECT_EQ(form.BtnPause->property("Tag").toInt(), 0);
    EXPECT_TRUE(form.BtnPlay->isVisibleTo(&form));
    EXPECT_EQ(form.TrackProgress->Value(), 0);
    EXPECT_EQ(PlayerState.OverlayText, "Idle");
    EXPECT_EQ(form.windowTitle(), "Idle");
    EXPECT_TRUE(form.FG.Active());
    EXPECT_FALSE(Playing());
    form.BtnPlayClick();
    WaitForOpen();
    EXPECT_TRUE(Playing());
}

// An error once a file plays reaches the user as the message and goes on to the next row;
// a position set while paused holds through Play (the pipeline's new clock is no rewind).
TEST_F(PlaybackTest, AnErrorWhilePlayingShowsTheMessageAndGoesOnAndPausedSeeksHold) {
    const std::string folder = ThreeClips();
    TFormQuelm& form = StartWithFolder(folder);
    ClickRow(0);
    GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, "broken");
    gst_element_post_message(form.FG.Pipeline(), gst_message_new_error(GST_OBJECT(form.FG.Pipeline()),
                                                                       error, "test"));
    g_error_free(error);
    EXPECT_TRUE(PumpUntil([&] { return form.windowTitle().contains("wrong format"); }, 3000));
    EXPECT_TRUE(form.windowTitle().contains(QString::fromStdString(folder + "a.mp4")));
    ASSERT_TRUE(PumpUntil([&] { return form.SelectedRow() == 1 && Playing(); }, 5000));

    CopyClip("long.mp4", folder + "d.mp4");
    form.ScanMediaFolder(folder);
    ClickRow(3);
    form.BtnPauseClick();
    IMediaSeeking* seeking = form.FG.MediaSeeking();
    ASSERT_NE(seeking, nullptr);
    ASSERT_EQ(seeking->SetPositions(int64_t(10) * 10000000, -1), S_OK);
    form.BtnPauseClick();
    PumpUntil([] { return false; }, 800);
    int64_t position = 0;
    seeking->GetCurrentPosition(position);
    EXPECT_GE(position, int64_t(10) * 10000000);
}

// A missing image raises before the button changes, so the next click takes the same branch.
TEST_F(PlaybackTest, AMissingPauseImageLeavesTheButtonAsItWas) {
    TFormQuelm& form = StartWithFolder(ThreeClips());
    QFile::remove(QString::fromStdString(Home("BackGround/Clock.bmp")));
    EXPECT_THROW(form.BtnPauseClick(), std::exception);
    EXPECT_EQ(form.BtnPause->property("Tag").toInt(), 0);
    EXPECT_TRUE(form.BtnPlay->isVisibleTo(&form));
    QFile::remove(QString::fromStdString(Home("BackGround/Pause.bmp")));
    PlayerState.OverlayText.clear();
    EXPECT_THROW(form.BtnStopClick(), std::exception);
    EXPECT_TRUE(PlayerState.OverlayText.empty());
}

TEST_F(PlaybackTest, PlayWithoutSelectionTakesTheFirstRowOrAsksForAFolder) {
    const std::string folder = ThreeClips();
    TFormQuelm& form = StartWithFolder(folder);
    form.BtnPlayClick();
    WaitForOpen();
    EXPECT_EQ(form.SelectedRow(), 0);
    EXPECT_EQ(PlayerState.MediaPath, folder + "a.mp4");
    EXPECT_TRUE(Playing());

    form.ScanMediaFolder(Drive("nowhere/"));
    bool asked = false;
    QTimer::singleShot(0, [&] {
        PumpUntil([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
        asked = QApplication::activeModalWidget() != nullptr;
        if (asked) qobject_cast<QDialog*>(QApplication::activeModalWidget())->reject();
    });
    form.BtnPlayClick();
    WaitForOpen();
    EXPECT_TRUE(asked);
}

}  // namespace
