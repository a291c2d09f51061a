// The brightness filter as a filter (identity, controls, frames, type checks, "bfilter.ini")
// and as a GStreamer element in real pipelines.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/filters/FilterSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

class TransformMainTest : public FilterTest {
  protected:
    void SetUp() override {
        FilterTest::SetUp();
        Element = NewBrightnessFilter();
        ASSERT_NE(Element, nullptr);
        Filter = BrightnessControlFilter(Element);
        ASSERT_NE(Filter, nullptr);
    }
    void TearDown() override {
        if (Element) gst_object_unref(Element);
        FilterTest::TearDown();
    }
    int32_t Brightness() {
        int32_t value = 12345;
        EXPECT_EQ(Filter->GetBrightness(value), S_OK);
        return value;
    }
    // Links a fresh element to the filter's input pad, as a graph connects the pin.
    void ConnectInput() {
        GstElement* upstream = gst_element_factory_make("identity", nullptr);
        gst_object_ref_sink(upstream);
        GstPad* out = gst_element_get_static_pad(upstream, "src");
        GstPad* in = gst_element_get_static_pad(Element, "sink");
        ASSERT_EQ(gst_pad_link(out, in), GST_PAD_LINK_OK);
        gst_pad_unlink(out, in);
        gst_object_unref(out);
        gst_object_unref(in);
        gst_object_unref(upstream);
    }

    GstElement* Element = nullptr;
    TBrightnessControlFilter* Filter = nullptr;
};

TEST_F(TransformMainTest, IdentityNamesAndPages) {
    EXPECT_EQ(ClassFactoryName(CLSID_BrightnessFilter), "Quelm Brightness Filter");
    EXPECT_EQ(GUIDToString(CLSID_BrightnessFilter), "{440352CD-2644-44F8-978B-C67C840429D8}");
    EXPECT_EQ(GUIDToString(CLSID_LegacyAmFilterCategory), "{083863F1-70DE-11D0-BD40-00A0C911CE86}");
    EXPECT_EQ(GUIDToString(IID_IZorozuDeveduControl), "{EA6589CF-961F-4701-AA53-F045649C7C19}");
    EXPECT_EQ(std::string(GST_OBJECT_NAME(Element)),
              "Quelm Brightness Filter" + std::to_string(Filter->InstanceNumber()));
    GstElement* second = NewBrightnessFilter();
    EXPECT_EQ(BrightnessControlFilter(second)->InstanceNumber(), Filter->InstanceNumber() + 1);
    gst_object_unref(second);

    CLSID id;
    EXPECT_EQ(Filter->GetClassID(id), S_OK);
    EXPECT_EQ(id, CLSID_BrightnessFilter);
    std::vector<CLSID> pages;
    EXPECT_EQ(QuerySpecifyPropertyPages(Element)->GetPages(pages), S_OK);
    EXPECT_EQ(pages, std::vector<CLSID>{CLSID_BrightnessPage});
    EXPECT_EQ(GUIDToString(pages[0]), "{55FC213A-4FF3-4FAD-AAB7-B4A95F44DD34}");

    GstPad* in = gst_element_get_static_pad(Element, "sink");
    GstPad* out = gst_element_get_static_pad(Element, "src");
    EXPECT_EQ(BrightnessPinName(in), "XForm In");
    EXPECT_EQ(BrightnessPinName(out), "XForm Out");
    gst_object_unref(in);
    gst_object_unref(out);

    GstElement* other = gst_element_factory_make("identity", nullptr);
    gst_object_ref_sink(other);
    EXPECT_EQ(QueryZorozuDeveduControl(other), nullptr);
    gst_object_unref(other);
    GstElementFactory* factory = gst_element_get_factory(Element);
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory)), GST_RANK_NONE);
}

TEST_F(TransformMainTest, BrightnessIsClampedAndContrastIsNot) {
    EXPECT_EQ(Brightness(), 0);
    EXPECT_EQ(Filter->SetBrightness(300), S_OK);
    EXPECT_EQ(Brightness(), 255);
    Filter->SetBrightness(-1000);
    EXPECT_EQ(Brightness(), -255);
    int16_t contrast = 0;
    Filter->GetContrast(contrast);
    EXPECT_EQ(contrast, 64);
    Filter->SetContrast(-500);
    Filter->GetContrast(contrast);
    EXPECT_EQ(contrast, -500);
    // The element's properties reach the same settings.
    g_object_set(Element, "brightness", -7, "contrast", 90, nullptr);
    gint brightness = 0, factor = 0;
    g_object_get(Element, "brightness", &brightness, "contrast", &factor, nullptr);
    EXPECT_EQ(brightness, -7);
    EXPECT_EQ(factor, 90);
}

TEST_F(TransformMainTest, FramesFollowTheSwitches) {
    const Bytes frame{0, 10, 255, 100, 7};
    Filter->SetBrightness(100);
    EXPECT_EQ(RunFrame(*Filter, frame), (Bytes{100, 110, 255, 200, 107}));
    Filter->SetInvert(true);  // the brightness no longer counts
    EXPECT_EQ(RunFrame(*Filter, frame), (Bytes{255, 245, 0, 155, 248}));
    Filter->SetContrast(128);  // invert, then contrast
    EXPECT_EQ(RunFrame(*Filter, frame)[3], 182);
    Filter->SetInvert(false);
    Filter->SetContrast(64);
    Filter->SetBrightnessEnabled(false);
    Filter->MarkBrightnessOff();
    EXPECT_TRUE(BrightnessOffMark);
    EXPECT_EQ(RunFrame(*Filter, frame), frame);
    EXPECT_EQ(Brightness(), 100);  // switched off, not forgotten
    Filter->SetContrast(0);        // contrast applies with every switch off
    EXPECT_EQ(RunFrame(*Filter, frame), Bytes(5, 128));
}

TEST_F(TransformMainTest, TwoFiltersShareTheSwitchesNotTheirBrightness) {
    GstElement* secondElement = NewBrightnessFilter();
    TBrightnessControlFilter& second = *BrightnessControlFilter(secondElement);
    Filter->SetBrightness(50);
    EXPECT_EQ(RunFrame(second, {10}), Bytes{10});
    Filter->SetInvert(true);
    EXPECT_EQ(RunFrame(second, {10}), Bytes{245});
    gboolean invert = FALSE;
    g_object_get(secondElement, "invert", &invert, nullptr);
    EXPECT_TRUE(invert);
    gst_object_unref(secondElement);
}

TEST_F(TransformMainTest, SamplePropertiesAreCarriedAndEmptySamplesLeaveTheOutput) {
    GstBuffer* input = BufferOf({1, 2, 3, 4});
    GST_BUFFER_PTS(input) = 40 * GST_MSECOND;
    GST_BUFFER_DURATION(input) = 20 * GST_MSECOND;
    GST_BUFFER_OFFSET(input) = 7;
    GST_BUFFER_OFFSET_END(input) = 8;
    GST_BUFFER_FLAG_SET(input, GST_BUFFER_FLAG_DISCONT);
    GstBuffer* output = BufferOf({0, 0, 0, 0});
    Filter->SetBrightness(1);
    ASSERT_EQ(Filter->Transform(input, output), S_OK);
    EXPECT_EQ(GST_BUFFER_PTS(output), 40 * GST_MSECOND);
    EXPECT_EQ(GST_BUFFER_DURATION(output), 20 * GST_MSECOND);
    EXPECT_EQ(GST_BUFFER_OFFSET(output), 7u);
    EXPECT_EQ(GST_BUFFER_OFFSET_END(output), 8u);
    EXPECT_TRUE(GST_BUFFER_FLAG_IS_SET(output, GST_BUFFER_FLAG_DISCONT));
    EXPECT_EQ(BytesOf(output), (Bytes{2, 3, 4, 5}));
    gst_buffer_unref(input);

    GstBuffer* empty = BufferOf({});
    EXPECT_EQ(Filter->Transform(empty, output), S_OK);
    EXPECT_EQ(BytesOf(output), (Bytes{2, 3, 4, 5}));
    gst_buffer_unref(empty);
    gst_buffer_unref(output);
}

TEST_F(TransformMainTest, AnOutputSmallerThanTheInputFailsWithoutWriting) {
    GstBuffer* input = BufferOf(Bytes(64, 1));
    GstBuffer* output = BufferOf(Bytes(16, 9));
    EXPECT_EQ(Filter->Transform(input, output), E_FAIL);
    EXPECT_EQ(BytesOf(output), Bytes(16, 9));
    EXPECT_EQ(DebugLines(), std::vector<std::string>{
                                "dov: Error in TBrightnessControlFilter.CopyMediaSample call..."});
    gst_buffer_unref(input);
    gst_buffer_unref(output);
}

TEST_F(TransformMainTest, TypeChecks) {
    GstCaps* bgrx = VideoCaps("BGRx", 320, 240);
    EXPECT_EQ(Filter->CheckInputType(bgrx), S_OK);
    for (const char* format : {"RGB", "YUY2", "RGBx", "xRGB", "BGRA", "I420"}) {
        GstCaps* other = VideoCaps(format, 320, 240);
        EXPECT_EQ(Filter->CheckInputType(other), E_FAIL) << format;
        EXPECT_EQ(Filter->CheckTransform(other, bgrx), E_FAIL) << format;
        gst_caps_unref(other);
    }
    GstCaps* noFrame = gst_caps_from_string("video/x-raw, format=BGRx");
    EXPECT_EQ(Filter->CheckInputType(noFrame), E_FAIL);
    GstCaps* glMemory = gst_caps_from_string(
        "video/x-raw(memory:GLMemory), format=BGRx, width=320, height=240, framerate=30/1");
    EXPECT_EQ(Filter->CheckInputType(glMemory), E_FAIL);

    EXPECT_EQ(Filter->CheckTransform(bgrx, bgrx), S_OK);
    GstCaps* wider = VideoCaps("BGRx", 321, 240);
    GstCaps* audio = gst_caps_from_string("audio/x-raw, format=S16LE, rate=44100, channels=2");
    EXPECT_EQ(Filter->CheckTransform(bgrx, wider), E_INVALIDARG);
    EXPECT_EQ(Filter->CheckTransform(bgrx, audio), E_INVALIDARG);
    EXPECT_TRUE(DebugLines().empty());
    EXPECT_EQ(Filter->CheckTransform(bgrx, noFrame), E_FAIL);
    EXPECT_EQ(DebugLines(), std::vector<std::string>{
                                "dov: Error in TBrightnessControlFilter.CheckTransform call..."});
    for (GstCaps* caps : {bgrx, noFrame, glMemory, wider, audio}) gst_caps_unref(caps);
}

TEST_F(TransformMainTest, EachConnectionReloadsTheStoredBrightness) {
    Filter->SetBrightness(77);
    EXPECT_EQ(ConnectionStatus(), "");
    ConnectInput();  // no "bfilter.ini": 0
    EXPECT_EQ(Brightness(), 0);
    EXPECT_EQ(ConnectionStatus(), "Connected");
    StoreBrightness("500");
    ConnectInput();
    EXPECT_EQ(Brightness(), 255);
    StoreBrightness("-42");
    ConnectInput();
    EXPECT_EQ(Brightness(), -42);
    StoreBrightness("dark");
    ConnectInput();
    EXPECT_EQ(Brightness(), 0);
    // A brightness given as the element's property stays through later connections.
    g_object_set(Element, "brightness", 33, nullptr);
    StoreBrightness("-42");
    ConnectInput();
    EXPECT_EQ(Brightness(), 33);
}

// ---- In real pipelines

// Every frame of a pipeline ending in "appsink name=sink".
std::vector<Bytes> PullFrames(GstElement* pipeline) {
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    std::vector<Bytes> frames;
    for (;;) {
        GstSample* sample = nullptr;
        g_signal_emit_by_name(sink, "pull-sample", &sample);
        if (!sample) break;
        frames.push_back(BytesOf(gst_sample_get_buffer(sample)));
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    return frames;
}

GstElement* Launch(const std::string& middle) {
    const std::string description =
        "videotestsrc pattern=smpte num-buffers=3 ! video/x-raw,format=BGRx,width=64,height=48 ! " +
        middle + " appsink name=sink sync=false";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    if (error) g_error_free(error);
    return pipeline;
}

int ExpectedByte(int v, bool invert, int brightness, int contrast) {
    v = invert ? 255 - v : std::clamp(v + brightness, 0, 255);
    const int t = ((v - 128) * contrast) >> 6;
    return std::clamp(t + 128, 0, 255);
}

TEST_F(TransformMainTest, VideoTestSourceThroughTheElement) {
    GstElement* plain = Launch("");
    const std::vector<Bytes> source = PullFrames(plain);
    gst_object_unref(plain);
    ASSERT_EQ(source.size(), 3u);
    ASSERT_EQ(source[0].size(), 64u * 48u * 4u);

    struct Case {
        const char* properties;
        bool invert;
        int brightness, contrast;
    } cases[] = {{"brightness=40", false, 40, 64},
                 {"invert=true", true, 0, 64},
                 {"contrast=128", false, 0, 128},
                 {"brightness=40 invert=true contrast=128", true, 40, 128}};
    for (const Case& c : cases) {
        InvertEnabled = false;
        GstElement* pipeline = Launch(std::string("vexlobrightness ") + c.properties + " !");
        const std::vector<Bytes> frames = PullFrames(pipeline);
        gst_object_unref(pipeline);
        ASSERT_EQ(frames.size(), source.size()) << c.properties;
        for (size_t f = 0; f < frames.size(); ++f) {
            ASSERT_EQ(frames[f].size(), source[f].size());
            for (size_t i = 0; i < frames[f].size(); ++i)
                ASSERT_EQ(frames[f][i],
                          ExpectedByte(source[f][i], c.invert, c.brightness, c.contrast))
                    << c.properties << " frame " << f << " byte " << i;
        }
    }
}

// Other formats, and a size change asked downstream, are refused at linking or negotiation.
TEST_F(TransformMainTest, RefusedFormatsDoNotNegotiate) {
    const std::string source = "videotestsrc num-buffers=1 ! video/x-raw,format=";
    for (const std::string& description :
         {source + "RGB ! vexlobrightness ! fakesink", source + "YUY2 ! vexlobrightness ! fakesink",
          source + "BGRx,width=64,height=48 ! vexlobrightness ! video/x-raw,width=32 ! fakesink",
          source + "BGRx,width=64,height=48 ! vexlobrightness ! fakesink"}) {
        GError* error = nullptr;
        GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
        bool refused = false;
        if (error) {
            EXPECT_TRUE(g_error_matches(error, GST_PARSE_ERROR, GST_PARSE_ERROR_LINK))
                << error->message;
            refused = true;
            g_error_free(error);
        } else {
            gst_element_set_state(pipeline, GST_STATE_PLAYING);
            GstBus* bus = gst_element_get_bus(pipeline);
            GstMessage* message = gst_bus_timed_pop_filtered(
                bus, 10 * GST_SECOND,
                static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
            ASSERT_NE(message, nullptr) << description;
            refused = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
            gst_message_unref(message);
            gst_object_unref(bus);
            gst_element_set_state(pipeline, GST_STATE_NULL);
        }
        if (pipeline) gst_object_unref(pipeline);
        const bool plainBgrx = description.find("BGRx") != std::string::npos &&
                               description.find("width=32") == std::string::npos;
        EXPECT_EQ(refused, !plainBgrx) << description;
    }
}

TEST_F(TransformMainTest, TheOutputTypeIsTheInputType) {
    GstElement* pipeline = Launch("vexlobrightness name=filter !");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstSample* sample = nullptr;
    g_signal_emit_by_name(sink, "pull-sample", &sample);  // negotiated once a frame is through
    ASSERT_NE(sample, nullptr);
    gst_sample_unref(sample);
    gst_object_unref(sink);
    GstElement* filter = gst_bin_get_by_name(GST_BIN(pipeline), "filter");
    GstPad* in = gst_element_get_static_pad(filter, "sink");
    GstPad* out = gst_element_get_static_pad(filter, "src");
    GstCaps* inCaps = gst_pad_get_current_caps(in);
    GstCaps* outCaps = gst_pad_get_current_caps(out);
    ASSERT_NE(inCaps, nullptr);
    ASSERT_NE(outCaps, nullptr);
    EXPECT_TRUE(gst_caps_is_equal(inCaps, outCaps));
    for (GstCaps* caps : {inCaps, outCaps}) gst_caps_unref(caps);
    for (GstPad* pad : {in, out}) gst_object_unref(pad);
    gst_object_unref(filter);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

// Settings change from this thread while frames stream: each frame is made with one setting.
TEST_F(TransformMainTest, EachFrameUsesOneBrightnessWhileTheSettingsChange) {
    const char* description =
        "videotestsrc pattern=black num-buffers=200 ! video/x-raw,format=BGRx,width=160,height=120"
        " ! vexlobrightness name=filter ! appsink name=sink sync=false";
    GstElement* pipeline = gst_parse_launch(description, nullptr);
    GstElement* element = gst_bin_get_by_name(GST_BIN(pipeline), "filter");
    std::atomic<bool> done{false};
    std::thread control([&] {
        TBrightnessControlFilter* filter = BrightnessControlFilter(element);
        for (int i = 0; !done; ++i) {
            filter->SetBrightness(i % 2 ? 10 : 20);
            // A pause, not a yield: a thread that retakes the lock at once can starve the
            // streaming thread on a slow (sanitized) build.
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    });
    const std::vector<Bytes> frames = PullFrames(pipeline);
    done = true;
    control.join();
    EXPECT_EQ(frames.size(), 200u);
    for (const Bytes& frame : frames) {
        // Black is 0 in B, G and R and 255 in the padding byte.
        const int brightness = frame[0];
        EXPECT_TRUE(brightness == 0 || brightness == 10 || brightness == 20);
        for (size_t i = 0; i < frame.size(); ++i)
            ASSERT_EQ(frame[i], i % 4 == 3 ? 255 : brightness) << "byte " << i;
    }
    gst_object_unref(element);
    gst_object_unref(pipeline);
}

}  // namespace
