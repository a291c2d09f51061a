#include "graph/ShownSize.h"

#include <gst/gst.h>

#include <memory>
#include <mutex>

namespace {

constexpr const char* kShownSizeEvent = "vexlo-shown-size";

// What the bin knows: the size last told and the size of the picture coming in.
struct TShownSizeState {
    GstElement* Caps;  // the bin's caps stage, owned by the bin
    std::mutex Lock;
    int ShownWidth = 0, ShownHeight = 0;
    int InWidth = 0, InHeight = 0;

    // Scales down only: a picture shown larger than it is decoded is adjusted at its own size.
    void Apply() {
        std::unique_lock guard(Lock);
        const bool smaller = ShownWidth > 0 && InWidth > 0 &&
                             int64_t(ShownWidth) * ShownHeight < int64_t(InWidth) * InHeight;
        GstCaps* caps = smaller
                            ? gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, ShownWidth,
                                                  "height", G_TYPE_INT, ShownHeight, nullptr)
                            : gst_caps_new_empty_simple("video/x-raw");
        guard.unlock();
        GstCaps* current = nullptr;
        g_object_get(Caps, "caps", &current, nullptr);
        if (!current || !gst_caps_is_equal(current, caps))
            g_object_set(Caps, "caps", caps, nullptr);
        if (current) gst_caps_unref(current);
        gst_caps_unref(caps);
    }
};

using TSharedState = std::shared_ptr<TShownSizeState>;

void ForgetState(gpointer state) {
    delete static_cast<TSharedState*>(state);
}

GstPadProbeReturn NoteShownSize(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!IsShownSizeEvent(event)) return GST_PAD_PROBE_OK;
    const GstStructure* size = gst_event_get_structure(event);
    TShownSizeState& state = **static_cast<TSharedState*>(data);
    {
        std::lock_guard guard(state.Lock);
        gst_structure_get_int(size, "width", &state.ShownWidth);
        gst_structure_get_int(size, "height", &state.ShownHeight);
    }
    state.Apply();
    return GST_PAD_PROBE_DROP;
}

GstPadProbeReturn NoteIncomingSize(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    TShownSizeState& state = **static_cast<TSharedState*>(data);
    const GstStructure* format = gst_caps_get_structure(caps, 0);
    {
        std::lock_guard guard(state.Lock);
        gst_structure_get_int(format, "width", &state.InWidth);
        gst_structure_get_int(format, "height", &state.InHeight);
    }
    state.Apply();
    return GST_PAD_PROBE_OK;
}

void AddStateProbe(GstElement* bin, const char* padName, GstPadProbeType type,
                   GstPadProbeCallback callback, const TSharedState& state) {
    GstPad* pad = gst_element_get_static_pad(bin, padName);
    if (!pad) return;
    gst_pad_add_probe(pad, type, callback, new TSharedState(state), ForgetState);
    gst_object_unref(pad);
}

}  // namespace

void TellShownSize(GstPad* rendererPad, int width, int height) {
    if (width <= 0 || height <= 0) return;
    GstStructure* size = gst_structure_new(kShownSizeEvent, "width", G_TYPE_INT, width, "height",
                                           G_TYPE_INT, height, nullptr);
    gst_pad_push_event(rendererPad, gst_event_new_custom(GST_EVENT_CUSTOM_UPSTREAM, size));
}

bool IsShownSizeEvent(GstEvent* event) {
    const GstStructure* size = gst_event_get_structure(event);
    return GST_EVENT_TYPE(event) == GST_EVENT_CUSTOM_UPSTREAM && size &&
           gst_structure_has_name(size, kShownSizeEvent);
}

void ScaleToShownSize(GstElement* bin, GstElement* caps) {
    auto state = std::make_shared<TShownSizeState>();
    state->Caps = caps;
    AddStateProbe(bin, "src", GST_PAD_PROBE_TYPE_EVENT_UPSTREAM, NoteShownSize, state);
    AddStateProbe(bin, "sink", GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, NoteIncomingSize, state);
}

void UseFastScaling(GstElement* scaler) {
    gst_util_set_object_arg(G_OBJECT(scaler), "method", "bilinear");
    gst_util_set_object_arg(G_OBJECT(scaler), "chroma-mode", "none");
    gst_util_set_object_arg(G_OBJECT(scaler), "dither", "none");
    g_object_set(scaler, "add-borders", FALSE, nullptr);
}
