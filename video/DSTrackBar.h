#pragma once
// TDSTrackBar: the progress slider bound to a graph component. While the graph plays, a
// timer of the slider shows the position in whole seconds and reports it in milliseconds;
// releasing the left button on the slider seeks to the released value. On a DVD graph the
// slider counts the DVD's seconds, which the player sets and seeks itself: no ticks, no seeks.

#include <QTimer>
#include <cstdint>
#include <functional>

#include "components/RXSlider.h"
#include "graph/FilterGraph.h"

class TDSTrackBar : public TRxSlider, public IGraphListener {
  public:
    explicit TDSTrackBar(QWidget* parent = nullptr);
    // Leaves its graph component, which must outlive it or be unset first.
    ~TDSTrackBar() override;

    TFilterGraph* FilterGraph() const { return FFilterGraph; }
    // Stops listening to the old graph component and listens to the new one; an active one
    // lends its seeking interface at once.
    void SetFilterGraph(TFilterGraph* graph);

    // Milliseconds between position ticks; 0 or less means no ticks, as with any timer.
    int TimerInterval() const { return FTimerInterval; }
    void SetTimerInterval(int ms);

    // The seeking interface of the active graph, or null.
    IMediaSeeking* MediaSeeking() const { return FMediaSeeking; }
    bool TimerRunning() const { return FTimer.isActive(); }
    // Set from a left-button press on the slider until its release.
    bool MouseHeld() const { return FMouseHeld; }

    // IGraphListener
    void GraphEvent(int32_t code, intptr_t param1, intptr_t param2) override;
    void ControlEvent(TControlEvent event, intptr_t param) override;

    // Reads the position now, as a tick does: after a seek made elsewhere.
    void PositionTick();

    // Each tick that read the position: (this, position, duration), in milliseconds.
    std::function<void(QObject* sender, int64_t currentPosMs, int64_t stopPosMs)> OnTimer;

  protected:
    // Where ticks and seeks go; the graph's activation and deactivation set it.
    void SetMediaSeeking(IMediaSeeking* seeking);
    void SeekToValue();

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void StartTimer();
    bool DvdGraph() const;

    TFilterGraph* FFilterGraph = nullptr;
    IMediaSeeking* FMediaSeeking = nullptr;
    int FTimerInterval = 1000;
    QTimer FTimer;
    bool FMouseHeld = false;
};
