// Opening media files: a new graph for each file, the filter chain its name calls for, the
// rest of the open once the file has prerolled, and the list of the filters that ended up in
// the graph.
#include <QString>

#include "adjust/FilterSettings.h"
#include "app/Main.h"
#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"
#include "graph/BluRaySource.h"
#include "graph/DirectShowErrors.h"
#include "pattern/Pattern.h"
#include "platform/ScreenSaver.h"

namespace {

// Windows Media and MPEG files decode without the ffdshow video decoder; their picture goes
// through the raw video filter instead.
const char* const kWindowsMediaOrMpeg = "(?i).wmv$|.asf$|.mpg$|.mpeg$";
// Filter names the used-filters list shows at most, in characters.
constexpr int kFilterNameLength = 128;
// A file that ends sooner than this after it began to play (a header without any data) is
// not played over and over: the loops take it for one that cannot be played.
constexpr int kEndsAtOnceMs = 250;

}  // namespace

void TFormQuelm::OpenMediaFile(const std::string& path, std::function<void()> failed) {
    if (path != FOpenedPath) KeepResumePosition();
    FOpenedPath = path;
    FOpenDone = nullptr;  // an open under way is superseded
    NoteChoicesAtOpen();
    // Down first: the mode and member changes below then build nothing, and the open makes
    // one pipeline.
    FG.SetActive(false);
    PlayerState.DvdMode = false;
    FG.SetMode(gmNormal);
    // The first renderer among the members shows the picture: the DVD's windows leave, or
    // the file would play into the hidden DVD window.
    VideoWindow1->SetFilterGraph(nullptr);
    DSVideoWindowEx1->SetFilterGraph(nullptr);
    EVRVideoWindow1->SetFilterGraph(&FG);
    EVRVideoWindow1->SetMode(vdmEVR);
    ShowVideoWindow();
    // With the option checked the chain of an earlier open stays in the members.
    if (!mnNoFilters->isChecked()) {
        RemoveFilterChain();
        FG.InsertFilter(&FilterAudioEQGraphic);
        const bool windowsMediaOrMpeg = MatchesPattern(kWindowsMediaOrMpeg, path);
        if (!windowsMediaOrMpeg) FG.InsertFilter(&FilterFFdshow);
        if (windowsMediaOrMpeg) {
            FG.InsertFilter(&FilterffdshowAudioProcessor);
            FG.InsertFilter(&FilterRawffdshow);
        }
        // Blu-ray playlists are sharp enough as they come.
        SetFfdshowSharpen(IsBluRayPlaylistPath(path) ? 0 : 1);
    }
    FG.SetActive(true);
    FG.RenderFile(path);
    FOpenDone = [this, path, failed = std::move(failed)](HRESULT result) {
        if (SUCCEEDED(result)) return FinishMediaOpen(path);
        if (failed) failed();
        throw EDirectShowException(result);
    };
}

void TFormQuelm::FinishMediaOpen(const std::string& path) {
    FFailedInARow = 0;
    FPlayedAWhile.setRemainingTime(kEndsAtOnceMs);
    ResumeWhereLeft(path);
    PlayUnlessPausedDuringOpen();
    FG.SetRate(RateAfterOpen());
    SetScreenSaverActive(false);
    if (!mnNoFilters->isChecked()) WriteUsedFilters(OpenErrorForm()->MemoError);
    ColorTimer.SetEnabled(true);
    StartOverlay();
}

void TFormQuelm::NoteChoicesAtOpen() {
    FChoicesAtOpen = {PausedByUser(), TrackSpeed->Value()};
}

void TFormQuelm::PlayUnlessPausedDuringOpen() {
    // Paused once more now that the file is known, so that its time and picture show paused.
    if (PausedByUser() && !FChoicesAtOpen.Paused) {
        FG.Pause();
        return;
    }
    FG.Play();
}

// An open plays at normal speed unless the slider was moved while it prerolled.
double TFormQuelm::RateAfterOpen() const {
    return TrackSpeed->Value() != FChoicesAtOpen.Speed ? SpeedSliderRate() : 1.0;
}

void TFormQuelm::RemoveFilterChain() {
    for (TFilter* filter : {&FilterAudioEQGraphic, &RawFilter1, &FilterffdshowAudioProcessor,
                            &BrightnessFilter, &FilterFFdshow, &FilterRawffdshow})
        FG.RemoveFilter(filter);
}

void TFormQuelm::WriteUsedFilters(QPlainTextEdit* memo) {
    if (!memo) return;
    memo->clear();
    memo->appendPlainText("Used Filters for this run:");
    for (const std::string& name : FG.FilterNames())
        memo->appendPlainText(QString::fromStdString(name).left(kFilterNameLength));
}

// The item's check flips with the click; the next open reads it.
void TFormQuelm::mnNoFiltersClick() {}
