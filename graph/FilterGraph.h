#pragma once
// The graph component: one GStreamer pipeline at a time, the members whose filters go into
// every pipeline it builds, and the listeners that hear its events.

#include <cstdint>
#include <string>

struct _GstElement;

enum TFilterOperation { foAdding = 0, foAdded = 1, foRemoving = 2, foRemoved = 3, foRefresh = 4 };

enum TControlEvent {
    cePlay = 0,
    cePause = 1,
    ceStop = 2,
    ceFileRendering = 3,
    ceFileRendered = 4,
    ceDVDRendering = 5,
    ceDVDRendered = 6,
    ceActive = 7
};

// A filter component or a video window: what it puts into each new pipeline.
class IGraphMember {
public:
    virtual ~IGraphMember() = default;
    // The member's element (borrowed; the member keeps it alive while it is in a graph), or
    // null: a member without a filter is skipped.
    virtual _GstElement* GetFilter() = 0;
    virtual std::string GetName() = 0;
    virtual void NotifyFilter(TFilterOperation operation) = 0;
};

// Video windows and the progress slider: every raw graph event and the control events.
class IGraphListener {
public:
    virtual ~IGraphListener() = default;
    virtual void GraphEvent(int32_t code, intptr_t param1, intptr_t param2) = 0;
    virtual void ControlEvent(TControlEvent event, intptr_t param) = 0;
};

enum TGraphMode { gmNormal = 0, gmCapture = 1, gmDVD = 2 };

class TFilterGraph;
