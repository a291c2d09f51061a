#include "video/RendererWindow.h"

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <string>

#include "graph/DirectShowErrors.h"

TRendererWindow::TRendererWindow(QWidget* parent) : TVideoControl(parent) {}

void TRendererWindow::LeaveGraph() {
    SetFilterGraph(nullptr);
    ReleaseRenderer();
}

_GstElement* TRendererWindow::GetFilter() {
    return FAdopted ? nullptr : FRendererFilter;
}

void TRendererWindow::NotifyFilter(TFilterOperation operation) {
    switch (operation) {
        case foAdding:
            CreateRenderer();
            break;
        case foAdded:
            ConfigureRenderer();
            break;
        case foRemoving:
            StopRenderer();
            break;
        case foRemoved:
            ReleaseRenderer();
            break;
        case foRefresh:
            break;
    }
}

void TRendererWindow::CreateRenderer() {
    ReleaseRenderer();
    const std::string name = GetName();
    FRendererFilter = MakeRenderer(name.empty() ? nullptr : name.c_str(), FRendererSink);
    if (!FRendererFilter) {
        FRendererSink = nullptr;
        return;
    }
    gst_object_ref_sink(FRendererFilter);
    SetIfPresent(FRendererSink, "handle-events", false);  // the window handles the mouse
    RendererMade();
}

void TRendererWindow::StopRenderer() {
    if (!FRendererFilter || FAdopted || !StopsRenderer()) return;
    if (gst_element_set_state(FRendererFilter, GST_STATE_NULL) == GST_STATE_CHANGE_FAILURE)
        DShowCheck(VFW_E_WRONG_STATE);
}

void TRendererWindow::ReleaseRenderer() {
    ReleaseSurface();
    if (FRendererFilter) gst_object_unref(FRendererFilter);
    FRendererFilter = FRendererSink = nullptr;
    FAdopted = false;
}

void TRendererWindow::AdoptRenderer(_GstElement* renderer) {
    ReleaseRenderer();
    FRendererFilter = FRendererSink = renderer;
    FAdopted = true;
    SetIfPresent(FRendererSink, "handle-events", false);
    EmbedRenderer(FRendererSink);
}

void TRendererWindow::GraphEvent(int32_t code, intptr_t, intptr_t) {
    if (code != EC_VIDEO_SIZE_CHANGED && code != kPaletteChanged && code != kRenderDeviceSet)
        return;
    PictureChanged(code);
    UpdateVideoPosition();
}

bool TRendererWindow::TakeResetTurn() {
    if (FZoomResetParity < 1) {
        ++FZoomResetParity;
        return true;
    }
    FZoomResetParity = 0;
    return false;
}

void TRendererWindow::Expose() {
    if (_GstVideoOverlay* overlay = EmbeddedRenderer()) gst_video_overlay_expose(overlay);
}

void TRendererWindow::Resize() {
    TVideoControl::Resize();
    UpdateVideoPosition();
}
