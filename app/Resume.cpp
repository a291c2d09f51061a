// Resuming a file where its user left it, and the notices shown over the picture for a while
// instead of the time.
#include "app/Main.h"
#include "app/PlayerState.h"
#include "desktop/FunctionMix.h"
#include "desktop/ResumePositions.h"

namespace {

constexpr int kResumedNoticeMs = 3000;

}  // namespace

void TFormQuelm::GraphEvent(int32_t, intptr_t, intptr_t) {}

// A stop comes before the graph leaves its place in the file.
void TFormQuelm::ControlEvent(TControlEvent event, intptr_t) {
    if (event == ceStop) KeepResumePosition();
    DesktopControlsChanged();
}

TResumePositions& TFormQuelm::ResumePositions() {
    if (!FResumePositions)
        FResumePositions = std::make_unique<TResumePositions>(ProgramFolder() + "Resume.txt");
    return *FResumePositions;
}

// DVDs are not resumed; the file is of the last open and stands where it was stopped.
void TFormQuelm::KeepResumePosition() {
    if (!mnResume->isChecked() || FOpenedPath.empty() || FG.Mode() == gmDVD ||
        FG.State() == gsStopped)
        return;
    ResumePositions().Keep(FOpenedPath, PositionMs(), DurationMs());
}

void TFormQuelm::ResumeWhereLeft(const std::string& path) {
    int64_t positionMs = 0;
    if (!mnResume->isChecked() || !ResumePositions().Take(path, DurationMs(), positionMs)) return;
    SeekTo(positionMs);
    ShowNotice("Resumed at " + ClockText(positionMs / 1000), kResumedNoticeMs);
}

void TFormQuelm::ShowNotice(const std::string& text, int ms) {
    FNoticeEnd.setRemainingTime(ms);
    ShowOverlayText(text);
}
