// The keys every player knows, and the commands they share with the desktop's player controls:
// play or pause, seeks, the neighbouring rows, the volume and its mute.
#include <QKeyEvent>
#include <algorithm>

#include "app/Main.h"
#include "app/PlayerState.h"

namespace {

constexpr int64_t kUnitsPerMs = 10000;  // 100-ns units
constexpr int64_t kShortSeekMs = 5000;
constexpr int64_t kLongSeekMs = 60000;
constexpr int kNoticeMs = 2000;

DVD_RELATIVE_BUTTON ButtonDirection(int key) {
    switch (key) {
        case Qt::Key_Up: return DVD_Relative_Upper;
        case Qt::Key_Down: return DVD_Relative_Lower;
        case Qt::Key_Left: return DVD_Relative_Left;
        default: return DVD_Relative_Right;
    }
}

bool IsArrow(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
}

}  // namespace

TPlaybackStatus TFormQuelm::PlaybackStatus() const {
    switch (FG.State()) {
        case gsRunning: return psPlaying;
        case gsPaused: return PausedByUser() ? psPaused : psStopped;
        default: return psStopped;
    }
}

void TFormQuelm::PlayOrPause() {
    if (PlaybackStatus() == psStopped)
        BtnPlayClick();
    else
        BtnPauseClick();
}

int64_t TFormQuelm::PositionMs() {
    IMediaSeeking* seeking = FG.MediaSeeking();
    int64_t position = 0;
    if (!seeking || FAILED(seeking->GetCurrentPosition(position))) return 0;
    return position / kUnitsPerMs;
}

int64_t TFormQuelm::DurationMs() {
    IMediaSeeking* seeking = FG.MediaSeeking();
    int64_t duration = 0;
    if (!seeking || FAILED(seeking->GetDuration(duration))) return 0;
    return duration / kUnitsPerMs;
}

// The slider and the time text follow at once rather than at the next second's tick.
void TFormQuelm::SeekTo(int64_t positionMs) {
    IMediaSeeking* seeking = FG.MediaSeeking();
    if (!seeking || PlayerState.DvdMode) return;
    const int64_t duration = DurationMs();
    const int64_t target = std::clamp<int64_t>(positionMs, 0, std::max<int64_t>(duration - 1, 0));
    seeking->SetPositions(target * kUnitsPerMs, -1);
    TrackProgress->PositionTick();
}

void TFormQuelm::SeekBy(int64_t deltaMs) {
    SeekTo(PositionMs() + deltaMs);
}

int TFormQuelm::NeighbourRow(int step) const {
    const int current = SelectedRow() >= 0 ? SelectedRow() : PlayerState.LastListIndex;
    const int index = current + step;
    return index >= 0 && index < RowCount() ? index : -1;
}

void TFormQuelm::PlayNeighbourRow(int step) {
    const int index = NeighbourRow(step);
    if (index < 0) return;
    SelectRow(index);
    LvVideoSourceClick();
}

// The slider moves; its change handler gives the graph the new volume.
void TFormQuelm::StepVolume(int tenths) {
    SetVolumeLevel(TrackVolume->Value() + tenths * TrackVolume->MaxValue() / 10);
    ShowNotice("Volume " + std::to_string(TrackVolume->Value() * 100 / TrackVolume->MaxValue()) + "%",
               kNoticeMs);
}

// The sound comes back after a mute.
void TFormQuelm::SetVolumeLevel(int value) {
    FMuted = false;
    TrackVolume->SetValue(std::clamp(value, 0, TrackVolume->MaxValue()));
    ApplyVolume();
}

void TFormQuelm::ToggleMute() {
    FMuted = !FMuted;
    ApplyVolume();
    ShowNotice(FMuted ? "Sound off" : "Sound on", kNoticeMs);
}

void TFormQuelm::ApplyVolume() {
    if (PlayerState.PlayerReady) FG.SetVolume(FMuted ? 0 : TrackVolume->Value());
    DesktopControlsChanged();
}

bool TFormQuelm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (PlayerState.DvdMode && (IsArrow(key) || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        RunDvdCommand([key](IDvdControl2& dvd) {
            if (IsArrow(key))
                dvd.SelectRelativeButton(ButtonDirection(key));
            else
                dvd.ActivateButton();
        });
        return true;
    }
    const int64_t seek = modifiers & Qt::ShiftModifier ? kLongSeekMs : kShortSeekMs;
    switch (key) {
        case Qt::Key_Space: PlayOrPause(); break;
        case Qt::Key_Left: SeekBy(-seek); break;
        case Qt::Key_Right: SeekBy(seek); break;
        case Qt::Key_Home: SeekTo(0); break;
        case Qt::Key_Up: StepVolume(1); break;
        case Qt::Key_Down: StepVolume(-1); break;
        case Qt::Key_PageUp: PlayNeighbourRow(-1); break;
        case Qt::Key_PageDown: PlayNeighbourRow(1); break;
        case Qt::Key_F: Fullscreen1Click(); break;
        case Qt::Key_M: ToggleMute(); break;
        default: return false;
    }
    return true;
}
