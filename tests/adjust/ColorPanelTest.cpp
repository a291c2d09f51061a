#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <string>
#include <vector>

#include "adjust/ColorControl.h"
#include "components/LbSpeedButton.h"
#include "components/RXSlider.h"
#include "graph/ExternalFilters.h"

namespace {

// Records every call in the order made: "201=90", "reset 200", "dialog".
class RecordingDecoder : public IffDecoder {
  public:
    std::vector<std::string> Calls;
    HRESULT ResetStatus = S_OK;  // what resetting the picture group (200) answers

    HRESULT PutParam(unsigned paramId, int value) override {
        Calls.push_back(std::to_string(paramId) + "=" + std::to_string(value));
        return S_OK;
    }
    int GetParam(unsigned) const override { return 0; }
    HRESULT ShowCfgDlg(QWidget*) override {
        Calls.push_back("dialog");
        return S_OK;
    }
    HRESULT ResetFilter(unsigned groupId) override {
        Calls.push_back("reset " + std::to_string(groupId));
        return groupId == IDFF_filterPictProp ? ResetStatus : S_OK;
    }
};

using Calls = std::vector<std::string>;

// The texts of the message boxes shown while step runs; each is answered with OK.
std::vector<QString> MessagesDuring(const std::function<void()>& step) {
    std::vector<QString> texts;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts.push_back(box->text());
            box->accept();
        }
    });
    watcher.start(10);
    step();
    return texts;
}

class ColorPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Context.PlayerReady = true;
        Context.GraphActive = true;
        Context.MediaPath = "/films/movie.avi";
        Context.Decoder = &Decoder;
        Context.RawDecoder = &Raw;
        Panel.OnContext = [this] { return Context; };
        Panel.OnResetBrightness = [this] { BrightnessResets++; };
    }
    void Clear() {
        Decoder.Calls.clear();
        Raw.Calls.clear();
    }

    RecordingDecoder Decoder, Raw;
    TColorContext Context;
    TColorControlForm Panel;
    int BrightnessResets = 0;
};

TEST_F(ColorPanelTest, BulkPushGoesToTheDecoderTheNameCallsForAndSkipsNeutralValues) {
    PushPictureSettings(Context, {30, 90, 10, 60});
    EXPECT_EQ(Decoder.Calls, (Calls{"202=30", "201=90", "204=10", "402=60"}));
    EXPECT_TRUE(Raw.Calls.empty());
    Clear();

    Context.MediaPath = "/films/clip.wmv";
    PushPictureSettings(Context, {0, 90, 64, 20});
    EXPECT_EQ(Raw.Calls, (Calls{"201=90"})) << "saturation 64 is neutral";
    Context.MediaPath = "/films/CLIP.MPEG";
    PushPictureSettings(Context, {0, 128, 64, 21});
    EXPECT_EQ(Raw.Calls, (Calls{"201=90", "402=21"}));
    EXPECT_TRUE(Decoder.Calls.empty());
    Clear();

    // Nothing at all when any condition fails.
    Context.MediaPath = "/films/movie.avi";
    for (auto spoil : std::initializer_list<std::function<void(TColorContext&)>>{
             [](TColorContext& c) { c.MediaPath = "/music/song.mp3"; },
             [](TColorContext& c) { c.PlayerReady = false; },
             [](TColorContext& c) { c.NoFilters = true; },
             [](TColorContext& c) { c.GraphActive = false; },
             [](TColorContext& c) { c.Decoder = nullptr; }}) {
        TColorContext spoilt = Context;
        spoil(spoilt);
        PushPictureSettings(spoilt, {30, 90, 10, 60});
    }
    EXPECT_TRUE(Decoder.Calls.empty());
    EXPECT_TRUE(Raw.Calls.empty());
}

TEST_F(ColorPanelTest, PanelSlidersPushTheirOwnValueAndShowItByTheirRules) {
    Panel.TrackHue->SetValue(-40);
    Panel.TrackContrast->SetValue(150);
    EXPECT_EQ(Decoder.Calls, (Calls{"203=-40", "201=150"}));
    EXPECT_EQ(Panel.lblHueValue->text(), "-40");
    EXPECT_EQ(Panel.lblContrastValue->text(), "150");
    EXPECT_EQ(Panel.lblStatus->text(), "Norminal = 128");
    Clear();

    // Graph stopped: nothing is pushed; the contrast label alone stays as it was.
    Context.GraphActive = false;
    Panel.TrackContrast->SetValue(100);
    EXPECT_EQ(Panel.lblContrastValue->text(), "150");
    EXPECT_EQ(Panel.lblStatus->text(), "Norminal = 128");
    Panel.TrackSaturation->SetValue(20);
    EXPECT_EQ(Panel.lblColorValue->text(), "20");
    EXPECT_EQ(Panel.lblStatus->text(), "Norminal = 64");
    Panel.TrackSharpness->SetValue(70);
    EXPECT_EQ(Panel.lblStatus->text(), "Norminal = 20");
    EXPECT_TRUE(Decoder.Calls.empty());

    // A sound file: neither the decoder nor the labels.
    Context.GraphActive = true;
    Context.MediaPath = "/music/song.MP3";
    Panel.TrackSaturation->SetValue(100);
    Panel.TrackHue->SetValue(90);
    EXPECT_EQ(Panel.lblColorValue->text(), "20");
    EXPECT_EQ(Panel.lblHueValue->text(), "-40");
    EXPECT_TRUE(Decoder.Calls.empty());
    EXPECT_EQ(Panel.PictureValues(7).Brightness, 7);
    EXPECT_EQ(Panel.PictureValues(7).Saturation, 100) << "the slider holds the value anyway";
}

TEST_F(ColorPanelTest, ResetClearsTheGroupsTheNameCallsForThenTheSliders) {
    Panel.TrackContrast->SetValue(90);
    Panel.TrackHue->SetValue(45);
    Panel.TrackSharpness->SetValue(60);
    Clear();
    EXPECT_TRUE(MessagesDuring([&] { Panel.btnFilterDefaultClick(); }).empty());
    EXPECT_EQ(Decoder.Calls, (Calls{"reset 200", "reset 400", "reset 500", "201=128", "402=20"}));
    EXPECT_EQ(BrightnessResets, 1);
    EXPECT_EQ(Panel.TrackHue->Value(), 45) << "hue keeps its value";
    EXPECT_TRUE(Raw.Calls.empty());
    Clear();

    // Upper-case MPEG: the raw filter gets the sliders' values but no group reset.
    Context.MediaPath = "/films/CLIP.MPEG";
    Raw.ResetStatus = S_FALSE;
    Panel.TrackSaturation->SetValue(10);
    EXPECT_TRUE(MessagesDuring([&] { Panel.btnFilterDefaultClick(); }).empty());
    EXPECT_EQ(Raw.Calls, (Calls{"204=10", "204=64"}));
    Clear();

    // ".wmv": the raw filter's groups; its failure shows the message.
    Context.MediaPath = "/films/clip.wmv";
    EXPECT_EQ(MessagesDuring([&] { Panel.btnFilterDefaultClick(); }),
              (std::vector<QString>{"Reset Failed!"}));
    EXPECT_EQ(Raw.Calls, (Calls{"reset 200", "reset 400", "reset 500"}));
    Clear();

    // A failing reset with the graph stopped is never tried, so nothing is reported.
    Context.GraphActive = false;
    EXPECT_TRUE(MessagesDuring([&] { Panel.btnFilterDefaultClick(); }).empty());
    EXPECT_TRUE(Raw.Calls.empty());

    // A sound file: not even the sliders move.
    Context.GraphActive = true;
    Context.MediaPath = "/music/song.wav";
    Panel.TrackContrast->SetValue(70);
    Panel.btnFilterDefaultClick();
    EXPECT_EQ(Panel.TrackContrast->Value(), 70);
    EXPECT_EQ(BrightnessResets, 4);
    EXPECT_TRUE(Raw.Calls.empty());
}

TEST_F(ColorPanelTest, VideoAdjustmentOpensTheDecoderDialogOnlyInDiagnosticMode) {
    int buttonPresses = 0;
    const auto press = [&] { buttonPresses++; };
    ShowVideoAdjustment(Context, nullptr, press);
    EXPECT_EQ(buttonPresses, 1);
    EXPECT_TRUE(Decoder.Calls.empty());

    Context.DiagnosticMode = true;
    Context.MediaPath = "/films/clip.asf";
    ShowVideoAdjustment(Context, nullptr, press);
    EXPECT_EQ(Raw.Calls, (Calls{"dialog"}));
    Context.GraphActive = false;
    ShowVideoAdjustment(Context, nullptr, press);
    Context.GraphActive = true;
    Context.DvdMode = true;
    ShowVideoAdjustment(Context, nullptr, press);
    Context.DvdMode = false;
    Context.NoFilters = true;
    ShowVideoAdjustment(Context, nullptr, press);
    EXPECT_EQ(Raw.Calls, (Calls{"dialog"}));
    EXPECT_EQ(buttonPresses, 1);
}

// What the screen cannot tell a journey: the sliders' hints and options, "Reset"'s hot font.
TEST_F(ColorPanelTest, TheControlsCarryTheirHintsAndLook) {
    const std::vector<std::pair<TRxSlider*, QString>> hints = {
        {Panel.TrackContrast, "128 Normial"},
        {Panel.TrackSaturation, "64 Normial"},
        {Panel.TrackHue, "0 Normial"},
        {Panel.TrackSharpness, "20 Normial"}};
    for (const auto& [slider, hint] : hints) {
        EXPECT_EQ(slider->toolTip(), hint);
        EXPECT_EQ(slider->Options(), soShowFocus | soSmooth);
        EXPECT_EQ(slider->NumThumbStates(), 1);
        EXPECT_EQ(slider->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_TRUE(Panel.btnFilterDefault->UseHotTrackFont());
    EXPECT_TRUE(Panel.btnFilterDefault->HotTrackFont().bold());
    EXPECT_EQ(Panel.btnFilterDefault->Style(), bsModern);
    EXPECT_EQ(Panel.btnFilterDefault->cursor().shape(), Qt::PointingHandCursor);
}

}  // namespace
