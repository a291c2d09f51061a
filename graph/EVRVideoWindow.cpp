#include "graph/EVRVideoWindow.h"

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <map>

#include "desktop/ErrorUnit.h"
#include "graph/DirectShowErrors.h"

int32_t ZoomExtraY = 0;
int32_t ZoomExtraX = 0;
int32_t ZoomResetParity = 0;
bool MouseButtonHeld = false;

namespace {

constexpr int kPointerTimerMs = 500;
constexpr int64_t kPointerRestMs = 3000;
constexpr int kOverhangX = 10;
constexpr int kOverhangY = 2;

// Milliseconds on a clock that never goes back, as the pointer hiding compares them.
int64_t TickCount() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool ElementReachesReady(const char* factory) {
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (!element) return false;
    gst_object_ref_sink(element);
    const bool ready = gst_element_set_state(element, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(element, GST_STATE_NULL);
    gst_object_unref(element);
    return ready;
}

// GL_RENDERER of the display's default OpenGL implementation, empty when there is none.
std::string OpenGLRenderer() {
    if (QGuiApplication::platformName() != "xcb") return {};
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    if (!context.create() || !context.makeCurrent(&surface)) return {};
    const auto* name = context.functions()->glGetString(GL_RENDERER);
    std::string renderer = name ? reinterpret_cast<const char*>(name) : "";
    context.doneCurrent();
    return renderer;
}

bool CheckRendererCreatable(TEVRVideoMode mode) {
    // The X renderers need the X display Qt runs on.
    if (QGuiApplication::platformName() != "xcb") return false;
    if (mode == vdmEVR) {
        const std::string renderer = OpenGLRenderer();
        if (renderer.empty() || IsSoftwareGLRenderer(renderer)) return false;
    }
    return ElementReachesReady(RendererFactoryName(mode));
}

void SetIfPresent(GstElement* element, const char* property, bool value) {
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), property))
        g_object_set(element, property, value ? TRUE : FALSE, nullptr);
}

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

// The classic renderer: the X image sink behind a scaler that stretches the picture to the
// window as the classic renderer did. The sink only asks upstream for pictures of its
// window's size, and the pipeline's own scaler would keep the aspect ratio with borders.
// Scaling and colour conversion run as one pass; bilinear without chroma resampling or
// dithering costs about half of the default at 1080p and looks the same at window size.
GstElement* MakeClassicRenderer(const char* name, GstElement*& sink) {
    GstElement* scale = gst_element_factory_make("videoconvertscale", nullptr);
    sink = gst_element_factory_make("ximagesink", nullptr);
    GstElement* bin = gst_bin_new(name);
    if (!scale || !sink || !bin) {
        for (GstElement* element : {scale, sink, bin})
            if (element) gst_object_unref(gst_object_ref_sink(element));
        sink = nullptr;
        return nullptr;
    }
    gst_util_set_object_arg(G_OBJECT(scale), "method", "bilinear");
    gst_util_set_object_arg(G_OBJECT(scale), "chroma-mode", "none");
    gst_util_set_object_arg(G_OBJECT(scale), "dither", "none");
    g_object_set(scale, "add-borders", FALSE, nullptr);
    g_object_set(sink, "force-aspect-ratio", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(bin), scale, sink, nullptr);
    gst_element_link(scale, sink);
    GstPad* input = gst_element_get_static_pad(scale, "sink");
    GstPad* ghost = gst_ghost_pad_new("sink", input);
    gst_object_unref(input);
    gst_pad_add_probe(ghost, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, AnySizeAnswer, nullptr, nullptr);
    gst_element_add_pad(bin, ghost);
    return bin;
}

// The child the renderer draws into: a native window that Qt never paints over.
class TVideoSurface : public QWidget {
  public:
    explicit TVideoSurface(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    QPaintEngine* paintEngine() const override { return nullptr; }
    std::function<void()> OnExpose;

  protected:
    void paintEvent(QPaintEvent*) override {
        if (OnExpose) OnExpose();
    }
};

}  // namespace

const char* RendererFactoryName(TEVRVideoMode mode) {
    switch (mode) {
        case vdmEVR:
            return "glimagesink";
        case vdmVMR:
            return "xvimagesink";
        case vdmNormal:
            break;
    }
    return "ximagesink";
}

bool RendererCreatable(TEVRVideoMode mode) {
    // The display does not change while the program runs, and the GL probe is slow.
    static std::map<TEVRVideoMode, bool> known;
    auto found = known.find(mode);
    if (found == known.end()) found = known.emplace(mode, CheckRendererCreatable(mode)).first;
    return found->second;
}

bool IsSoftwareGLRenderer(const std::string& renderer) {
    std::string lower = renderer;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "software"})
        if (lower.find(software) != std::string::npos) return true;
    return false;
}

QRect VideoDestinationRect(const QSize& client, bool displayControl, int32_t zoomExtraX,
                           int32_t zoomExtraY) {
    if (!displayControl) return QRect(QPoint(0, 0), client);
    const int left = -(kOverhangX + zoomExtraX);
    const int top = -(kOverhangY + zoomExtraY);
    const int right = client.width() + kOverhangX + zoomExtraX;
    const int bottom = client.height() + kOverhangY + zoomExtraY;
    return QRect(left, top, right - left, bottom - top);
}

TEVRVideoWindow::TEVRVideoWindow(QWidget* parent) : QWidget(parent) {
    // Native, so that the overhanging picture is clipped by this window, not by the form.
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

TEVRVideoWindow::~TEVRVideoWindow() {
    SetFilterGraph(nullptr);
    ReleaseRenderer();
}

_GstElement* TEVRVideoWindow::GetFilter() {
    return FRendererFilter;
}

std::string TEVRVideoWindow::GetName() {
    return objectName().toStdString();
}

void TEVRVideoWindow::SetMode(TEVRVideoMode value) {
    if (value == vdmEVR && !RendererCreatable(vdmEVR)) value = vdmVMR;
    if (value == vdmVMR && !RendererCreatable(vdmVMR)) value = vdmNormal;
    FMode = value;
}

void TEVRVideoWindow::SetFilterGraph(TFilterGraph* graph) {
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

void TEVRVideoWindow::SetColor(const QColor& color) {
    FColor = color;
    update();
}

void TEVRVideoWindow::NotifyFilter(TFilterOperation operation) {
    switch (operation) {
        case foAdding:
            CreateRenderer();
            break;
        case foAdded:
            FPointerTimer.start();
            ConfigureRenderer();
            break;
        case foRemoving:
            FPointerTimer.stop();
            StopRenderer();
            break;
        case foRemoved:
            ReleaseRenderer();
            break;
        case foRefresh:
            break;
    }
}

void TEVRVideoWindow::CreateRenderer() {
    ReleaseRenderer();
    if (FMode == vdmVMR) LogLine("NotifyFilter vdmVMR Mode");
    if (FMode == vdmEVR) LogLine("NotifyFilter vdmEVR Mode");
    const std::string name = GetName();
    const char* elementName = name.empty() ? nullptr : name.c_str();
    if (FMode != vdmNormal)
        FRendererFilter = FRendererSink =
            gst_element_factory_make(RendererFactoryName(FMode), elementName);
    else if (RendererCreatable(vdmNormal))
        FRendererFilter = MakeClassicRenderer(elementName, FRendererSink);
    else  // without an X display a null renderer keeps the graph running
        FRendererFilter = FRendererSink = gst_element_factory_make("fakesink", elementName);
    if (!FRendererFilter) return;
    gst_object_ref_sink(FRendererFilter);
    SetIfPresent(FRendererSink, "handle-events", false);  // the window handles the mouse
    if (FMode == vdmNormal) LogLine("NotifyFilter foAdding CLSID_VideoRenderer");
    if (FMode == vdmEVR) LogLine("NotifyFilter foAdding CLSID_EnhancedVideoRendere Found");
}

void TEVRVideoWindow::ConfigureRenderer() {
    if (!FRendererSink || !GST_IS_VIDEO_OVERLAY(FRendererSink)) return;
    GstVideoOverlay* overlay = GST_VIDEO_OVERLAY(FRendererSink);
    // Set while the pipeline is still in NULL, so the renderer never opens a window of its own.
    gst_video_overlay_set_window_handle(overlay, static_cast<guintptr>(FSurface->winId()));
    FSurface->setGeometry(VideoDestinationRect(size(), FMode == vdmEVR, ZoomExtraX, ZoomExtraY));
    if (FMode == vdmEVR) {
        FDisplayControl = overlay;
        LogLine("NotifyFilter foAdded GetService FDisplayControl S_Ok");
        ReadNativeVideoSize();
    } else {
        FVideoWindow = overlay;
        SetKeepAspectRatio(FKeepAspectRatio);
    }
}

void TEVRVideoWindow::StopRenderer() {
    if (!FRendererFilter || FMode != vdmVMR) return;
    if (gst_element_set_state(FRendererFilter, GST_STATE_NULL) == GST_STATE_CHANGE_FAILURE)
        DShowCheck(VFW_E_WRONG_STATE);
}

void TEVRVideoWindow::ReleaseRenderer() {
    // A pointer hidden for the picture must not stay hidden once there is no picture.
    if (cursor().shape() == Qt::BlankCursor) setCursor(FSavedCursor);
    FSurface->unsetCursor();
    FPointerHidden = false;
    FVideoWindow = nullptr;
    FDisplayControl = nullptr;
    if (FRendererFilter) gst_object_unref(FRendererFilter);
    FRendererFilter = nullptr;
    FRendererSink = nullptr;
}

void TEVRVideoWindow::ReadNativeVideoSize() {
    if (!FFilterGraph) return;
    if (IBasicVideo* video = FFilterGraph->BasicVideo())
        video->GetVideoSize(FNativeWidth, FNativeHeight);
}

void TEVRVideoWindow::ControlEvent(TControlEvent event, intptr_t) {
    switch (event) {
        case cePlay:
            LogLine("cePlay FDisplayControl <> nil");
            UpdateVideoPosition();
            break;
        case ceFileRendered:
            // The format is known once the pipeline has prerolled.
            ReadNativeVideoSize();
            [[fallthrough]];
        case cePause:
        case ceStop:
            LogLine("cePause, ceStop, ceFileRendered");
            UpdateVideoPosition();
            break;
        case ceDVDRendered:
            // Our renderer is the pipeline's only video sink, so there is never a renderer of
            // the DVD source's own choosing to adopt.
            LogLine("ceDVDRendered Call");
            break;
        case ceFileRendering:
        case ceDVDRendering:
        case ceActive:
            break;
    }
}

void TEVRVideoWindow::GraphEvent(int32_t code, intptr_t, intptr_t) {
    constexpr int32_t kPaletteChanged = 9;
    constexpr int32_t kRenderDeviceSet = 83;
    if (code == EC_VIDEO_SIZE_CHANGED) ReadNativeVideoSize();
    if (code == EC_VIDEO_SIZE_CHANGED || code == kPaletteChanged || code == kRenderDeviceSet)
        UpdateVideoPosition();
}

void TEVRVideoWindow::UpdateVideoPosition() {
    if (MouseButtonHeld) return;
    if (FDisplayControl) {
        // The picture always fills the destination, overhang and zoom included.
        SetForceAspectRatio(false);
        PlaceSurface(VideoDestinationRect(size(), true, ZoomExtraX, ZoomExtraY));
    }
    if (FVideoWindow) PlaceSurface(VideoDestinationRect(size(), false, 0, 0));
}

void TEVRVideoWindow::PlaceSurface(const QRect& rect) {
    FSurface->setGeometry(rect);
    FSurface->show();
    Expose();
}

void TEVRVideoWindow::Expose() {
    if (FVideoWindow) gst_video_overlay_expose(FVideoWindow);
    if (FDisplayControl) gst_video_overlay_expose(FDisplayControl);
}

void TEVRVideoWindow::SetForceAspectRatio(bool value) {
    if (FRendererSink) SetIfPresent(FRendererSink, "force-aspect-ratio", value);
}

void TEVRVideoWindow::SetKeepAspectRatio(bool value) {
    const bool previous = FKeepAspectRatio;
    FKeepAspectRatio = value;
    if ((FMode == vdmVMR && FRendererFilter) || (FMode == vdmEVR && FDisplayControl))
        SetForceAspectRatio(value);
    if (value != previous) UpdateVideoPosition();
}

void TEVRVideoWindow::ZoomPicture(int32_t amount, bool enable, bool verticalOnly) {
    if (enable) {
        ZoomExtraY = amount;
        ZoomExtraX = verticalOnly ? 0 : amount;
        Resize();
        return;
    }
    ZoomExtraY = 0;
    ZoomExtraX = 0;
    // Of two resets in a row only the first re-places the picture at once.
    if (ZoomResetParity < 1) {
        Resize();
        ++ZoomResetParity;
    } else {
        ZoomResetParity = 0;
    }
}

void TEVRVideoWindow::Resize() {
    if (OnResize) OnResize();
    UpdateVideoPosition();
}

void TEVRVideoWindow::resizeEvent(QResizeEvent*) {
    Resize();
}

void TEVRVideoWindow::paintEvent(QPaintEvent* event) {
    QPainter(this).fillRect(event->rect(), FColor);
    if (FDisplayControl) gst_video_overlay_expose(FDisplayControl);
}

void TEVRVideoWindow::PointerTimerTick() {
    if (TickCount() - FLastMouseTick < kPointerRestMs) return;
    if (FDisplayControl && cursor().shape() != Qt::BlankCursor) {
        FSavedCursor = cursor();
        setCursor(Qt::BlankCursor);
        QCursor::setPos(QCursor::pos());  // so the change shows without waiting for a move
    }
    if (FVideoWindow && !FPointerHidden) {
        FSurface->setCursor(Qt::BlankCursor);
        FPointerHidden = true;
        QCursor::setPos(QCursor::pos());
    }
}

void TEVRVideoWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    if (position != FLastMousePos) {
        FLastMousePos = position;
        FLastMouseTick = TickCount();
        if (FDisplayControl && cursor().shape() == Qt::BlankCursor) setCursor(FSavedCursor);
        if (FVideoWindow && FPointerHidden) {
            FSurface->unsetCursor();
            FPointerHidden = false;
        }
    }
    if (OnMouseMove) OnMouseMove(*event);
}

void TEVRVideoWindow::ShowPointerOnButton(const QPoint& position) {
    if (FDisplayControl && cursor().shape() == Qt::BlankCursor) {
        setCursor(FSavedCursor);
        FLastMousePos = position;
        FLastMouseTick = TickCount();
    }
    if (FVideoWindow && FPointerHidden) {
        FSurface->unsetCursor();
        FLastMousePos = position;
        FLastMouseTick = TickCount();
        FPointerHidden = false;
    }
}

void TEVRVideoWindow::mousePressEvent(QMouseEvent* event) {
    ShowPointerOnButton(event->position().toPoint());
    if (OnMouseDown) OnMouseDown(*event);
}

void TEVRVideoWindow::mouseReleaseEvent(QMouseEvent* event) {
    ShowPointerOnButton(event->position().toPoint());
    if (OnMouseUp) OnMouseUp(*event);
}

void TEVRVideoWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnDblClick) OnDblClick();
    QWidget::mouseDoubleClickEvent(event);
}

void TEVRVideoWindow::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta > 0 && OnMouseWheelUp) OnMouseWheelUp(*event);
    if (delta < 0 && OnMouseWheelDown) OnMouseWheelDown(*event);
}
