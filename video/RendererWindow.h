#pragma once
// TRendererWindow: the renderer policy of the EVR and the classic video window. For each
// activation of its graph component it makes a renderer, hands it to the pipeline, embeds its
// output in the surface, stops and releases it as the graph lets go, and places the picture
// again on the graph events that move or resize it. Each window says which renderer it makes
// and where the picture goes; the zoom state is the window's own.

#include <cstdint>

#include "video/VideoControl.h"

struct _GstElement;

class TRendererWindow : public TVideoControl {
  public:
    explicit TRendererWindow(QWidget* parent = nullptr);

    // IGraphMember: the renderer, unless the pipeline brought it (then it is there already).
    _GstElement* GetFilter() override;
    void NotifyFilter(TFilterOperation operation) override;
    // IGraphListener: a new picture size, palette or render device places the picture again.
    void GraphEvent(int32_t code, intptr_t param1, intptr_t param2) override;

    // Places the picture over the control, zoom included.
    virtual void UpdateVideoPosition() = 0;
    // The zoom's extra height above and below the picture, in pixels.
    int32_t ZoomExtraY() const { return FZoomExtraY; }
    // Whether the renderer is one the pipeline brought rather than ours.
    bool Adopted() const { return FAdopted; }

  protected:
    static constexpr int32_t kPaletteChanged = 9;    // EC_PALETTE_CHANGED
    static constexpr int32_t kRenderDeviceSet = 83;  // EC_VMR_RENDERDEVICE_SET

    // From the subclass's destructor: the graph notifies the member as it leaves.
    void LeaveGraph();
    // The window's renderer under the component's name (null for none): the element that
    // joins the pipeline, and in sink the element that draws (it or inside it). Null when it
    // cannot be made.
    virtual _GstElement* MakeRenderer(const char* name, _GstElement*& sink) = 0;
    // The renderer is made and owned (foAdding).
    virtual void RendererMade() {}
    // The renderer is in the pipeline (foAdded): embed and configure it.
    virtual void ConfigureRenderer() = 0;
    // Whether the renderer is stopped before the pipeline lets it go (foRemoving).
    virtual bool StopsRenderer() const { return true; }
    // Lets the renderer go (foRemoved, and before a new one is made); overrides call this one.
    virtual void ReleaseRenderer();
    // One of the graph events that place the picture arrived, before it is placed.
    virtual void PictureChanged(int32_t) {}
    // Takes over a renderer the pipeline holds (a new reference): it draws into our surface.
    void AdoptRenderer(_GstElement* renderer);
    _GstElement* RendererFilter() const { return FRendererFilter; }
    _GstElement* RendererSink() const { return FRendererSink; }
    // Of two zoom resets in a row only the first re-places the picture at once: whether this
    // reset does.
    bool TakeResetTurn();

    void Expose() override;
    void Resize() override;

    int32_t FZoomExtraY = 0;

  private:
    void CreateRenderer();
    void StopRenderer();

    _GstElement* FRendererFilter = nullptr;  // owned reference: what joins the pipeline
    _GstElement* FRendererSink = nullptr;    // the element that draws (it or inside it)
    bool FAdopted = false;
    int32_t FZoomResetParity = 0;
};
