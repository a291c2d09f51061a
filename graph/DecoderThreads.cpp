#include "graph/DecoderThreads.h"

#include <gst/gst.h>

#include <cstdint>

namespace {

constexpr int64_t kSliceOnlyPixelRate = int64_t(1920) * 1088 * 30;

int64_t PixelRate(const GstStructure* format) {
    int width = 0, height = 0, num = 0, den = 1;
    gst_structure_get_int(format, "width", &width);
    gst_structure_get_int(format, "height", &height);
    if (!gst_structure_get_fraction(format, "framerate", &num, &den) || num <= 0 || den <= 0)
        num = 30, den = 1;  // a variable rate: take it as the common one
    return int64_t(width) * height * num / den;
}

// The decoder opens its codec with the threading it has when the caps reach it, so this runs
// just before: once, on the streaming thread.
GstPadProbeReturn ChooseThreading(GstPad*, GstPadProbeInfo* info, gpointer decoder) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const int64_t rate = PixelRate(gst_caps_get_structure(caps, 0));
    if (rate > 0 && rate <= kSliceOnlyPixelRate)
        gst_util_set_object_arg(G_OBJECT(decoder), "thread-type", "slice");
    return GST_PAD_PROBE_REMOVE;
}

bool IsFfmpegVideoDecoder(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory && g_str_has_prefix(gst_plugin_feature_get_name(factory), "avdec_") &&
           g_object_class_find_property(G_OBJECT_GET_CLASS(element), "thread-type");
}

// Runs on whichever thread adds the element.
void WatchAddedDecoder(GstBin*, GstBin*, GstElement* element, gpointer) {
    if (!IsFfmpegVideoDecoder(element)) return;
    GstPad* input = gst_element_get_static_pad(element, "sink");
    if (!input) return;
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, ChooseThreading, element,
                      nullptr);
    gst_object_unref(input);
}

}  // namespace

void ThreadDecodersByRate(GstElement* playbin) {
    g_signal_connect(playbin, "deep-element-added", G_CALLBACK(WatchAddedDecoder), nullptr);
}
