#include "video/VideoWindow.h"

#include <gst/gst.h>

#include <QGuiApplication>
#include <algorithm>

#include "video/EVRVideoWindow.h"

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

TVideoWindow::TVideoWindow(QWidget* parent) : TRendererWindow(parent) {}

TVideoWindow::~TVideoWindow() {
    LeaveGraph();
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

GstElement* TVideoWindow::MakeRenderer(const char* name, GstElement*& sink) {
    if (QGuiApplication::platformName() == "xcb")
        return MakeScaledRenderer(name, RendererFactoryName(FMode == vmVMR ? vdmVMR : vdmNormal),
                                  sink, &FCrop);
    // Without an X display a null renderer keeps the graph running.
    return sink = gst_element_factory_make("fakesink", name);
}

void TVideoWindow::ConfigureRenderer() {
    EmbedRenderer(RendererSink());
    if (!RendererFilter()) return;
    const bool keep = FMode == vmVMR && FVMROptions.KeepAspectRatio();
    SetIfPresent(RendererSink(), "force-aspect-ratio", keep);
    ApplyDigitalZoom();
    UpdateVideoPosition();
}

void TVideoWindow::ReleaseRenderer() {
    TRendererWindow::ReleaseRenderer();
    FCrop = nullptr;
}

void TVideoWindow::ControlEvent(TControlEvent event, intptr_t) {
    switch (event) {
        case cePlay:
            UpdateVideoPosition();
            break;
        case ceDVDRendered:
            AdoptPipelineRenderer();
            break;
        default:
            break;
    }
}

// The pipeline may show the picture through an X image sink of its own choosing rather than
// ours: that one is taken over and drawn into our window.
void TVideoWindow::AdoptPipelineRenderer() {
    GstElement* pipeline = FilterGraph() ? FilterGraph()->Pipeline() : nullptr;
    if (!pipeline || (RendererFilter() && InPipeline(RendererFilter(), pipeline))) return;
    GstElement* found = FindByFactory(GST_BIN(pipeline), "ximagesink");
    if (!found) return;
    AdoptRenderer(found);
    UpdateVideoPosition();
}

// A new picture size or render device: the crop follows the picture.
void TVideoWindow::PictureChanged(int32_t code) {
    if (code == EC_VIDEO_SIZE_CHANGED || code == kRenderDeviceSet) ApplyDigitalZoom();
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
    if (!RendererSink() || FFullScreen) return;
    PlaceSurface(QRect(0, FZoomOffsetY, width(), height() + FZoomExtraY));
}

void TVideoWindow::ZoomPicture(int32_t amount, bool enable, bool verticalOnly) {
    if (enable && verticalOnly) {
        FZoomExtraY = amount;
        FZoomOffsetY = -(amount / 2);
        UpdateVideoPosition();
    } else if (enable) {
        SetDigitalZoom(std::min(amount, kMaxWheelDigitalZoom));
    } else {
        FZoomExtraY = 0;
        FZoomOffsetY = 0;
        if (!TakeResetTurn()) return;
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
