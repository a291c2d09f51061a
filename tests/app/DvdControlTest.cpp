// The player's DVD side: the messages of each render outcome, the open of the authored disc,
// the DVD commands on a file's graph, the DVD time in the caption and on the slider, and the
// jump to a time.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QStackedLayout>
#include <algorithm>

#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"
#include "graph/DirectShowErrors.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"
#include "tests/support/TestMedia.h"

namespace {

std::string DiscIfo() {
    const std::string path =
        qEnvironmentVariable("VEXLO_TEST_MEDIA").toStdString() + "/dvd/VIDEO_TS/VIDEO_TS.IFO";
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(path))) << path;
    return path;
}

class DvdControlTest : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        StartWithFolder(Folder("films"));
    }
    // Opens a volume whose render ends as given.
    void OpenWith(HRESULT result, const AM_DVD_RENDERSTATUS& faked) {
        DvdMessages.clear();
        Form->DvdRenderer = [=](AM_DVD_RENDERSTATUS& status, const std::string&) {
            status = faked;
            return result;
        };
        Form->OpenDvdVolume("/nowhere/VIDEO_TS/VIDEO_TS.IFO");
    }
    bool Playing() const {
        GstState state = GST_STATE_NULL;
        if (Form->FG.Pipeline()) gst_element_get_state(Form->FG.Pipeline(), &state, nullptr, 0);
        return state == GST_STATE_PLAYING;
    }
    QString UsedFilters() const { return OpenErrorForm()->MemoError->toPlainText(); }
};

TEST_F(DvdControlTest, EachFailedRenderShowsItsMessagesAndClearsTheGraph) {
    AM_DVD_RENDERSTATUS streams;
    streams.iNumStreamsFailed = 2;
    OpenWith(S_FALSE, streams);
    EXPECT_EQ(DvdMessages, QStringList{"Can't render one or more stream."});
    EXPECT_FALSE(Playing());
    EXPECT_TRUE(Form->FG.Active());
    EXPECT_EQ(Form->FG.Mode(), gmDVD);
    EXPECT_TRUE(PlayerState.DvdMode);
    EXPECT_EQ(Form->PictureStack->currentWidget(), Form->VideoWindow1.get());

    AM_DVD_RENDERSTATUS all;
    all.hrVPEStatus = E_FAIL;
    all.bDvdVolInvalid = all.bDvdVolUnknown = all.bNoLine21In = all.bNoLine21Out = true;
    all.iNumStreamsFailed = 1;
    OpenWith(S_FALSE, all);
    EXPECT_EQ(
        DvdMessages,
        (QStringList{"Unspecified error.", "The specified DVD volume to be played does not exist.",
                     "No DVD volume is specified or isn't found.",
                     "The video decoder doesn't produce line 21 (closed captioning) data.",
                     "The video decoder can't be shown as closed captioning on video due "
                     "to a problem with graph building.",
                     "Can't render one or more stream."}));

    OpenErrorForm()->MemoError->setPlainText("earlier");
    OpenWith(VFW_E_DVD_DECNOTENOUGH, {});
    EXPECT_EQ(DvdMessages, QStringList{"There isn't enough hardware or software decoders to decode "
                                       "all streams."});
    EXPECT_EQ(UsedFilters(), "earlier") << "no used-filters list";
    OpenWith(VFW_E_DVD_RENDERFAIL, {});
    EXPECT_EQ(DvdMessages,
              QStringList{"Some basic error occurred in building the graph.\r"
                          "Possibilities include the DVD Navigator filter or the video "
                          "or audio renderer not instantiating,\r"
                          "a trivial connection or pin enumeration failing, or none of "
                          "the streams rendering."});
    OpenWith(E_INVALIDARG, {});
    EXPECT_EQ(DvdMessages, QStringList{"Invalid Argument."});
    OpenWith(E_FAIL, {});
    EXPECT_TRUE(DvdMessages.isEmpty());
    EXPECT_FALSE(Playing());
}

TEST_F(DvdControlTest, TheAuthoredDiscPlaysThroughTheClassicWindow) {
    Form->FG.SetRate(0.5);  // a file slowed with the speed slider before
    Form->OpenDvdVolume(DiscIfo());
    WaitForOpen();
    EXPECT_EQ(Form->FG.Rate(), 1.0) << "a DVD starts at normal speed";
    EXPECT_TRUE(DvdMessages.isEmpty());
    EXPECT_TRUE(Playing());
    EXPECT_NE(Form->FG.DvdControl2(), nullptr);
    const std::vector<IGraphMember*>& members = Form->FG.Members();
    auto member = [&](IGraphMember* window) {
        return std::find(members.begin(), members.end(), window) != members.end();
    };
    EXPECT_FALSE(member(Form->EVRVideoWindow1.get()));
    EXPECT_TRUE(member(Form->VideoWindow1.get()));
    EXPECT_TRUE(member(Form->DSVideoWindowEx1.get()));
    EXPECT_TRUE(UsedFilters().startsWith("Used Filters for this run:"));
    EXPECT_TRUE(UsedFilters().contains("VideoWindow1"));
    EXPECT_EQ(Form->TrackProgress->MaxValue(), 10000);
    EXPECT_EQ(Form->TrackProgress->Value(), 0);
    // The DVD time is drawn over the picture even when no file was played before.
    EXPECT_TRUE(Form->DrawTextThread.Running());

    // The time events reach the caption once a second.
    PlayerState.DvdSeekPending = false;
    EXPECT_TRUE(PumpUntil([&] { return Form->windowTitle().startsWith("0:00:0"); }, 2500))
        << Form->windowTitle().toStdString();
}

TEST_F(DvdControlTest, TheDvdTimeShowsInTheCaptionAndMovesTheSliderUnlessASeekIsPending) {
    Form->OpenDvdVolume(DiscIfo());
    WaitForOpen();
    PlayerState.DvdSeekPending = false;
    Form->FGDVDCurrentHMSFTime(1 | 5 << 8 | 9 << 16 | 24u << 24, 0);
    EXPECT_EQ(Form->windowTitle(), "1:05:09");
    EXPECT_EQ(PlayerState.OverlayText, "1:05:09");
    EXPECT_EQ(Form->TrackProgress->Value(), 3909);
    // That change holds the next updates off, as the user's own moves do.
    EXPECT_TRUE(PlayerState.DvdSeekPending);
    Form->FGDVDCurrentHMSFTime(2 | 0 << 8 | 1 << 16, 0);
    EXPECT_EQ(Form->windowTitle(), "2:00:01");
    EXPECT_EQ(Form->TrackProgress->Value(), 3909);
    // The slider's end: 2:46:40 and beyond.
    PlayerState.DvdSeekPending = false;
    Form->FGDVDCurrentHMSFTime(3 | 0 << 8 | 0 << 16, 0);
    EXPECT_EQ(Form->TrackProgress->Value(), 10000);
}

TEST_F(DvdControlTest, SeeksToTheSliderTimeWithinATitleAndNeverToZero) {
    Form->show();
    Form->OpenDvdVolume(DiscIfo());
    WaitForOpen();
    int title = 0;
    Form->FG.OnDVDTitleChange = [&](int value) { title = value; };
    PumpFor(500);
    // The second menu button, at (520, 432) of the 720 x 576 picture.
    TVideoWindow& window = *Form->VideoWindow1;
    const QPoint button(520 * window.width() / 720, 432 * window.height() / 576);
    Form->SelectDvdButtonAt(&window, button);
    Form->ActivateDvdButtonAt(&window, button);
    ASSERT_TRUE(PumpUntil([&] { return title == 2; }, 4000));
    IMediaSeeking* seeking = Form->FG.MediaSeeking();
    int64_t position = 0;
    Form->SeekDvdTime(4);
    ASSERT_TRUE(PumpUntil(
        [&] { return SUCCEEDED(seeking->GetCurrentPosition(position)) && position >= 40000000; },
        2000));
    Form->SeekDvdTime(0);
    PumpFor(200);
    ASSERT_EQ(seeking->GetCurrentPosition(position), S_OK);
    EXPECT_GE(position, 40000000) << "no seek to the start";
}

TEST_F(DvdControlTest, DvdCommandsDoNothingWhileAFilePlays) {
    ASSERT_EQ(OpenAndWait(TestMediaPath("video.mp4")), S_OK);
    ASSERT_TRUE(Form->FG.Active());
    EXPECT_EQ(Form->FG.DvdControl2(), nullptr);
    for (auto command : {&TFormQuelm::MenuItem2Click, &TFormQuelm::MenuItem3Click,
                         &TFormQuelm::NextChapter1Click, &TFormQuelm::PreviousChapter1Click,
                         &TFormQuelm::RootMenu1Click, &TFormQuelm::TitleMenu1Click})
        (Form.get()->*command)();
    Form->SeekDvdTime(3909);
    double rate = 0;
    Form->FG.MediaSeeking()->GetRate(rate);
    EXPECT_EQ(rate, 1.0) << "no fast forward";
    EXPECT_TRUE(Playing());
}

}  // namespace
