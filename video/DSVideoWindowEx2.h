#pragma once
// TDSVideoWindowEx2: the overlay-mixer window of the DVD graph. It joins the graph component
// as member and listener behind the classic video window, which shows the picture; the
// pipeline needs no overlay mixer, so this window brings no renderer of its own.

#include "video/VideoControl.h"

class TDSVideoWindowEx2 : public TVideoControl {
  public:
    explicit TDSVideoWindowEx2(QWidget* parent = nullptr);
    // Leaves the graph component while it is still this window the graph notifies.
    ~TDSVideoWindowEx2() override;

    // IGraphMember: no filter, so the graph adds nothing for this window.
    _GstElement* GetFilter() override { return nullptr; }
    void NotifyFilter(TFilterOperation) override {}
    // IGraphListener: nothing to place.
    void GraphEvent(int32_t, intptr_t, intptr_t) override {}
    void ControlEvent(TControlEvent, intptr_t) override {}
};
