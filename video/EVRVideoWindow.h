#pragma once
// TEVRVideoWindow: the control that shows the picture of ordinary media files. It puts a
// renderer of its Mode into each pipeline of its graph component, embeds the renderer's
// output in a native child window and places it, hides the pointer when the mouse rests,
// zooms on request and writes a trace of what it does into the log pane.

#include <QRect>
#include <cstdint>
#include <string>

#include "video/VideoControl.h"

struct _GstVideoOverlay;

enum TEVRVideoMode { vdmNormal = 0, vdmVMR = 1, vdmEVR = 2 };

// Picture placement shared by the video windows (UI thread only). The classic video window's
// vertical zoom writes ZoomExtraY as well.
extern int32_t ZoomExtraY;
extern int32_t ZoomExtraX;
extern int32_t ZoomResetParity;
// Set while a mouse button is down on the player window or a video window, until the next
// mouse move; the picture is not re-placed meanwhile.
extern bool MouseButtonHeld;

// The GStreamer element standing in for a mode's renderer: "glimagesink", "xvimagesink" or
// "ximagesink".
const char* RendererFactoryName(TEVRVideoMode mode);
// Whether a mode's renderer can be created on this display: its factory exists and the
// element reaches READY; the GL renderer also needs a hardware OpenGL implementation (a
// software rasteriser costs several times the CPU of the classic renderer).
bool RendererCreatable(TEVRVideoMode mode);
// Whether an OpenGL renderer string (GL_RENDERER) names a software rasteriser.
bool IsSoftwareGLRenderer(const std::string& renderer);

// Where the picture goes within a client area of the given size: it overhangs by 10 pixels
// left and right and 2 at top and bottom, plus the zoom extras on each side.
QRect VideoDestinationRect(const QSize& client, int32_t zoomExtraX, int32_t zoomExtraY);

class TEVRVideoWindow : public TVideoControl {
  public:
    explicit TEVRVideoWindow(QWidget* parent = nullptr);
    ~TEVRVideoWindow() override;

    // IGraphMember
    _GstElement* GetFilter() override;
    void NotifyFilter(TFilterOperation operation) override;
    // IGraphListener
    void GraphEvent(int32_t code, intptr_t param1, intptr_t param2) override;
    void ControlEvent(TControlEvent event, intptr_t param) override;

    TEVRVideoMode Mode() const { return FMode; }
    // Falls back from vdmEVR to vdmVMR to vdmNormal while a renderer cannot be created; takes
    // effect when the graph next becomes active.
    void SetMode(TEVRVideoMode value);
    bool KeepAspectRatio() const { return FKeepAspectRatio; }
    void SetKeepAspectRatio(bool value);

    void UpdateVideoPosition();
    // Enable: zoom by amount (vertically only, or both ways); otherwise reset the zoom.
    void ZoomPicture(int32_t amount, bool enable, bool verticalOnly);

    // The last size the renderer reported (0 x 0 before the first picture).
    int NativeVideoWidth() const { return FNativeWidth; }
    int NativeVideoHeight() const { return FNativeHeight; }

  protected:
    void Expose() override;
    void Resize() override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void CreateRenderer();
    void ConfigureRenderer();
    void StopRenderer();
    void ReleaseRenderer();
    void ReadNativeVideoSize();
    void SetForceAspectRatio(bool value);

    TEVRVideoMode FMode = vdmNormal;
    bool FKeepAspectRatio = true;
    _GstElement* FRendererFilter = nullptr;       // owned reference: what joins the pipeline
    _GstElement* FRendererSink = nullptr;         // the element that draws (it or inside it)
    _GstVideoOverlay* FVideoWindow = nullptr;     // the renderer's overlay (classic and VMR)
    _GstVideoOverlay* FDisplayControl = nullptr;  // the renderer's overlay (EVR)
    int FNativeWidth = 0;
    int FNativeHeight = 0;
};
