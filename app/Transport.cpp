// The bottom bar's sliders (progress, speed, brightness, volume) and the picture adjustments.
#include "app/Main.h"
#include "app/PlayerState.h"

// A completed change of the brightness slider is kept in "bfilter.ini", where our brightness
// filter reads it at its next connection. Values set by the program do not complete a change.
void TFormQuelm::TrackBrightnessChanged() {
    if (!PlayerState.PlayerReady || PlayerState.DvdMode || !PlayerState.FilterIniFile) return;
    PlayerState.FilterIniFile->WriteInteger("Brightness", "Value", TrackBrightness->Value());
}

// These handlers do nothing yet.

void TFormQuelm::TrackProgressChange() {}

void TFormQuelm::TrackProgressChanged() {}

void TFormQuelm::DvDTimerTimer() {}

void TFormQuelm::TrackSpeedChange() {}

void TFormQuelm::TrackSpeedChanged() {}

void TFormQuelm::TrackBrightnessMouseUp() {}

void TFormQuelm::TrackVolumeChange() {}

void TFormQuelm::TrackVolumeChanged() {}

void TFormQuelm::TrackBrightnessChange() {}

void TFormQuelm::ColorTimerTimer() {}

void TFormQuelm::btnControlsClick() {}

void TFormQuelm::mnVideoEQClick() {}

void TFormQuelm::mnAudioEQClick() {}

void TFormQuelm::mnSetDefaultClick() {}
