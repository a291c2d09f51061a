#include <gst/gst.h>
#include <gtest/gtest.h>

#include <string>

#include "graph/DecoderThreads.h"

namespace {

// The decoder's thread-type flags.
constexpr guint kAuto = 0, kSlice = 2;

// Encodes and decodes five frames of the given size and rate in a bin that chooses the
// decoder's threading; returns the threading the decoder ended up with.
guint ThreadingFor(int width, int height, int framesPerSecond) {
    GstElement* pipeline = gst_pipeline_new(nullptr);
    ThreadDecodersByRate(pipeline);
    const std::string description =
        "videotestsrc num-buffers=5 ! video/x-raw,width=" + std::to_string(width) +
        ",height=" + std::to_string(height) + ",framerate=" + std::to_string(framesPerSecond) +
        "/1 ! x264enc speed-preset=ultrafast ! h264parse ! avdec_h264 name=decoder ! fakesink";
    GError* error = nullptr;
    GstElement* chain = gst_parse_bin_from_description(description.c_str(), FALSE, &error);
    if (!chain) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        gst_object_unref(pipeline);
        return 0;
    }
    gst_bin_add(GST_BIN(pipeline), chain);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    EXPECT_TRUE(end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS);
    if (end) gst_message_unref(end);
    gst_object_unref(bus);
    GstElement* decoder = gst_bin_get_by_name(GST_BIN(chain), "decoder");
    guint threading = 0;
    g_object_get(decoder, "thread-type", &threading, nullptr);
    gst_object_unref(decoder);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return threading;
}

TEST(DecoderThreadsTest, SlicesUpTo1080pAt30AndFramesAbove) {
    gst_init(nullptr, nullptr);
    EXPECT_EQ(ThreadingFor(320, 240, 25), kSlice);
    EXPECT_EQ(ThreadingFor(1920, 1080, 30), kSlice);
    EXPECT_EQ(ThreadingFor(640, 480, 250), kAuto) << "a high rate keeps frame threading";
}

}  // namespace
