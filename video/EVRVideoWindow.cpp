#include "video/EVRVideoWindow.h"

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <algorithm>
#include <cctype>
#include <map>

#include "desktop/ErrorUnit.h"
#include "graph/AudioOutput.h"

namespace {

constexpr int kOverhangX = 10;
constexpr int kOverhangY = 2;

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

// Hardware OpenGL needs a graphics device; without one the probe's context would load the
// software rasteriser, whose threads and memory then stay in the process for nothing.
bool GraphicsDevicePresent() {
    const QStringList devices =
        QDir("/dev/dri").entryList({"renderD*", "card*"}, QDir::System | QDir::Files);
    return !devices.isEmpty() || QFileInfo::exists("/dev/nvidiactl");
}

bool CheckRendererCreatable(TEVRVideoMode mode) {
    // The X renderers need the X display Qt runs on.
    if (QGuiApplication::platformName() != "xcb") return false;
    if (mode == vdmEVR) {
        if (!GraphicsDevicePresent()) return false;
        const std::string renderer = OpenGLRenderer();
        if (renderer.empty() || IsSoftwareGLRenderer(renderer)) return false;
    }
    return ElementReachesReady(RendererFactoryName(mode));
}

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

QRect VideoDestinationRect(const QSize& client, int32_t zoomExtraX, int32_t zoomExtraY) {
    const int left = -(kOverhangX + zoomExtraX);
    const int top = -(kOverhangY + zoomExtraY);
    const int right = client.width() + kOverhangX + zoomExtraX;
    const int bottom = client.height() + kOverhangY + zoomExtraY;
    return QRect(left, top, right - left, bottom - top);
}

TEVRVideoWindow::TEVRVideoWindow(QWidget* parent) : TRendererWindow(parent) {}

TEVRVideoWindow::~TEVRVideoWindow() {
    LeaveGraph();
}

void TEVRVideoWindow::SetMode(TEVRVideoMode value) {
    if (value == vdmEVR && !RendererCreatable(vdmEVR)) value = vdmVMR;
    if (value == vdmVMR && !RendererCreatable(vdmVMR)) value = vdmNormal;
    FMode = value;
}

GstElement* TEVRVideoWindow::MakeRenderer(const char* name, GstElement*& sink) {
    if (FMode == vdmVMR) LogLine("NotifyFilter vdmVMR Mode");
    if (FMode == vdmEVR) LogLine("NotifyFilter vdmEVR Mode");
    if (FMode != vdmNormal)
        return sink = gst_element_factory_make(RendererFactoryName(FMode), name);
    if (RendererCreatable(vdmNormal)) return MakeScaledRenderer(name, "ximagesink", sink, nullptr);
    // Without an X display a null renderer keeps the graph running.
    return sink = gst_element_factory_make("fakesink", name);
}

void TEVRVideoWindow::RendererMade() {
    if (FMode == vdmNormal) LogLine("NotifyFilter foAdding CLSID_VideoRenderer");
    if (FMode == vdmEVR) LogLine("NotifyFilter foAdding CLSID_EnhancedVideoRendere Found");
}

void TEVRVideoWindow::ConfigureRenderer() {
    GstElement* sink = RendererSink();
    EmbedRenderer(sink);
    if (!sink || !GST_IS_VIDEO_OVERLAY(sink)) return;
    GstVideoOverlay* overlay = GST_VIDEO_OVERLAY(sink);
    VideoSurface()->setGeometry(VideoDestinationRect(size(), FZoomExtraX, FZoomExtraY));
    if (FMode == vdmEVR) {
        FDisplayControl = overlay;
        LogLine("NotifyFilter foAdded GetService FDisplayControl S_Ok");
        ReadNativeVideoSize();
    } else {
        FVideoWindow = overlay;
        SetKeepAspectRatio(FKeepAspectRatio);
    }
}

void TEVRVideoWindow::ReleaseRenderer() {
    TRendererWindow::ReleaseRenderer();
    FVideoWindow = nullptr;
    FDisplayControl = nullptr;
}

void TEVRVideoWindow::ReadNativeVideoSize() {
    if (!FilterGraph()) return;
    if (IBasicVideo* video = FilterGraph()->BasicVideo())
        video->GetVideoSize(FNativeWidth, FNativeHeight);
}

void TEVRVideoWindow::ControlEvent(TControlEvent event, intptr_t) {
    switch (event) {
        case cePlay:
            LogLine("cePlay FDisplayControl <> nil");
            NotePaused(false);
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
            // A stopped file shows no picture; the next Play brings one.
            if (event == ceStop) ClearSurface();
            // Paused before a frame of the surface's size came (the panel closing as the
            // file opened), the picture would stay small.
            NotePaused(event == cePause);
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

void TEVRVideoWindow::PictureChanged(int32_t code) {
    if (code == EC_VIDEO_SIZE_CHANGED) ReadNativeVideoSize();
}

void TEVRVideoWindow::UpdateVideoPosition() {
    if (FMouseButtonHeld) return;
    // The picture always fills the destination, overhang and zoom included.
    if (FDisplayControl) SetForceAspectRatio(false);
    // Every renderer takes the overhang and the zoom: the classic and Xv ones are all that a
    // machine without hardware OpenGL has.
    if (FDisplayControl || FVideoWindow)
        PlaceSurface(VideoDestinationRect(size(), FZoomExtraX, FZoomExtraY));
}

// The EVR stand-in draws into the surface only on request: the picture comes back with the
// control's. The other renderers keep their surface drawn themselves.
void TEVRVideoWindow::paintEvent(QPaintEvent* event) {
    TRendererWindow::paintEvent(event);
    if (FDisplayControl) gst_video_overlay_expose(FDisplayControl);
}

void TEVRVideoWindow::SetForceAspectRatio(bool value) {
    if (RendererSink()) SetIfPresent(RendererSink(), "force-aspect-ratio", value);
}

void TEVRVideoWindow::SetKeepAspectRatio(bool value) {
    const bool previous = FKeepAspectRatio;
    FKeepAspectRatio = value;
    if ((FMode == vdmVMR && RendererFilter()) || (FMode == vdmEVR && FDisplayControl))
        SetForceAspectRatio(value);
    if (value != previous) UpdateVideoPosition();
}

void TEVRVideoWindow::ZoomPicture(int32_t amount, bool enable, bool verticalOnly) {
    if (enable) {
        FZoomExtraY = amount;
        FZoomExtraX = verticalOnly ? 0 : amount;
        Resize();
        return;
    }
    FZoomExtraY = 0;
    FZoomExtraX = 0;
    if (TakeResetTurn()) Resize();
}
