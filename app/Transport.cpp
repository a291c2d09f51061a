// The bottom bar's sliders (progress, speed, brightness, volume) and the picture adjustments.
#include <QCursor>
#include <QLocale>

#include "adjust/ColorControl.h"
#include "app/Main.h"
#include "app/PlayerState.h"
#include "graph/ExternalFilters.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;  // 100-ns units

// Rates and percentages show with the user's decimal separator.
std::string DecimalText(double value, int decimals) {
    return QLocale().toString(value, 'f', decimals).toStdString();
}

}  // namespace

std::string ClockText(int64_t seconds) {
    return QString::asprintf("%d:%2.2d:%2.2d", static_cast<int>(seconds / 3600),
                             static_cast<int>(seconds % 3600 / 60),
                             static_cast<int>(seconds % 3600 % 60))
        .toStdString();
}

std::string ProgressText(int64_t position, int64_t duration, int sliderValue, int sliderMax,
                         const std::string& mediaName) {
    const double percent = static_cast<double>(sliderValue) / sliderMax * 100;
    return DecimalText(percent, 1) + "% - " + ClockText(position / kUnitsPerSecond) + " [" +
           ClockText(duration / kUnitsPerSecond) + "] [" + mediaName + "]";
}

void TFormQuelm::TrackProgressTimer(QObject*, int64_t, int64_t) {
    IMediaSeeking* seeking = FG.MediaSeeking();
    if (!seeking) return;
    int64_t position = 0, duration = 0;
    seeking->GetCurrentPosition(position);
    seeking->GetDuration(duration);
    if (!FNoticeEnd.hasExpired()) return;
    ShowOverlayText(ProgressText(position, duration, TrackProgress->Value(),
                                 TrackProgress->MaxValue(), PlayerState.MediaName));
}

// On a DVD every change of the slider, the navigator's own time updates included, holds those
// updates off for three seconds, so that a slider the user moves is not pulled back meanwhile.
void TFormQuelm::TrackProgressChange() {
    if (!PlayerState.DvdMode) return;
    DvDTimer.SetEnabled(true);
    PlayerState.DvdSeekPending = true;
}

void TFormQuelm::DvDTimerTimer() {
    DvDTimer.SetEnabled(false);
    PlayerState.DvdSeekPending = false;
}

void TFormQuelm::TrackProgressChanged() {
    if (PlayerState.DvdMode) SeekDvdTime(TrackProgress->Value());
}

// The speed slider only slows down: value v plays at 2 / v, value 1 at normal speed. The rate
// shows in the label while the slider moves and reaches the graph when it is released.
void TFormQuelm::TrackSpeedChange() {
    if (!PlayerState.PlayerReady || PlayerState.DvdMode) return;
    const double rate = 2.0 / TrackSpeed->Value();
    TrackSpeed->setToolTip(QString::fromStdString("Speed = " + DecimalText(rate, 2)));
    LbLOpenList->setText(QString::fromStdString(DecimalText(rate, 3)));
}

double TFormQuelm::SpeedSliderRate() const {
    return TrackSpeed->Value() >= 2 ? 2.0 / TrackSpeed->Value() : 1.0;
}

void TFormQuelm::TrackSpeedChanged() {
    if (!PlayerState.PlayerReady || PlayerState.DvdMode) return;
    FG.SetRate(SpeedSliderRate());
    if (TrackSpeed->Value() < 2) TrackSpeed->setToolTip("Speed = 1.0");
    LbLOpenList->setText("Open");
    DesktopControlsChanged();
}

void TFormQuelm::TrackBrightnessMouseUp() {
    LbLOpenList->setText("Open");
}

// Moving the slider gives the sound back after a mute.
void TFormQuelm::TrackVolumeChange() {
    FMuted = false;
    ApplyVolume();
}

void TFormQuelm::TrackVolumeChanged() {}

// A completed change of the brightness slider is kept in "bfilter.ini", where our brightness
// filter reads it at its next connection. Values set by the program do not complete a change.
void TFormQuelm::TrackBrightnessChanged() {
    if (!PlayerState.PlayerReady || PlayerState.DvdMode || !PlayerState.FilterIniFile) return;
    PlayerState.FilterIniFile->WriteInteger("Brightness", "Value", TrackBrightness->Value());
}

void TFormQuelm::LinkColorControlForm(TColorControlForm& panel) {
    panel.OnContext = [this] { return ColorContext(); };
    panel.OnResetBrightness = [this] { TrackBrightness->SetValue(0); };
    panel.PlayerWindow = this;
    panel.ColorButton = btnControls;
}

// The decoders are asked for their interface afresh each time: each open makes new ones.
TColorContext TFormQuelm::ColorContext() {
    TColorContext context;
    context.PlayerReady = PlayerState.PlayerReady;
    context.DvdMode = PlayerState.DvdMode;
    context.DiagnosticMode = PlayerState.DiagnosticMode;
    context.NoFilters = mnNoFilters->isChecked();
    context.GraphActive = FG.Active();
    context.MediaPath = PlayerState.MediaPath;
    context.Decoder = QueryffDecoder(FilterFFdshow.GetFilter());
    context.RawDecoder = QueryffDecoder(FilterRawffdshow.GetFilter());
    context.Equalizer = FilterAudioEQGraphic.GetFilter();
    return context;
}

TPictureValues TFormQuelm::PictureValues() const {
    const int brightness = TrackBrightness->Value();
    return ColorControlForm ? ColorControlForm->PictureValues(brightness)
                            : TPictureValues{brightness};
}

// Every non-neutral setting goes again with the brightness, not only the brightness.
void TFormQuelm::TrackBrightnessChange() {
    if (!PlayerState.PlayerReady || PlayerState.DvdMode || mnNoFilters->isChecked()) return;
    PushPictureSettings(ColorContext(), PictureValues());
    PlayerState.BrightnessValue = TrackBrightness->Value();
}

// Once, shortly after a file starts: the sliders' settings reach the new graph's decoder.
void TFormQuelm::ColorTimerTimer() {
    ColorTimer.SetEnabled(false);
    PushPictureSettings(ColorContext(), PictureValues());
}

void TFormQuelm::btnControlsClick() {
    if (ColorControlForm)
        PlayerState.ColorPanelShown = ColorControlForm->ToggleShown(PlayerState.ColorPanelShown);
}

void TFormQuelm::mnVideoEQClick() {
    ShowVideoAdjustment(ColorContext(), this, [this] { btnControlsClick(); });
}

void TFormQuelm::mnAudioEQClick() {
    ShowSoundAdjustment(ColorContext(), this);
}

void TFormQuelm::mnSetDefaultClick() {
    if (ColorControlForm) ColorControlForm->btnFilterDefaultClick();
}
