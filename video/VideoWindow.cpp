#include "video/VideoWindow.h"

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <QGuiApplication>
#include <algorithm>

#include "graph/DirectShowErrors.h"
#include "video/EVRVideoWindow.h"

int32_t VideoWindowZoomOffsetY = 0;
int32_t VideoWindowResetParity = 0;

namespace {

constexpr int kMaxDigitalZoom = 99;
constexpr int kMaxWheelDigitalZoom = 50;

bool IsFactory(GstElement* element, const char* factory) {
    GstElementFactory* made = gst_element_get_factory(element);
    return made && g_strcmp0(GST_OBJECT_NAME(made), factory) == 0;
}

// The first element of the factory in the bin, depth first; a new reference or null.
GstElement* FindByFactory(GstBin* bin, const char* factory) {
    GstElement* found = nullptr;
    GstIterator* items = gst_bin_iterate_recurse(bin);
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(items, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (IsFactory(element, factory)) found = GST_ELEMENT(gst_object_ref(element));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(items);
    return found;
}

// Whether the element is (inside) the pipeline.
bool InPipeline(GstElement* element, GstElement* pipeline) {
    for (GstObject* parent = GST_OBJECT_PARENT(element); parent; parent = GST_OBJECT_PARENT(parent))
        if (parent == GST_OBJECT(pipeline)) return true;
    return false;
}

}  // namespace

QRect DigitalZoomRect(const QSize& picture, int zoom) {
    const double width = picture.width(), height = picture.height();
    if (width <= 0 || height <= 0) return QRect(QPoint(0, 0), picture);
    const int newWidth = static_cast<int>(width - width * zoom / 100);
    const int newHeight = static_cast<int>(newWidth * height / width);
    const int left = static_cast<int>((width - newWidth) / 2);
    const int top = static_cast<int>((height - newHeight) / 2);
    return QRect(left, top, newWidth, newHeight);
}

// ---- Options ----

void TVMROptions::SetMode(TVMRMode value) {
    FMode = value;
    Changed();
}

void TVMROptions::SetStreams(int value) {
    FStreams = value >= 1 && value <= 16 ? value : 1;
    Changed();
}

void TVMROptions::SetPreferences(uint32_t value) {
    FPreferences = value;
    Changed();
}

void TVMROptions::Changed() {
    if (FOwner->Mode() == vmVMR) FOwner->Refresh();
}

// ---- The window ----

TVideoWindow::TVideoWindow(QWidget* parent) : TVideoControl(parent) {}

TVideoWindow::~TVideoWindow() {
    SetFilterGraph(nullptr);
    ReleaseRenderer();
}

_GstElement* TVideoWindow::GetFilter() {
    return FAdopted ? nullptr : FRendererFilter;
}

void TVideoWindow::SetMode(TVideoMode value) {
    if (value == vmVMR && !RendererCreatable(vdmVMR)) value = vmNormal;
    FMode = value;
    Refresh();
}

void TVideoWindow::Refresh() {
    TFilterGraph* graph = FilterGraph();
    if (!graph || !graph->Active()) return;
    graph->RemoveFilter(this);
    graph->InsertFilter(this);
}

void TVideoWindow::SetDigitalZoom(int value) {
    FDigitalZoom = std::clamp(value, 0, kMaxDigitalZoom);
    ApplyDigitalZoom();
}

void TVideoWindow::NotifyFilter(TFilterOperation operation) {
    switch (operation) {
        case foAdding:
            CreateRenderer();
            break;
        case foAdded:
            ConfigureRenderer();
            break;
        case foRemoving:
            if (FRendererFilter && !FAdopted &&
                gst_element_set_state(FRendererFilter, GST_STATE_NULL) == GST_STATE_CHANGE_FAILURE)
                DShowCheck(VFW_E_WRONG_STATE);
            break;
        case foRemoved:
            ReleaseRenderer();
            break;
        case foRefresh:
            break;
    }
}

void TVideoWindow::CreateRenderer() {
    ReleaseRenderer();
    const std::string name = GetName();
    const char* elementName = name.empty() ? nullptr : name.c_str();
    if (QGuiApplication::platformName() == "xcb")
        FRendererFilter = MakeScaledRenderer(
            elementName, RendererFactoryName(FMode == vmVMR ? vdmVMR : vdmNormal), FRendererSink,
            &FCrop);
    else  // without an X display a null renderer keeps the graph running
        FRendererFilter = FRendererSink = gst_element_factory_make("fakesink", elementName);
    if (!FRendererFilter) return;
    gst_object_ref_sink(FRendererFilter);
    // Our window takes the mouse; the DVD hears of it from our handlers.
    SetIfPresent(FRendererSink, "handle-events", false);
}

void TVideoWindow::ConfigureRenderer() {
    EmbedRenderer(FRendererSink);
    if (!FRendererFilter) return;
    const bool keep = FMode == vmVMR && FVMROptions.KeepAspectRatio();
    SetIfPresent(FRendererSink, "force-aspect-ratio", keep);
    ApplyDigitalZoom();
    UpdateVideoPosition();
}

void TVideoWindow::ReleaseRenderer() {
    ReleaseSurface();
    if (FRendererFilter) gst_object_unref(FRendererFilter);
    FRendererFilter = FRendererSink = FCrop = nullptr;
    FAdopted = false;
}

void TVideoWindow::ControlEvent(TControlEvent event, intptr_t) {
    switch (event) {
        case cePlay:
            UpdateVideoPosition();
            break;
        case ceDVDRendered:
            AdoptRenderer();
            break;
        default:
            break;
    }
}

// The pipeline may show the picture through an X image sink of its own choosing rather than
// ours: that one is taken over and drawn into our window.
void TVideoWindow::AdoptRenderer() {
    GstElement* pipeline = FilterGraph() ? FilterGraph()->Pipeline() : nullptr;
    if (!pipeline || (FRendererFilter && InPipeline(FRendererFilter, pipeline))) return;
    GstElement* found = FindByFactory(GST_BIN(pipeline), "ximagesink");
    if (!found) return;
    ReleaseRenderer();
    FRendererFilter = FRendererSink = found;
    FAdopted = true;
    SetIfPresent(FRendererSink, "handle-events", false);
    EmbedRenderer(FRendererSink);
    UpdateVideoPosition();
}

void TVideoWindow::GraphEvent(int32_t code, intptr_t, intptr_t) {
    constexpr int32_t kPaletteChanged = 9;
    constexpr int32_t kRenderDeviceSet = 83;
    if (code == EC_VIDEO_SIZE_CHANGED || code == kRenderDeviceSet) ApplyDigitalZoom();
    if (code == EC_VIDEO_SIZE_CHANGED || code == kPaletteChanged || code == kRenderDeviceSet)
        UpdateVideoPosition();
}

bool TVideoWindow::NativeSize(QSize& size) const {
    IBasicVideo* video = FilterGraph() ? FilterGraph()->BasicVideo() : nullptr;
    int width = 0, height = 0;
    if (!video || FAILED(video->GetVideoSize(width, height))) return false;
    size = QSize(width, height);
    return true;
}

void TVideoWindow::ApplyDigitalZoom() {
    QSize picture;
    if (!FCrop || !NativeSize(picture)) return;
    const QRect shown = DigitalZoomRect(picture, FDigitalZoom);
    g_object_set(FCrop, "left", shown.left(), "top", shown.top(), "right",
                 picture.width() - shown.right() - 1, "bottom",
                 picture.height() - shown.bottom() - 1, nullptr);
}

void TVideoWindow::UpdateVideoPosition() {
    if (!FRendererSink || FFullScreen) return;
    PlaceSurface(QRect(0, VideoWindowZoomOffsetY, width(), height() + ZoomExtraY));
}

void TVideoWindow::Expose() {
    if (FRendererSink && GST_IS_VIDEO_OVERLAY(FRendererSink))
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(FRendererSink));
}

void TVideoWindow::Resize() {
    TVideoControl::Resize();
    UpdateVideoPosition();
}

void TVideoWindow::ZoomPicture(int32_t amount, bool enable, bool verticalOnly) {
    if (enable && verticalOnly) {
        ZoomExtraY = amount;
        VideoWindowZoomOffsetY = -(amount / 2);
        UpdateVideoPosition();
    } else if (enable) {
        SetDigitalZoom(std::min(amount, kMaxWheelDigitalZoom));
    } else {
        ZoomExtraY = 0;
        VideoWindowZoomOffsetY = 0;
        if (!TakeResetTurn(VideoWindowResetParity)) return;
        UpdateVideoPosition();
        SetDigitalZoom(0);
    }
}

bool TVideoWindow::PicturePoint(const QPoint& at, QPoint& picture) const {
    QSize native;
    if (!NativeSize(native)) return false;
    const QRect surface = VideoSurface()->geometry();
    if (surface.width() <= 0 || surface.height() <= 0) return false;
    const QRect shown = FCrop ? DigitalZoomRect(native, FDigitalZoom) : QRect(QPoint(), native);
    const QPoint inside = at - surface.topLeft();
    picture = QPoint(shown.left() + inside.x() * shown.width() / surface.width(),
                     shown.top() + inside.y() * shown.height() / surface.height());
    return true;
}
