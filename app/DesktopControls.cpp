// The desktop's controls of the player: media keys, the desktop's player widgets and
// `playerctl` reach the window's own handlers through the MPRIS service, and hear from the
// window what plays.
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/Main.h"
#include "app/PlayerState.h"

namespace {

constexpr int kNormalSpeed = 2;        // the speed slider's value that plays at rate 1

TMprisStatus MprisStatus(TPlaybackStatus status) {
    switch (status) {
        case psPlaying: return msPlaying;
        case psPaused: return msPaused;
        case psStopped: break;
    }
    return msStopped;
}

}  // namespace

void TFormQuelm::StartDesktopControls() {
    auto guarded = [this](auto step) {
        return [this, step](auto... arguments) {
            Guard(this, [&] { (this->*step)(arguments...); });
        };
    };
    TMprisCommands commands;
    commands.State = [this] { return DesktopState(); };
    commands.Raise = guarded(&TFormQuelm::RaiseWindow);
    commands.Quit = guarded(&TFormQuelm::btnExitClick);
    commands.PlayPause = guarded(&TFormQuelm::PlayOrPause);
    commands.Stop = guarded(&TFormQuelm::BtnStopClick);
    commands.PlayNeighbour = guarded(&TFormQuelm::PlayNeighbourRow);
    commands.SeekTo = [this](int64_t positionUs) {
        Guard(this, [&] { SeekTo(positionUs / 1000); });
    };
    commands.OpenFile = guarded(&TFormQuelm::DesktopOpenFile);
    commands.SetVolume = guarded(&TFormQuelm::DesktopSetVolume);
    commands.SetRate = guarded(&TFormQuelm::DesktopSetRate);
    auto service = std::make_unique<TMprisService>(std::move(commands));
    if (service->Register()) FDesktopControls = std::move(service);
}

void TFormQuelm::EndDesktopControls() {
    FDesktopControls.reset();
}

void TFormQuelm::DesktopControlsChanged() {
    if (FDesktopControls) FDesktopControls->StateChanged();
}

TMprisState TFormQuelm::DesktopState() {
    TMprisState state;
    state.Status = MprisStatus(PlaybackStatus());
    state.PositionUs = PositionMs() * 1000;
    state.LengthUs = DurationMs() * 1000;
    state.CanSeek = state.LengthUs > 0 && !PlayerState.DvdMode;
    // A DVD is opened by its playlist row; OpenMediaFile does not see it.
    const std::string& path = PlayerState.DvdMode ? PlayerState.MediaPath : FOpenedPath;
    if (FG.Active() && !path.empty()) {
        state.Url = QUrl::fromLocalFile(QString::fromStdString(path)).toString().toStdString();
        state.Title = PlayerState.MediaName;
    }
    state.Volume = FMuted ? 0 : double(TrackVolume->Value()) / TrackVolume->MaxValue();
    state.Rate = FG.Rate();
    state.CanGoNext = NeighbourRow(1) >= 0;
    state.CanGoPrevious = NeighbourRow(-1) >= 0;
    state.CanPlay = RowCount() > 0 || !PlayerState.CommandLineFile.empty() || FG.Active();
    return state;
}

void TFormQuelm::RaiseWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

// A file the desktop hands over plays as one given on the command line.
void TFormQuelm::DesktopOpenFile(const std::string& path) {
    PlayerState.CommandLineFile = path;
    PlayCommandLineFile();
}

void TFormQuelm::DesktopSetVolume(double volume) {
    SetVolumeLevel(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * TrackVolume->MaxValue())));
}

// The speed slider only slows down: rate r is its value 2 / r, applied as a release of it.
void TFormQuelm::DesktopSetRate(double rate) {
    if (PlayerState.DvdMode) return;
    const int value = static_cast<int>(std::lround(kNormalSpeed / rate));
    TrackSpeed->SetValue(std::max(kNormalSpeed, value));
    TrackSpeedChanged();
}
