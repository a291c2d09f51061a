#include "video/VideoControl.h"

#include <gst/gst.h>
#include <gst/video/videooverlay.h>
#include <xcb/xcb.h>

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <chrono>

#include "desktop/FunctionMix.h"
#include "graph/ShownSize.h"

namespace {

constexpr int kPointerTimerMs = 500;

// After a caps query has been answered by the renderer: any picture size, so the pipeline's
// scaler leaves the stream at its native size and ours does the stretching.
GstPadProbeReturn AnySizeAnswer(GstPad*, GstPadProbeInfo* info, gpointer) {
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS || !(info->type & GST_PAD_PROBE_TYPE_PULL))
        return GST_PAD_PROBE_OK;
    GstCaps* answer = nullptr;
    gst_query_parse_caps_result(query, &answer);
    if (!answer) return GST_PAD_PROBE_OK;
    GstCaps* sized = gst_caps_copy(answer);
    for (guint i = 0; i < gst_caps_get_size(sized); ++i) {
        GstStructure* format = gst_caps_get_structure(sized, i);
        gst_structure_set(format, "width", GST_TYPE_INT_RANGE, 1, G_MAXINT, "height",
                          GST_TYPE_INT_RANGE, 1, G_MAXINT, nullptr);
        gst_structure_remove_field(format, "pixel-aspect-ratio");
    }
    sized = gst_caps_simplify(sized);
    gst_query_set_caps_result(query, sized);
    gst_caps_unref(sized);
    return GST_PAD_PROBE_OK;
}

// As the picture starts coming, the filters in front learn the size the sink shows it at: the
// first of the sizes the sink asks for is its window's.
GstPadProbeReturn TellSinkSize(GstPad*, GstPadProbeInfo* info, gpointer sink) {
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstPad* input = gst_element_get_static_pad(GST_ELEMENT(sink), "sink");
    GstCaps* wanted = gst_pad_query_caps(input, nullptr);
    int width = 0, height = 0;
    if (!gst_caps_is_empty(wanted) && !gst_caps_is_any(wanted)) {
        const GstStructure* size = gst_caps_get_structure(wanted, 0);
        if (gst_structure_get_int(size, "width", &width) &&
            gst_structure_get_int(size, "height", &height))
            TellShownSize(input, width, height);
    }
    gst_caps_unref(wanted);
    gst_object_unref(input);
    return GST_PAD_PROBE_OK;
}

// The digital zoom crops in the decoded picture's pixels, so the filters in front of a
// cropping renderer keep that size.
GstPadProbeReturn KeepDecodedSize(GstPad*, GstPadProbeInfo* info, gpointer) {
    return IsShownSizeEvent(GST_PAD_PROBE_INFO_EVENT(info)) ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

void AddEventProbe(GstElement* element, const char* padName, GstPadProbeType type,
                   GstPadProbeCallback callback, gpointer data) {
    GstPad* pad = gst_element_get_static_pad(element, padName);
    gst_pad_add_probe(pad, type, callback, data, nullptr);
    gst_object_unref(pad);
}

// Waits until the X server has carried out what Qt asked of it: a renderer reads its window's
// size over a connection of its own, which could otherwise still see the old size.
void SyncWithX11(xcb_connection_t* connection) {
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

// The child the renderer draws into: a native window that Qt never paints over. The X server
// clears it to black wherever no renderer has drawn, so nothing stale shows there.
class TVideoSurface : public QWidget {
  public:
    explicit TVideoSurface(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        if (xcb_connection_t* connection = X11Connection()) {
            const uint32_t black = 0;
            xcb_change_window_attributes(connection, static_cast<xcb_window_t>(winId()),
                                         XCB_CW_BACK_PIXEL, &black);
        }
    }
    // Black all over: what no frame covers shows nothing of the past.
    void Clear() {
        xcb_connection_t* connection = X11Connection();
        if (!connection) return;
        xcb_clear_area(connection, 0, static_cast<xcb_window_t>(winId()), 0, 0, 0, 0);
        xcb_flush(connection);
    }
    QPaintEngine* paintEngine() const override { return nullptr; }
    std::function<void()> OnExpose;

  protected:
    void paintEvent(QPaintEvent*) override {
        if (OnExpose) OnExpose();
    }
};

}  // namespace

int64_t TickCount() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SetIfPresent(GstElement* element, const char* property, bool value) {
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), property))
        g_object_set(element, property, value ? TRUE : FALSE, nullptr);
}

// Scaling and colour conversion run as one pass.
GstElement* MakeScaledRenderer(const char* name, const char* sinkFactory, GstElement*& sink,
                               GstElement** crop) {
    GstElement* cropper = crop ? gst_element_factory_make("videocrop", nullptr) : nullptr;
    GstElement* scale = gst_element_factory_make("videoconvertscale", nullptr);
    sink = gst_element_factory_make(sinkFactory, nullptr);
    GstElement* bin = gst_bin_new(name);
    if (!scale || !sink || !bin || (crop && !cropper)) {
        for (GstElement* element : {cropper, scale, sink, bin})
            if (element) gst_object_unref(gst_object_ref_sink(element));
        sink = nullptr;
        return nullptr;
    }
    UseFastScaling(scale);
    g_object_set(sink, "force-aspect-ratio", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(bin), scale, sink, nullptr);
    gst_element_link(scale, sink);
    GstElement* first = scale;
    if (cropper) {
        gst_bin_add(GST_BIN(bin), cropper);
        gst_element_link(cropper, scale);
        first = cropper;
        *crop = cropper;
        AddEventProbe(cropper, "src", GST_PAD_PROBE_TYPE_EVENT_UPSTREAM, KeepDecodedSize, nullptr);
    }
    AddEventProbe(scale, "sink", GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, TellSinkSize, sink);
    GstPad* input = gst_element_get_static_pad(first, "sink");
    GstPad* ghost = gst_ghost_pad_new("sink", input);
    gst_object_unref(input);
    gst_pad_add_probe(ghost, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, AnySizeAnswer, nullptr, nullptr);
    gst_element_add_pad(bin, ghost);
    return bin;
}

TVideoControl::TVideoControl(QWidget* parent) : QWidget(parent) {
    // Native, so that an overhanging picture is clipped by this window, not by the form.
    setAttribute(Qt::WA_NativeWindow);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    resize(160, 120);
    auto* surface = new TVideoSurface(this);
    surface->OnExpose = [this] { Expose(); };
    FSurface = surface;
    FPointerTimer.setInterval(kPointerTimerMs);
    QObject::connect(&FPointerTimer, &QTimer::timeout, this, [this] { PointerTimerTick(); });
}

TVideoControl::~TVideoControl() {
    SetFilterGraph(nullptr);
}

void TVideoControl::SetFilterGraph(TFilterGraph* graph) {
    if (graph == FFilterGraph) return;
    if (FFilterGraph) {
        FFilterGraph->RemoveFilter(this);
        FFilterGraph->RemoveEventNotifier(this);
    }
    if (graph) {
        graph->InsertFilter(this);
        graph->InsertEventNotifier(this);
    }
    FFilterGraph = graph;
}

void TVideoControl::SetColor(const QColor& color) {
    FColor = color;
    update();
}

void TVideoControl::EmbedRenderer(GstElement* sink) {
    FPointerTimer.start();
    if (!sink || !GST_IS_VIDEO_OVERLAY(sink)) return;
    FEmbedded = GST_VIDEO_OVERLAY(sink);
    // Set while the pipeline is still in NULL, so the renderer never opens a window of its own.
    gst_video_overlay_set_window_handle(FEmbedded, static_cast<guintptr>(FSurface->winId()));
    FollowSurface();
}

void TVideoControl::ReleaseSurface() {
    FPointerTimer.stop();
    FEmbedded = nullptr;
    // A pointer hidden for the picture must not stay hidden once there is no picture.
    ShowPointer();
    ClearSurface();
}

void TVideoControl::ClearSurface() {
    static_cast<TVideoSurface*>(FSurface)->Clear();
}

void TVideoControl::PlaceSurface(const QRect& rect) {
    FSurface->setGeometry(rect);
    FSurface->show();
    FollowSurface();
    Expose();
}

// The renderer learns the surface's size at once: its drawing area, and (for a renderer that
// asks for pictures of its window's size) a new negotiation with the scaler in front of it.
void TVideoControl::FollowSurface() {
    if (!FEmbedded) return;
    if (xcb_connection_t* connection = X11Connection()) SyncWithX11(connection);
    gst_video_overlay_set_render_rectangle(FEmbedded, 0, 0, FSurface->width(), FSurface->height());
    gst_video_overlay_expose(FEmbedded);
    GstPad* input = gst_element_get_static_pad(GST_ELEMENT(FEmbedded), "sink");
    if (!input) return;
    gst_pad_push_event(input, gst_event_new_reconfigure());
    TellShownSize(input, FSurface->width(), FSurface->height());
    gst_object_unref(input);
    if (FSurface->size() == FFollowedSize) return;
    FFollowedSize = FSurface->size();
    if (FPaused) RefreshFrame();
}

void TVideoControl::NotePaused(bool paused) {
    FPaused = paused;
    if (paused) RefreshFrame();
}

// A paused file sends no frame of the surface's new size for the renderer to draw: it would
// show the last one, smaller, or nothing. A seek to where the file stands brings one.
void TVideoControl::RefreshFrame() {
    if (!FFilterGraph || FFilterGraph->Mode() == gmDVD) return;
    IMediaSeeking* seeking = FFilterGraph->MediaSeeking();
    int64_t position = 0;
    if (seeking && SUCCEEDED(seeking->GetCurrentPosition(position)))
        seeking->SetPositions(position, -1);
}

void TVideoControl::Resize() {
    if (OnResize) OnResize();
}

void TVideoControl::ShowPointer() {
    FSurface->unsetCursor();
    FPointerHidden = false;
}

void TVideoControl::PointerTimerTick() {
    if (FAutoHideCursor <= 0 || TickCount() - FLastMouseTick < FAutoHideCursor) return;
    if (FPointerHidden) return;
    FSurface->setCursor(Qt::BlankCursor);
    FPointerHidden = true;
    QCursor::setPos(QCursor::pos());  // so the change shows without waiting for a move
}

void TVideoControl::NoteMouse(const QPoint& position) {
    FLastMousePos = position;
    FLastMouseTick = TickCount();
    if (FPointerHidden) ShowPointer();
}

void TVideoControl::paintEvent(QPaintEvent* event) {
    QPainter(this).fillRect(event->rect(), FColor);
}

void TVideoControl::resizeEvent(QResizeEvent*) {
    Resize();
}

void TVideoControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    if (position != FLastMousePos) NoteMouse(position);
    if (OnMouseMove) OnMouseMove(*event);
}

void TVideoControl::mousePressEvent(QMouseEvent* event) {
    if (FPointerHidden) NoteMouse(event->position().toPoint());
    if (OnMouseDown) OnMouseDown(*event);
}

void TVideoControl::mouseReleaseEvent(QMouseEvent* event) {
    if (FPointerHidden) NoteMouse(event->position().toPoint());
    if (OnMouseUp) OnMouseUp(*event);
}

void TVideoControl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnDblClick) OnDblClick();
    QWidget::mouseDoubleClickEvent(event);
}

void TVideoControl::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta > 0 && OnMouseWheelUp) OnMouseWheelUp(*event);
    if (delta < 0 && OnMouseWheelDown) OnMouseWheelDown(*event);
}
