#pragma once
// What the video windows share: a control that joins a graph component as member and
// listener, embeds its renderer's output in a native child window, hides the pointer while
// the mouse rests over the picture, and reports the mouse through its own events.

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "graph/FilterGraph.h"

struct _GstElement;
struct _GstVideoOverlay;

// Milliseconds on a clock that never goes back, as the pointer hiding compares them.
int64_t TickCount();
// Sets a boolean property when the element has it.
void SetIfPresent(_GstElement* element, const char* property, bool value);
// A renderer that stretches the picture to its window: a bin of an optional crop stage
// (returned in crop, for the digital zoom), a scaler and the sink of the factory (an X image
// sink; returned in sink), named name. The sink only asks upstream for pictures of its window's
// size and the pipeline's own scaler would keep the aspect ratio with borders, so ours does the
// stretching. Null (and sink null) when an element is missing.
_GstElement* MakeScaledRenderer(const char* name, const char* sinkFactory, _GstElement*& sink,
                                _GstElement** crop);

class TVideoControl : public QWidget, public IGraphMember, public IGraphListener {
  public:
    explicit TVideoControl(QWidget* parent = nullptr);
    // Subclasses leave the graph component in their own destructors: the graph notifies the
    // member as it leaves.
    ~TVideoControl() override;

    TFilterGraph* FilterGraph() const { return FFilterGraph; }
    // Leaves the old graph component (member and listener) and joins the new one.
    void SetFilterGraph(TFilterGraph* graph);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);
    // The native child window the renderer draws into.
    QWidget* VideoSurface() const { return FSurface; }
    // Milliseconds without mouse movement before the pointer hides; 0 never hides it.
    int AutoHideCursor() const { return FAutoHideCursor; }
    void SetAutoHideCursor(int ms) { FAutoHideCursor = ms; }
    // Kept for the form's sake: no window system we run on asks a window before starting the
    // screen saver, so there is nothing to refuse.
    bool NoScreenSaver() const { return FNoScreenSaver; }
    void SetNoScreenSaver(bool value) { FNoScreenSaver = value; }

    // IGraphMember: the component's name.
    std::string GetName() override { return objectName().toStdString(); }

    std::function<void()> OnResize;
    std::function<void()> OnDblClick;
    std::function<void(const QMouseEvent&)> OnMouseDown;
    std::function<void(const QMouseEvent&)> OnMouseMove;
    std::function<void(const QMouseEvent&)> OnMouseUp;
    std::function<void(const QWheelEvent&)> OnMouseWheelUp;
    std::function<void(const QWheelEvent&)> OnMouseWheelDown;

  protected:
    // The renderer draws into the surface from here on; the pointer hides while it does.
    void EmbedRenderer(_GstElement* sink);
    // The renderer no longer draws into the surface: the pointer shows again and stops hiding,
    // and the surface turns black.
    void ReleaseSurface();
    // Black where the last picture was (no frame will come to cover it).
    void ClearSurface();
    // Whether the file is paused now (not stopped, not playing, not just prerolled): a paused
    // file is asked for a frame of the surface's size whenever that changes, and at once.
    void NotePaused(bool paused);
    // The renderer drawing into the surface, null while none does.
    _GstVideoOverlay* EmbeddedRenderer() const { return FEmbedded; }
    // Moves and sizes the surface; the renderer follows at once.
    void PlaceSurface(const QRect& rect);
    // Asks the renderer to draw its last picture again.
    virtual void Expose() {}
    // The control changed its size (or the zoom changed): the picture is placed again.
    virtual void Resize();
    void ShowPointer();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void PointerTimerTick();
    void NoteMouse(const QPoint& position);
    void FollowSurface();
    void RefreshFrame();

    TFilterGraph* FFilterGraph = nullptr;
    QColor FColor = Qt::black;
    QWidget* FSurface;
    _GstVideoOverlay* FEmbedded = nullptr;  // the renderer drawing into FSurface, not owned
    QSize FFollowedSize;                    // the surface size the renderer was last told
    bool FPaused = false;
    QTimer FPointerTimer;
    int FAutoHideCursor = 3000;
    QPoint FLastMousePos;
    int64_t FLastMouseTick = 0;
    bool FPointerHidden = false;
    bool FNoScreenSaver = false;
};
