#pragma once
// TVideoWindow: the classic video window that shows the picture of DVD volumes. It puts a
// renderer of its Mode into each pipeline of its graph component and keeps the renderer's
// output placed over its own rectangle; the digital zoom crops the picture, the vertical zoom
// stretches it beyond the window's top and bottom.

#include <QRect>
#include <cstdint>
#include <string>

#include "video/RendererWindow.h"

enum TVideoMode { vmNormal = 0, vmVMR = 1 };
enum TVMRMode { vmrWindowed = 0, vmrWindowless = 1, vmrRenderless = 2 };
// Rendering preferences of the mixing renderer, as a set of these bits.
enum TVMRPreference : uint32_t {
    vpForceOffscreen = 1,
    vpForceOverlays = 2,
    vpForceMixer = 4,
    vpDoNotRenderColorKeyAndBorder = 8,
    vpRestrictToInitialMonitor = 16,
    vpPreferAGPMemWhenMixing = 32
};

// The part of a W' x H' picture the digital zoom z (0..99) shows: the width shrinks by z
// percent, the height follows the picture's proportions, centred; truncated toward zero.
QRect DigitalZoomRect(const QSize& picture, int zoom);

class TVideoWindow;

// The options of the mixing renderer. Changing the mode, the streams or the preferences
// while the window shows a mixing renderer in an active graph creates the renderer anew.
class TVMROptions {
  public:
    explicit TVMROptions(TVideoWindow* owner) : FOwner(owner) {}

    TVMRMode Mode() const { return FMode; }
    void SetMode(TVMRMode value);
    int Streams() const { return FStreams; }
    // 1..16; other values store 1.
    void SetStreams(int value);
    uint32_t Preferences() const { return FPreferences; }
    void SetPreferences(uint32_t value);
    bool KeepAspectRatio() const { return FKeepAspectRatio; }
    void SetKeepAspectRatio(bool value) { FKeepAspectRatio = value; }

  private:
    void Changed();

    TVideoWindow* FOwner;
    TVMRMode FMode = vmrWindowed;
    int FStreams = 4;
    uint32_t FPreferences = vpForceMixer;
    bool FKeepAspectRatio = true;
};

class TVideoWindow : public TRendererWindow {
  public:
    explicit TVideoWindow(QWidget* parent = nullptr);
    ~TVideoWindow() override;

    // IGraphListener
    void ControlEvent(TControlEvent event, intptr_t param) override;

    TVideoMode Mode() const { return FMode; }
    // vmVMR falls back to vmNormal when the mixing renderer cannot be created here; on an
    // active graph the new renderer is created at once.
    void SetMode(TVideoMode value);
    TVMROptions& VMROptions() { return FVMROptions; }
    bool FullScreen() const { return FFullScreen; }
    void SetFullScreen(bool value) { FFullScreen = value; }
    int DigitalZoom() const { return FDigitalZoom; }
    // 0..99: crops the picture (see DigitalZoomRect).
    void SetDigitalZoom(int value);
    // Places the picture over the control, moved up by the vertical zoom offset and taller by
    // ZoomExtraY.
    void UpdateVideoPosition() override;
    // Enable and verticalOnly: the picture grows by amount in height, centred. Enable alone:
    // the digital zoom (at most 50). Otherwise the zoom is reset.
    void ZoomPicture(int32_t amount, bool enable, bool verticalOnly);
    // How far the vertical zoom moves the picture's top (up by half the extra height).
    int32_t ZoomOffsetY() const { return FZoomOffsetY; }
    // The point of the picture (as it reaches the renderer, in its pixels) shown at a point
    // of the control; false while the picture's size is not known.
    bool PicturePoint(const QPoint& at, QPoint& picture) const;

    // Creates the renderer anew when attached to an active graph.
    void Refresh();

  protected:
    _GstElement* MakeRenderer(const char* name, _GstElement*& sink) override;
    void ConfigureRenderer() override;
    void ReleaseRenderer() override;
    void PictureChanged(int32_t code) override;

  private:
    void AdoptPipelineRenderer();
    void ApplyDigitalZoom();
    bool NativeSize(QSize& size) const;

    TVideoMode FMode = vmNormal;
    TVMROptions FVMROptions{this};
    bool FFullScreen = false;
    int FDigitalZoom = 0;
    _GstElement* FCrop = nullptr;  // inside the renderer, for the digital zoom
    int32_t FZoomOffsetY = 0;
};
