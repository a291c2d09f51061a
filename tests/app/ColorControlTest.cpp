// The picture and sound adjustments through the real player window and colour panel: the
// panel's and the brightness slider's pushes, Reset, the colour timer, the colour button, the
// two adjustment commands, and what the user sees on the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSlider>
#include <QTimer>
#include <QWindow>

#include "adjust/ColorControl.h"
#include "app/PlayerState.h"
#include "components/RXSlider.h"
#include "graph/ExternalFilters.h"
#include "platform/RegistryStore.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"
#include "tests/support/TestMedia.h"
#include "tests/support/X11Support.h"
#include "video/FilterDialogs.h"

namespace {

class ColorControlTest : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        RegisterExternalFilters();
        RegisterFilterDialogs();
    }
    void TearDown() override {
        Panel.reset();
        PlayerTest::TearDown();
    }

    // A ready player on a folder with "green.mp4", "movie.mp4" (red and blue) and "song.wav".
    TFormQuelm& StartPlayer() {
        const std::string folder = Folder("films");
        CopyClip("green.mp4", folder + "green.mp4");
        CopyClip("video.mp4", folder + "movie.mp4");
        CopyClip("tone.wav", folder + "song.wav");
        TFormQuelm& form = StartWithFolder(folder);
        Panel = std::make_unique<TColorControlForm>();
        form.LinkColorControlForm(*Panel);
        return form;
    }
    int Row(const std::string& name) const {
        for (int row = 0; row < Form->RowCount(); ++row)
            if (Form->RowFileName(row) == name) return row;
        ADD_FAILURE() << name << " is not listed";
        return -1;
    }
    void Play(const std::string& name) {
        ClickRow(Row(name));
        ASSERT_TRUE(Form->FG.Active()) << name;
    }
    IffDecoder* Decoder() const { return QueryffDecoder(Form->FilterFFdshow.GetFilter()); }

    std::unique_ptr<TColorControlForm> Panel;
};

TEST_F(ColorControlTest, FirstStartPreparesTheExternalFiltersSettings) {
    RegistryStore store;
    const char* equalizer = "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter";
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, equalizer));
    Start();
    const auto value = [&](const char* key, const char* name) {
        return store.Dword(HKEY_CURRENT_USER, key, name);
    };
    EXPECT_EQ(value("Software\\GNU\\Xvid", "display_status"), 0u);
    EXPECT_EQ(value("Software\\Haali\\Matroska Splitter", "ui.trayicon"), 0u);
    EXPECT_EQ(value("Software\\GNU\\ffdshow\\default", "isPictProp"), 1u);
    EXPECT_EQ(value("Software\\GNU\\ffdshow_raw\\default", "isPictProp"), 1u);
    EXPECT_FALSE(value(equalizer, "Enabled")) << "the equaliser is there: left alone";
}

TEST_F(ColorControlTest, SlidersAndResetDriveTheRunningDecoder) {
    TFormQuelm& form = StartPlayer();
    Play("green.mp4");
    IffDecoder* decoder = Decoder();
    ASSERT_NE(decoder, nullptr);
    Panel->TrackSaturation->SetValue(0);
    Panel->TrackHue->SetValue(90);
    form.TrackBrightness->SetValue(40);
    EXPECT_EQ(decoder->GetParam(IDFF_saturation), 0);
    EXPECT_EQ(decoder->GetParam(IDFF_hue), 90);
    EXPECT_EQ(decoder->GetParam(IDFF_brightness), 40);
    EXPECT_EQ(PlayerState.BrightnessValue, 40);

    // Back to 0: 0 is neutral and not sent, so the decoder keeps 40 until Reset.
    form.TrackBrightness->SetValue(0);
    EXPECT_EQ(decoder->GetParam(IDFF_brightness), 40);
    EXPECT_EQ(PlayerState.BrightnessValue, 0);
    form.TrackBrightness->SetValue(25);

    form.mnSetDefault->trigger();
    EXPECT_EQ(form.TrackBrightness->Value(), 0);
    EXPECT_EQ(Panel->TrackSaturation->Value(), 64);
    EXPECT_EQ(Panel->TrackHue->Value(), 90) << "hue keeps its value";
    EXPECT_EQ(decoder->GetParam(IDFF_brightness), 0);
    EXPECT_EQ(decoder->GetParam(IDFF_saturation), 64);
    EXPECT_EQ(decoder->GetParam(IDFF_hue), 0) << "the decoder's picture group was reset";
    EXPECT_FALSE(ReadFile(Home("bfilter.ini")).contains("Value")) << "moved by code, not saved";

    // With the colour filters switched off nothing reaches the decoder.
    form.mnNoFilters->trigger();
    Panel->TrackContrast->SetValue(90);
    form.TrackBrightness->SetValue(-30);
    EXPECT_EQ(decoder->GetParam(IDFF_contrast), 128);
    EXPECT_EQ(decoder->GetParam(IDFF_brightness), 0);
}

TEST_F(ColorControlTest, ColourTimerAppliesTheSettingsToEachNewFileOnce) {
    TFormQuelm& form = StartPlayer();
    Panel->TrackContrast->SetValue(150);
    Panel->TrackHue->SetValue(-60);
    EXPECT_EQ(Panel->lblContrastValue->text(), "128") << "no graph yet";
    EXPECT_EQ(Panel->lblHueValue->text(), "-60");
    form.TrackBrightness->SetValue(30);
    Play("movie.mp4");
    IffDecoder* decoder = Decoder();
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->GetParam(IDFF_contrast), 128) << "a new graph starts neutral";
    EXPECT_TRUE(PumpUntil([&] { return decoder->GetParam(IDFF_contrast) == 150; }, 3000));
    EXPECT_EQ(decoder->GetParam(IDFF_brightness), 30);
    EXPECT_EQ(decoder->GetParam(IDFF_hue), 0) << "hue goes only with its own slider";
    EXPECT_FALSE(form.ColorTimer.Enabled());

    // A sound file has no picture: the panel stays as it is.
    Play("song.wav");
    Panel->TrackContrast->SetValue(70);
    EXPECT_EQ(Panel->lblContrastValue->text(), "128");
}

TEST_F(ColorControlTest, ColourButtonAndVideoAdjustmentShowThePanelOrTheDecoderDialog) {
    TFormQuelm& form = StartPlayer();
    form.show();
    form.btnControls->click();
    EXPECT_TRUE(PlayerState.ColorPanelShown);
    EXPECT_TRUE(Panel->isVisible());
    const QPoint offset = Panel->frameGeometry().center() - form.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << "centred over the player";
    form.mnVideoEQ->trigger();  // outside diagnostic mode: the colour button
    EXPECT_FALSE(PlayerState.ColorPanelShown);
    EXPECT_EQ(Panel->y(), -500);

    // Losing activation puts the panel out of sight; the button brings it back, centred.
    form.btnControls->click();
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(Panel.get(), &deactivate);
    EXPECT_EQ(Panel->y(), -500);
    EXPECT_FALSE(Panel->isVisible());
    EXPECT_TRUE(PlayerState.ColorPanelShown);
    form.btnControls->click();
    EXPECT_TRUE(PlayerState.ColorPanelShown);
    EXPECT_GE(Panel->y(), 0);

    PlayerState.DiagnosticMode = true;
    form.mnVideoEQ->trigger();
    EXPECT_EQ(form.findChild<QDialog*>(), nullptr) << "no graph, no dialog";
    Play("green.mp4");
    form.mnVideoFilter->trigger();
    auto* dialog = form.findChild<QDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(PlayerState.ColorPanelShown) << "the dialog instead of the colour button";
}

// The modal frames shown while step runs, each inspected by look and then closed.
void WithModalFrame(const std::function<void()>& step, const std::function<void(QDialog&)>& look,
                    int* frames) {
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* frame = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++*frames;
            look(*frame);
            frame->accept();
        }
    });
    watcher.start(20);
    step();
}

TEST_F(ColorControlTest, SoundAdjustmentShowsTheEqualizerPageWhileAFilePlays) {
    TFormQuelm& form = StartPlayer();
    int frames = 0;
    WithModalFrame([&] { form.mnAudioEQ->trigger(); }, [](QDialog&) {}, &frames);
    EXPECT_EQ(frames, 0) << "nothing plays";

    Play("song.wav");
    IGraphicEqualizer* bands = QueryGraphicEqualizer(form.FilterAudioEQGraphic.GetFilter());
    ASSERT_NE(bands, nullptr);
    WithModalFrame([&] { form.mnSoundEQ->trigger(); },
                   [&](QDialog& frame) {
                       EXPECT_EQ(frame.windowTitle(), "FilterAudioEQGraphic");
                       EXPECT_EQ(frame.parentWidget(), &form);
                       if (auto* band = frame.findChild<QSlider*>("band5")) band->setValue(-20);
                   },
                   &frames);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(bands->Band(5), -20);
}

TEST_F(ColorControlTest, ScreenShowsThePictureChangeAtOnce) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs the X display";
    TFormQuelm& form = StartPlayer();
    form.show();
    ASSERT_TRUE(
        PumpUntil([&] { return form.isVisible() && form.windowHandle()->isExposed(); }, 5000));
    Play("green.mp4");
    TEVRVideoWindow& window = *form.EVRVideoWindow1;
    const QRect area(window.mapToGlobal(QPoint(0, 0)), window.size());
    const QRect middle(area.width() / 4, area.height() / 4, area.width() / 2, area.height() / 2);
    // The picture passes a few queued frames before it reaches the screen. Slowed down, the
    // 2 s clip lasts 8 s, so a busy machine still sees it play.
    form.FG.SetRate(0.25);
    const auto screenColour = [&] { return AverageColour(GrabScreen(area), middle); };
    PumpFor(500);
    EXPECT_TRUE(ColourNear(screenColour(), QColor(kTestGreen)));

    Panel->TrackSaturation->SetValue(0);
    QElapsedTimer clock;
    clock.start();
    QColor grey = screenColour();
    while (grey.green() > grey.red() + 30 && clock.elapsed() < 5000) grey = screenColour();
    EXPECT_LT(std::abs(grey.red() - grey.green()) + std::abs(grey.green() - grey.blue()), 30)
        << "grey: " << grey.name().toStdString();
    GrabScreen(area).save(QDir::temp().filePath("vexlo-saturation-0.png"));
}

}  // namespace
