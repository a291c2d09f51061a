#include "video/EVRVideoWindow.h"

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <algorithm>
#include <cctype>
#include <map>

#include "desktop/ErrorUnit.h"
#include "graph/DirectShowErrors.h"

int32_t ZoomExtraY = 0;
int32_t ZoomExtraX = 0;
int32_t ZoomResetParity = 0;
bool MouseButtonHeld = false;

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

bool CheckRendererCreatable(TEVRVideoMode mode) {
    // The X renderers need the X display Qt runs on.
    if (QGuiApplication::platformName() != "xcb") return false;
    if (mode == vdmEVR) {
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

TEVRVideoWindow::TEVRVideoWindow(QWidget* parent) : TVideoControl(parent) {}

TEVRVideoWindow::~TEVRVideoWindow() {
    SetFilterGraph(nullptr);
    ReleaseRenderer();
}

_GstElement* TEVRVideoWindow::GetFilter() {
    return FRendererFilter;
}

void TEVRVideoWindow::SetMode(TEVRVideoMode value) {
    if (value == vdmEVR && !RendererCreatable(vdmEVR)) value = vdmVMR;
    if (value == vdmVMR && !RendererCreatable(vdmVMR)) value = vdmNormal;
    FMode = value;
}

void TEVRVideoWindow::NotifyFilter(TFilterOperation operation) {
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
        FRendererFilter = MakeScaledRenderer(elementName, "ximagesink", FRendererSink, nullptr);
    else  // without an X display a null renderer keeps the graph running
        FRendererFilter = FRendererSink = gst_element_factory_make("fakesink", elementName);
    if (!FRendererFilter) return;
    gst_object_ref_sink(FRendererFilter);
    SetIfPresent(FRendererSink, "handle-events", false);  // the window handles the mouse
    if (FMode == vdmNormal) LogLine("NotifyFilter foAdding CLSID_VideoRenderer");
    if (FMode == vdmEVR) LogLine("NotifyFilter foAdding CLSID_EnhancedVideoRendere Found");
}

void TEVRVideoWindow::ConfigureRenderer() {
    EmbedRenderer(FRendererSink);
    if (!FRendererSink || !GST_IS_VIDEO_OVERLAY(FRendererSink)) return;
    GstVideoOverlay* overlay = GST_VIDEO_OVERLAY(FRendererSink);
    VideoSurface()->setGeometry(VideoDestinationRect(size(), ZoomExtraX, ZoomExtraY));
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
    ReleaseSurface();
    FVideoWindow = nullptr;
    FDisplayControl = nullptr;
    if (FRendererFilter) gst_object_unref(FRendererFilter);
    FRendererFilter = nullptr;
    FRendererSink = nullptr;
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

void TEVRVideoWindow::GraphEvent(int32_t code, intptr_t, intptr_t) {
    constexpr int32_t kPaletteChanged = 9;
    constexpr int32_t kRenderDeviceSet = 83;
    if (code == EC_VIDEO_SIZE_CHANGED) ReadNativeVideoSize();
    if (code == EC_VIDEO_SIZE_CHANGED || code == kPaletteChanged || code == kRenderDeviceSet)
        UpdateVideoPosition();
}

void TEVRVideoWindow::UpdateVideoPosition() {
    if (MouseButtonHeld) return;
    // The picture always fills the destination, overhang and zoom included.
    if (FDisplayControl) SetForceAspectRatio(false);
    // Every renderer takes the overhang and the zoom: the classic and Xv ones are all that a
    // machine without hardware OpenGL has.
    if (FDisplayControl || FVideoWindow)
        PlaceSurface(VideoDestinationRect(size(), ZoomExtraX, ZoomExtraY));
}

void TEVRVideoWindow::Expose() {
    if (FVideoWindow) gst_video_overlay_expose(FVideoWindow);
    if (FDisplayControl) gst_video_overlay_expose(FDisplayControl);
}

// The EVR stand-in draws into the surface only on request: the picture comes back with the
// control's. The other renderers keep their surface drawn themselves.
void TEVRVideoWindow::paintEvent(QPaintEvent* event) {
    TVideoControl::paintEvent(event);
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
    if (TakeResetTurn(ZoomResetParity)) Resize();
}

void TEVRVideoWindow::Resize() {
    TVideoControl::Resize();
    UpdateVideoPosition();
}
