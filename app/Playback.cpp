// Playback control: the ready step, the Play, Pause and Stop buttons.
#include "app/Main.h"
#include "app/PlayerState.h"

// The first tick after start-up: from here on the controls act. It fires once.
void TFormQuelm::ReadyTimerTimer() {
    PlayerState.PlayerReady = true;
    ReadyTimer.SetEnabled(false);
    PlayCommandLineFile();
}

// These handlers do nothing yet.

void TFormQuelm::PlayCommandLineFile() {}

void TFormQuelm::BtnPlayClick() {}

void TFormQuelm::BtnPauseClick() {}

void TFormQuelm::BtnStopClick() {}
