#include "graph/RenderWarmUp.h"

#include <gst/gst.h>
#include <malloc.h>
#include <sys/stat.h>

namespace {

constexpr GstClockTime kPrerollBound = 3 * GST_SECOND;

GstElement* MakeFakeSink() {
    return gst_element_factory_make("fakesink", nullptr);
}

void Preroll(GstElement* pipeline) {
    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return;
    GstBus* bus = gst_element_get_bus(pipeline);
    const auto done = static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR);
    if (GstMessage* message = gst_bus_timed_pop_filtered(bus, kPrerollBound, done))
        gst_message_unref(message);
    gst_object_unref(bus);
}

}  // namespace

void WarmUpRenderOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    GstElement* pipeline = uri ? gst_element_factory_make("playbin", nullptr) : nullptr;
    if (pipeline) {
        g_object_set(pipeline, "uri", uri, "video-sink", MakeFakeSink(), "audio-sink",
                     MakeFakeSink(), "text-sink", MakeFakeSink(), nullptr);
        Preroll(pipeline);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        // Its frames were freed in the streaming threads' heaps; handed back, they do not add
        // to what the real render takes next.
        malloc_trim(0);
    }
    g_free(uri);
}
