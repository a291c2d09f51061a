#include "tests/graph/ToneLevels.h"

#include <gst/gst.h>

#include <algorithm>
#include <string>

#include "tests/support/TestMedia.h"

namespace {

// `level` still reports its channels in a GValueArray.
double FirstChannelRms(const GstStructure* message) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    const auto* channels =
        static_cast<const GValueArray*>(g_value_get_boxed(gst_structure_get_value(message, "rms")));
    return g_value_get_double(g_value_array_get_nth(const_cast<GValueArray*>(channels), 0));
    G_GNUC_END_IGNORE_DEPRECATIONS
}

}  // namespace

ToneLevels PlayTone(GstElement* equalizer, const std::function<void()>& during) {
    // No queue after the equaliser: what it does shows at the meter at once.
    const std::string launch = "filesrc location=\"" + TestMediaPath("tone.wav") +
                               "\" ! wavparse ! audioconvert name=in "
                               "level name=meter interval=100000000 ! fakesink sync=true";
    GstElement* pipeline = gst_parse_launch(launch.c_str(), nullptr);
    GstElement* in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    GstElement* meter = gst_bin_get_by_name(GST_BIN(pipeline), "meter");
    gst_bin_add(GST_BIN(pipeline), equalizer);
    gst_element_link_many(in, equalizer, meter, nullptr);
    gst_object_unref(in);
    gst_object_unref(meter);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    ToneLevels levels;
    int early = 0, late = 0;
    bool changed = false;
    while (GstMessage* message = gst_bus_timed_pop(bus, 5 * GST_SECOND)) {
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        const GstStructure* data = gst_message_get_structure(message);
        if (type == GST_MESSAGE_ELEMENT && gst_structure_has_name(data, "level")) {
            GstClockTime time = 0;
            gst_structure_get_clock_time(data, "stream-time", &time);
            const double db = FirstChannelRms(data);
            if (time < 600 * GST_MSECOND) levels.Early += db, ++early;
            if (time >= 1300 * GST_MSECOND && time < 1800 * GST_MSECOND) levels.Late += db, ++late;
            if (time >= 800 * GST_MSECOND && !changed && during) during(), changed = true;
        }
        gst_message_unref(message);
        if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) break;
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    levels.Early /= std::max(early, 1);
    levels.Late /= std::max(late, 1);
    return levels;
}
