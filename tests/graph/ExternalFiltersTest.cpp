#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QSize>
#include <QTemporaryDir>
#include <functional>

#include "graph/ExternalFilters.h"
#include "graph/FilterGraph.h"
#include "graph/ShownSize.h"
#include "platform/RegistryStore.h"
#include "tests/graph/ToneLevels.h"
#include "tests/support/TestMedia.h"
#include "tests/support/GraphRender.h"

namespace {

class ExternalFiltersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("VEXLO_HOME", (home.path() + "/").toUtf8());
        RegisterExternalFilters();
    }
    void TearDown() override { qunsetenv("VEXLO_HOME"); }
    QTemporaryDir home;
};

// Plays `frames` frames of a solid colour in `input` caps through filter to a sink taking
// `output` caps, and returns the last sample the sink took, or null when the run failed.
// `prerolled` is given the sink once the first frame has reached it.
GstSample* LastSampleThrough(GstElement* filter, uint32_t argb, int frames, const char* input,
                             const char* output,
                             const std::function<void(GstElement*)>& prerolled = {}) {
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* source = gst_element_factory_make("videotestsrc", nullptr);
    g_object_set(source, "num-buffers", frames, "pattern", 17 /* solid colour */,
                 "foreground-color", argb, nullptr);
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "enable-last-sample", TRUE, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, filter, convert, sink, nullptr);
    GstCaps* in = gst_caps_from_string(input);
    GstCaps* out = gst_caps_from_string(output);
    gst_element_link_filtered(source, filter, in);
    gst_element_link(filter, convert);
    gst_element_link_filtered(convert, sink, out);
    gst_caps_unref(in);
    gst_caps_unref(out);
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND);
    if (prerolled) prerolled(sink);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    GstSample* sample = nullptr;
    if (end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS)
        g_object_get(sink, "last-sample", &sample, nullptr);
    if (end) gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return sample;
}

// Pushes one frame of a solid colour through filter and returns the mean colour that comes out.
QColor FilteredColour(GstElement* filter, uint32_t argb) {
    GstSample* sample = LastSampleThrough(filter, argb, 1, "video/x-raw",
                                          "video/x-raw,format=RGBx,width=64,height=48");
    if (!sample) return {};
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    long sums[3] = {};
    const size_t pixels = map.size / 4;
    for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) sums[c] += map.data[i * 4 + c];
    gst_buffer_unmap(buffer, &map);
    gst_sample_unref(sample);
    return QColor(sums[0] / pixels, sums[1] / pixels, sums[2] / pixels);
}

GstElement* NewPictureFilter() {
    return CreateFilterInstance(CLSID_ffdshowVideoDecoder);
}

TEST_F(ExternalFiltersTest, IdentitiesAreTheExternalOnes) {
    const TExternalFilter* equalizer = FindExternalFilter(CLSID_GraphicEqualizer);
    ASSERT_NE(equalizer, nullptr);
    EXPECT_EQ(GUIDToString(equalizer->ClassId), "{E4DCD60C-F449-4C78-895B-1FE9F85C7EDD}");
    EXPECT_EQ(equalizer->FileName, "DCGraphicEQ.ax");
    EXPECT_EQ(equalizer->RegistryKey, "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter");
    EXPECT_EQ(FindExternalFilter(CLSID_ffdshowRawVideoFilter)->RegistryKey,
              "Software\\GNU\\ffdshow_raw\\default");
    EXPECT_EQ(GUIDToString(IID_IffDecoder), "{00F99063-70D5-4BCC-9D88-3801F3E3881B}");
    for (const CLSID& id : {CLSID_ffdshowVideoDecoder, CLSID_ffdshowRawVideoFilter,
                            CLSID_ffdshowAudioProcessor, CLSID_GraphicEqualizer}) {
        SCOPED_TRACE(GUIDToString(id));
        GstElement* filter = CreateFilterInstance(id);
        ASSERT_NE(filter, nullptr);
        gst_object_unref(gst_object_ref_sink(filter));
    }
}

TEST_F(ExternalFiltersTest, DecoderInterfaceTakesKnownIdsAndGroupsOnly) {
    GstElement* filter = GST_ELEMENT(gst_object_ref_sink(NewPictureFilter()));
    IffDecoder* decoder = QueryffDecoder(filter);
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->PutParam(999, 1), E_INVALIDARG);
    EXPECT_EQ(decoder->PutParam(IDFF_saturation, 500), S_OK);
    EXPECT_EQ(decoder->GetParam(IDFF_saturation), 128) << "clamped to the panel's range";
    EXPECT_EQ(decoder->PutParam(IDFF_sharpness, 90), S_OK);
    EXPECT_EQ(decoder->ResetFilter(300), S_FALSE);
    EXPECT_EQ(decoder->ResetFilter(IDFF_filterPictProp), S_OK);
    EXPECT_EQ(decoder->GetParam(IDFF_saturation), 64);
    EXPECT_EQ(decoder->GetParam(IDFF_sharpness), 90) << "sharpness is its own group";
    EXPECT_EQ(decoder->ResetFilter(IDFF_filterSharpen), S_OK);
    EXPECT_EQ(decoder->GetParam(IDFF_sharpness), 20);
    gst_object_unref(filter);
    GstElement* equalizer =
        GST_ELEMENT(gst_object_ref_sink(CreateFilterInstance(CLSID_GraphicEqualizer)));
    EXPECT_EQ(QueryffDecoder(equalizer), nullptr);
    gst_object_unref(equalizer);
}

TEST_F(ExternalFiltersTest, PictureBinChangesThePictureVisibly) {
    const uint32_t grey = 0xff808080, red = 0xffc00000;
    GstElement* neutral = NewPictureFilter();
    const QColor same = FilteredColour(neutral, grey);
    EXPECT_NEAR(same.red(), 128, 6);
    EXPECT_NEAR(same.green(), 128, 6);
    EXPECT_NEAR(same.blue(), 128, 6);

    GstElement* bright = NewPictureFilter();
    QueryffDecoder(bright)->PutParam(IDFF_brightness, 100);
    EXPECT_GT(FilteredColour(bright, grey).lightness(), 128 + 60);

    GstElement* pale = NewPictureFilter();
    QueryffDecoder(pale)->PutParam(IDFF_saturation, 0);
    const QColor washed = FilteredColour(pale, red);
    EXPECT_LT(std::abs(washed.red() - washed.green()), 16) << "no colour left";

    GstElement* flat = NewPictureFilter();
    QueryffDecoder(flat)->PutParam(IDFF_contrast, 56);
    const QColor dull = FilteredColour(flat, 0xffffffff);
    EXPECT_LT(dull.lightness(), 230);
}

// Plays three grey 1280x720 frames through filter after the sink told it the size it shows
// them at; returns the size and the mean lightness of what reached the sink.
std::pair<QSize, int> ShownThroughFilter(GstElement* filter, QSize shown) {
    GstSample* sample =
        LastSampleThrough(filter, 0xff808080u, 3, "video/x-raw,format=I420,width=1280,height=720",
                          "video/x-raw,format=GRAY8", [shown](GstElement* sink) {
                              GstPad* input = gst_element_get_static_pad(sink, "sink");
                              TellShownSize(input, shown.width(), shown.height());
                              gst_object_unref(input);
                          });
    if (!sample) return {};
    GstVideoInfo info;
    gst_video_info_from_caps(&info, gst_sample_get_caps(sample));
    GstMapInfo map;
    gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ);
    long sum = 0;
    for (int row = 0; row < info.height; ++row)
        for (int x = 0; x < info.width; ++x) sum += map.data[row * info.stride[0] + x];
    gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
    gst_sample_unref(sample);
    return {QSize(info.width, info.height), int(sum / (info.width * info.height))};
}

TEST_F(ExternalFiltersTest, PictureIsAdjustedAtTheSizeItIsShownButNeverEnlarged) {
    GstElement* small = NewPictureFilter();
    QueryffDecoder(small)->PutParam(IDFF_brightness, 100);
    const auto [smallSize, smallLight] = ShownThroughFilter(small, QSize(320, 180));
    EXPECT_EQ(smallSize, QSize(320, 180));
    EXPECT_GT(smallLight, 128 + 60) << "the adjustment still applies at the shown size";

    const auto [largeSize, largeLight] = ShownThroughFilter(NewPictureFilter(), QSize(1920, 1080));
    EXPECT_EQ(largeSize, QSize(1280, 720)) << "a larger window leaves the decoded size";
    EXPECT_NEAR(largeLight, 128, 8);
}

TEST_F(ExternalFiltersTest, PictureSwitchOffInTheSettingsLeavesThePictureAlone) {
    RegistryStore store;
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default"));
    ASSERT_TRUE(
        store.SetDword(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", "isPictProp", 0));
    GstElement* filter = NewPictureFilter();
    QueryffDecoder(filter)->PutParam(IDFF_brightness, 100);
    EXPECT_NEAR(FilteredColour(filter, 0xff808080).lightness(), 128, 6);

    // The raw filter keeps its own settings.
    GstElement* raw = CreateFilterInstance(CLSID_ffdshowRawVideoFilter);
    QueryffDecoder(raw)->PutParam(IDFF_brightness, 100);
    EXPECT_GT(FilteredColour(raw, 0xff808080).lightness(), 128 + 60);
}

TEST_F(ExternalFiltersTest, ChainMembersPlayUnderTheirNamesWithAFreshInstanceEachTime) {
    TFilterGraph graph;
    TFilter decoder("FilterFFdshow"), equalizer("FilterAudioEQGraphic"), missing("RawFilter1");
    decoder.SetBaseFilter(DeviceMonikerBlock(CLSID_ffdshowVideoDecoder));
    equalizer.SetBaseFilter(DeviceMonikerBlock(CLSID_GraphicEqualizer));
    missing.SetBaseFilter(DeviceMonikerBlock(CLSID_ClvsdVideoDecoder));  // no stand-in
    for (TFilter* filter : {&equalizer, &missing, &decoder}) filter->SetFilterGraph(&graph);

    graph.SetActive(true);
    EXPECT_EQ(missing.GetFilter(), nullptr);
    GstElement* first = decoder.GetFilter();
    ASSERT_NE(first, nullptr);
    GWeakRef firstRef;
    g_weak_ref_init(&firstRef, first);
    RenderFileAndWait(graph, TestMediaPath("video.avi"));
    const auto names = graph.FilterNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "FilterFFdshow"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "FilterAudioEQGraphic"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "RawFilter1"), names.end());
    EXPECT_EQ(QueryffDecoder(graph.Pipeline()), QueryffDecoder(first));

    graph.SetActive(false);
    graph.FinishTeardown();
    EXPECT_EQ(g_weak_ref_get(&firstRef), nullptr) << "the instance goes with its graph";
    g_weak_ref_clear(&firstRef);
    graph.SetActive(true);
    EXPECT_NE(decoder.GetFilter(), nullptr);
    for (TFilter* filter : {&equalizer, &missing, &decoder}) filter->SetFilterGraph(nullptr);
}

}  // namespace

namespace {

// The mean colour of a clip's first picture after the filter, over the columns [from, to) of
// a 320-pixel-wide frame.
struct PlayedFrame {
    QImage Picture;
    QColor Mean(int from = 0, int to = kTestPictureWidth) const {
        long sums[3] = {};
        long count = 0;
        for (int y = 0; y < Picture.height(); ++y)
            for (int x = from + 8; x < to - 8; ++x, ++count) {
                const QColor colour = Picture.pixelColor(x, y);
                sums[0] += colour.red();
                sums[1] += colour.green();
                sums[2] += colour.blue();
            }
        return count ? QColor(sums[0] / count, sums[1] / count, sums[2] / count) : QColor();
    }
};

// Prerolls the clip through playbin with filter as its video filter and takes the picture.
PlayedFrame PlayThrough(GstElement* filter, const std::string& clip) {
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    gchar* uri = gst_filename_to_uri(TestMediaPath(clip).c_str(), nullptr);
    g_object_set(playbin, "uri", uri, "video-filter", filter, "video-sink",
                 gst_element_factory_make("fakesink", nullptr), "audio-sink",
                 gst_element_factory_make("fakesink", nullptr), nullptr);
    g_free(uri);
    gst_element_set_state(playbin, GST_STATE_PAUSED);
    PlayedFrame frame;
    if (gst_element_get_state(playbin, nullptr, nullptr, 10 * GST_SECOND) ==
        GST_STATE_CHANGE_SUCCESS) {
        GstCaps* rgb = gst_caps_from_string("video/x-raw,format=RGBx");
        GstSample* sample = nullptr;
        g_signal_emit_by_name(playbin, "convert-sample", rgb, &sample);
        gst_caps_unref(rgb);
        if (sample) {
            GstVideoInfo info;
            gst_video_info_from_caps(&info, gst_sample_get_caps(sample));
            GstMapInfo map;
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            gst_buffer_map(buffer, &map, GST_MAP_READ);
            frame.Picture =
                QImage(map.data, info.width, info.height, info.stride[0], QImage::Format_RGBX8888)
                    .copy();
            gst_buffer_unmap(buffer, &map);
            gst_sample_unref(sample);
        }
    }
    gst_element_set_state(playbin, GST_STATE_NULL);
    gst_object_unref(playbin);
    return frame;
}

// A picture filter with one setting pushed.
GstElement* PictureFilterWith(unsigned paramId, int value) {
    GstElement* filter = CreateFilterInstance(CLSID_ffdshowVideoDecoder);
    QueryffDecoder(filter)->PutParam(paramId, value);
    return filter;
}

TEST_F(ExternalFiltersTest, PlayedClipTakesThePushedPictureSettings) {
    const QColor green = PlayThrough(NewPictureFilter(), "green.mp4").Mean();
    ASSERT_TRUE(green.isValid()) << "the clip did not play";
    EXPECT_GT(green.green(), 220);
    EXPECT_LT(std::max(green.red(), green.blue()), 40) << "neutral values leave it as it is";

    const QColor grey = PlayThrough(PictureFilterWith(IDFF_saturation, 0), "green.mp4").Mean();
    EXPECT_LT(std::abs(grey.red() - grey.green()) + std::abs(grey.green() - grey.blue()), 12);

    const int level = green.lightness();
    EXPECT_GT(PlayThrough(PictureFilterWith(IDFF_brightness, 50), "green.mp4").Mean().lightness(),
              level + 30);
    EXPECT_LT(PlayThrough(PictureFilterWith(IDFF_brightness, -50), "green.mp4").Mean().lightness(),
              level - 30);
    // Contrast stretches the levels away from black: a bright picture darkens below 128.
    EXPECT_LT(PlayThrough(PictureFilterWith(IDFF_contrast, 56), "green.mp4").Mean().lightness(),
              level - 30);

    // Hue turns the red half of video.mp4 into another colour; the blue half moves too.
    const PlayedFrame turned = PlayThrough(PictureFilterWith(IDFF_hue, 120), "video.mp4");
    const QColor red = turned.Mean(0, kTestPictureWidth / 2);
    EXPECT_LT(red.red(), std::max(red.green(), red.blue()) - 60) << "red is no longer red";
    const QColor blue = turned.Mean(kTestPictureWidth / 2, kTestPictureWidth);
    EXPECT_LT(blue.blue(), std::max(blue.red(), blue.green()) - 60);
}

// The red-blue edge in the middle of video.mp4: how far the colours bleed across it.
int EdgeSpread(const PlayedFrame& frame) {
    const int middle = kTestPictureWidth / 2, row = kTestPictureHeight / 2;
    int spread = 0;
    for (int x = middle - 6; x < middle + 6; ++x) {
        const QColor colour = frame.Picture.pixelColor(x, row);
        spread += std::min(colour.red(), colour.blue());
    }
    return spread;
}

TEST_F(ExternalFiltersTest, SharpnessSoftensOrSharpensUnlessSwitchedOffInTheSettings) {
    const int neutral = EdgeSpread(PlayThrough(NewPictureFilter(), "video.mp4"));
    const int soft = EdgeSpread(PlayThrough(PictureFilterWith(IDFF_sharpness, 0), "video.mp4"));
    EXPECT_GT(soft, neutral + 100) << "below 20 the edge blurs";

    RegistryStore store;
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default"));
    ASSERT_TRUE(
        store.SetDword(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", "xsharpen", 0));
    const int off = EdgeSpread(PlayThrough(PictureFilterWith(IDFF_sharpness, 0), "video.mp4"));
    EXPECT_NEAR(off, neutral, 20);
}

TEST_F(ExternalFiltersTest, EqualizerSwitchedOffInItsSettingsKeepsTheSoundFlat) {
    RegistryStore store;
    const char* key = "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter";
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, key));
    ASSERT_TRUE(store.SetDword(HKEY_CURRENT_USER, key, "Enabled", 0));
    GstElement* equalizer = CreateFilterInstance(CLSID_GraphicEqualizer);
    IGraphicEqualizer* bands = QueryGraphicEqualizer(equalizer);
    EXPECT_FALSE(bands->Enabled());
    bands->SetBand(5, -24);
    EXPECT_EQ(bands->Band(5), -24) << "kept for when it is on";
    const ToneLevels levels = PlayTone(equalizer);
    EXPECT_NEAR(levels.Late, levels.Early, 1.5);
    EXPECT_GT(levels.Late, -30);
}

}  // namespace
