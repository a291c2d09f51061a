// A graph's render waited for, as a test needs its outcome before it goes on.
#pragma once

#include <optional>
#include <string>

#include "graph/DirectShowErrors.h"
#include "graph/FilterGraph.h"
#include "tests/support/EventPump.h"

// Runs the event loop until the render started has its outcome (VFW_E_TIMEOUT when none
// comes); the graph's own outcome handler still hears it.
inline HRESULT WaitForRendered(TFilterGraph& graph) {
    std::optional<HRESULT> outcome;
    const auto previous = graph.OnRendered;
    graph.OnRendered = [&](HRESULT result) {
        outcome = result;
        if (previous) previous(result);
    };
    PumpUntil([&] { return outcome.has_value() || !graph.Rendering(); }, 20000);
    graph.OnRendered = previous;
    return outcome.value_or(VFW_E_TIMEOUT);
}

// The file rendered: S_FALSE while inactive, S_OK once prerolled; failures raise
// EDirectShowException, at once or once known.
inline HRESULT RenderFileAndWait(TFilterGraph& graph, const std::string& path) {
    const HRESULT started = graph.RenderFile(path);
    if (started != S_OK) return started;
    return DShowCheck(WaitForRendered(graph));
}

// The DVD volume rendered, with what its render reported.
inline HRESULT RenderDvdAndWait(TFilterGraph& graph, AM_DVD_RENDERSTATUS& status,
                                const std::string& path, uint32_t flags) {
    HRESULT result = graph.RenderDvd(path, flags);
    if (result == S_OK) result = WaitForRendered(graph);
    status = graph.DvdRenderStatus();
    return result;
}
