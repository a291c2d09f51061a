#include "video/DSTrackBar.h"

#include <QEvent>
#include <QMouseEvent>
#include <algorithm>
#include <climits>

namespace {

constexpr int64_t kUnitsPerMs = 10000;  // 100-ns units

// Whole seconds of a millisecond count, as a slider value.
int WholeSeconds(int64_t ms) {
    return static_cast<int>(std::clamp<int64_t>(ms / 1000, INT_MIN, INT_MAX));
}

// stop * value / maximum in 64-bit integers, split so that a long stop cannot overflow the
// product: the quotient is the same as the plain formula's wherever that one fits.
int64_t ScaledPosition(int64_t stop, int value, int maximum) {
    return stop / maximum * value + stop % maximum * value / maximum;
}

}  // namespace

TDSTrackBar::TDSTrackBar(QWidget* parent) : TRxSlider(parent) {
    FTimer.setInterval(FTimerInterval);
    connect(&FTimer, &QTimer::timeout, this, &TDSTrackBar::PositionTick);
}

TDSTrackBar::~TDSTrackBar() {
    SetFilterGraph(nullptr);
}

void TDSTrackBar::SetFilterGraph(TFilterGraph* graph) {
    if (graph == FFilterGraph) return;
    if (FFilterGraph) FFilterGraph->RemoveEventNotifier(this);
    FFilterGraph = graph;
    if (FFilterGraph) FFilterGraph->InsertEventNotifier(this);
    // The old graph's interface is no longer ours to call.
    SetMediaSeeking(FFilterGraph ? FFilterGraph->MediaSeeking() : nullptr);
    if (!FMediaSeeking) FTimer.stop();
}

void TDSTrackBar::SetTimerInterval(int ms) {
    FTimerInterval = ms;
    if (ms > 0)
        FTimer.setInterval(ms);
    else
        FTimer.stop();
}

void TDSTrackBar::SetMediaSeeking(IMediaSeeking* seeking) {
    FMediaSeeking = seeking;
}

void TDSTrackBar::StartTimer() {
    if (isEnabled() && FTimerInterval > 0) FTimer.start();
}

void TDSTrackBar::ControlEvent(TControlEvent event, intptr_t param) {
    switch (event) {
        case cePlay:
            StartTimer();
            break;
        case cePause:
            // Once more: paused before the first tick, the time shown would be the last file's.
            FTimer.stop();
            PositionTick();
            break;
        case ceStop:
            FTimer.stop();
            break;
        case ceActive:
            if (param == 1 && FFilterGraph) {
                SetMediaSeeking(FFilterGraph->MediaSeeking());
            } else if (param == 0) {
                SetMediaSeeking(nullptr);
                FTimer.stop();
            }
            break;
        default:
            break;
    }
}

bool TDSTrackBar::DvdGraph() const {
    return FFilterGraph && FFilterGraph->Mode() == gmDVD;
}

// A new clock means the stream starts over: back to its beginning, the stop kept.
void TDSTrackBar::GraphEvent(int32_t code, intptr_t, intptr_t) {
    if (code == EC_CLOCK_CHANGED && FMediaSeeking && !DvdGraph())
        FMediaSeeking->SetPositions(0, -1);
}

void TDSTrackBar::PositionTick() {
    if (FMouseHeld || !FMediaSeeking || DvdGraph()) return;
    int64_t duration = 0, position = 0;
    if (FAILED(FMediaSeeking->GetDuration(duration))) return;
    if (FAILED(FMediaSeeking->GetCurrentPosition(position))) return;
    const int64_t durationMs = duration / kUnitsPerMs;
    const int64_t positionMs = position / kUnitsPerMs;
    // Under a second the maximum would be 0, which the slider refuses: the old one stays.
    SetMinValue(0);
    SetMaxValue(WholeSeconds(durationMs));
    SetValue(WholeSeconds(positionMs));
    if (OnTimer) OnTimer(this, positionMs, durationMs);
}

void TDSTrackBar::SeekToValue() {
    if (!FMediaSeeking || MaxValue() == 0 || DvdGraph()) return;
    int64_t stop = 0;
    if (FAILED(FMediaSeeking->GetStopPosition(stop)) || stop < 0) return;
    FMediaSeeking->SetPositions(ScaledPosition(stop, Value(), MaxValue()), -1);
}

void TDSTrackBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) FMouseHeld = true;
    TRxSlider::mousePressEvent(event);
}

// The slider has its value from the press and the drag already; the base ends the action
// (OnChanged, OnMouseUp) and the seek follows with that value.
void TDSTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    TRxSlider::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !FMouseHeld) return;
    SeekToValue();
    FMouseHeld = false;
}

// A slider disabled under the pointer never sees the release: without this the ticks would
// stay off for good.
void TDSTrackBar::changeEvent(QEvent* event) {
    TRxSlider::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled()) FMouseHeld = false;
}
