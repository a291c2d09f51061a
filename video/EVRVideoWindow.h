#pragma once
// TEVRVideoWindow: the control that shows the picture of ordinary media files. It puts a
// renderer of its Mode into each pipeline of its graph component, embeds the renderer's
// output in a native child window and places it, hides the pointer when the mouse rests,
// zooms on request and writes a trace of what it does into the log pane.

#include <QRect>
#include <cstdint>
#include <string>

#include "video/RendererWindow.h"

struct _GstVideoOverlay;

enum TEVRVideoMode { vdmNormal = 0, vdmVMR = 1, vdmEVR = 2 };

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

class TEVRVideoWindow : public TRendererWindow {
  public:
    explicit TEVRVideoWindow(QWidget* parent = nullptr);
    ~TEVRVideoWindow() override;

    // IGraphListener
    void ControlEvent(TControlEvent event, intptr_t param) override;

    TEVRVideoMode Mode() const { return FMode; }
    // Falls back from vdmEVR to vdmVMR to vdmNormal while a renderer cannot be created; takes
    // effect when the graph next becomes active.
    void SetMode(TEVRVideoMode value);
    bool KeepAspectRatio() const { return FKeepAspectRatio; }
    void SetKeepAspectRatio(bool value);

    void UpdateVideoPosition() override;
    // Enable: zoom by amount (vertically only, or both ways); otherwise reset the zoom.
    void ZoomPicture(int32_t amount, bool enable, bool verticalOnly);
    // The zoom's extra width left and right of the picture, in pixels.
    int32_t ZoomExtraX() const { return FZoomExtraX; }
    // Set by the player window while a mouse button is down on it or on a video window, until
    // the next mouse move; the picture is not re-placed meanwhile.
    bool MouseButtonHeld() const { return FMouseButtonHeld; }
    void SetMouseButtonHeld(bool value) { FMouseButtonHeld = value; }

    // The last size the renderer reported (0 x 0 before the first picture).
    int NativeVideoWidth() const { return FNativeWidth; }
    int NativeVideoHeight() const { return FNativeHeight; }

  protected:
    _GstElement* MakeRenderer(const char* name, _GstElement*& sink) override;
    void RendererMade() override;
    void ConfigureRenderer() override;
    bool StopsRenderer() const override { return FMode == vdmVMR; }
    void ReleaseRenderer() override;
    void PictureChanged(int32_t code) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void ReadNativeVideoSize();
    void SetForceAspectRatio(bool value);

    TEVRVideoMode FMode = vdmNormal;
    bool FKeepAspectRatio = true;
    _GstVideoOverlay* FVideoWindow = nullptr;     // the renderer's overlay (classic and VMR)
    _GstVideoOverlay* FDisplayControl = nullptr;  // the renderer's overlay (EVR)
    int FNativeWidth = 0;
    int FNativeHeight = 0;
    int32_t FZoomExtraX = 0;
    bool FMouseButtonHeld = false;
};
