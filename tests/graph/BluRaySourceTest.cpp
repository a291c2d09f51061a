// Blu-ray playlists through our source: the generated disc trees (tools/make-bd-fixture) played
// by a bare playbin, where every frame can be seen, and through the graph component.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "graph/BluRayPlaylist.h"
#include "graph/BluRaySource.h"
#include "graph/BluRayTimeline.h"
#include "graph/DirectShowErrors.h"
#include "graph/FilterGraph.h"
#include "tests/support/EventPump.h"
#include "tests/support/GraphRender.h"
#include "tests/support/TestMedia.h"

namespace {

constexpr double kClipSeconds = 2.0;
constexpr double kFrameSeconds = 1.0 / kTestFramesPerSecond;

std::string Playlist(const std::string& tree) {
    return TestMediaPath("bluray/" + tree + "/BDMV/PLAYLIST/00000.mpls");
}

// ---- The path of a playlist ----

TEST(BluRayPlaylistPath, TheDiscIsTwoFoldersAboveAndTheNumberIsTheName) {
    std::string root;
    uint32_t number = 0;
    ASSERT_TRUE(ParseBluRayPlaylistPath("/media/MOVIE/BDMV/PLAYLIST/00042.MPLS", root, number));
    EXPECT_EQ(root, "/media/MOVIE/");
    EXPECT_EQ(number, 42u);
    ASSERT_TRUE(ParseBluRayPlaylistPath("/d//BDMV//PLAYLIST//99999.mpls", root, number));
    EXPECT_EQ(root, "/d/");
    EXPECT_EQ(number, 99999u);
    for (const char* bad :
         {"/a/b/0001.mpls", "/a/b/000001.mpls", "/a/b/0000x.mpls", "/a/b/00000.mpl",
          "/a/b/00000xmpls", "PLAYLIST/00000.mpls", "00000.mpls", "/00000.mpls", ""})
        EXPECT_FALSE(ParseBluRayPlaylistPath(bad, root, number)) << bad;
}

TEST(BluRayPlaylistUri, OnlyTheBluRayRuleTakesOurSourceAndThePathIsEscaped) {
    EXPECT_EQ(BluRayPlaylistUri("/films/a.avi"), "");
    EXPECT_EQ(BluRayPlaylistUri("/d/BDMV/PLAYLIST/00001.MPLS"),
              "vexlo-bluray:///d/BDMV/PLAYLIST/00001.MPLS");
    const std::string uri = BluRayPlaylistUri("/my disc #1/BDMV/PLAYLIST/00000.mpls");
    gchar* location = gst_uri_get_location(uri.c_str());
    EXPECT_STREQ(location, "/my disc #1/BDMV/PLAYLIST/00000.mpls") << uri;
    g_free(location);
}

// ---- Time stamps moved onto the title's timeline ----

// A source packet: PCR in the adaptation field, then a PES header with PTS and DTS.
std::vector<uint8_t> StampedPacket(uint64_t pcr, uint64_t pts, uint64_t dts) {
    std::vector<uint8_t> packet(192, 0xFF);
    uint8_t* p = packet.data() + 4;
    const uint8_t head[] = {0x47, 0x50, 0x11, 0x30, 7, 0x10};
    std::memcpy(p, head, sizeof head);
    p[6] = static_cast<uint8_t>(pcr >> 25), p[7] = static_cast<uint8_t>(pcr >> 17);
    p[8] = static_cast<uint8_t>(pcr >> 9), p[9] = static_cast<uint8_t>(pcr >> 1);
    p[10] = static_cast<uint8_t>(((pcr & 1) << 7) | 0x7E), p[11] = 0x2A;
    uint8_t* pes = p + 12;
    const uint8_t pesHead[] = {0, 0, 1, 0xE0, 0, 0, 0x80, 0xC0, 10};
    std::memcpy(pes, pesHead, sizeof pesHead);
    auto stamp = [](uint8_t* s, uint8_t prefix, uint64_t t) {
        s[0] = static_cast<uint8_t>((prefix << 4) | ((t >> 29) & 0x0E) | 1);
        s[1] = static_cast<uint8_t>(t >> 22), s[2] = static_cast<uint8_t>((t >> 14) | 1);
        s[3] = static_cast<uint8_t>(t >> 7), s[4] = static_cast<uint8_t>((t << 1) | 1);
    };
    stamp(pes + 9, 3, pts);
    stamp(pes + 14, 1, dts);
    return packet;
}

TEST(BluRayTimeline, ClockReferencesAndStampsMoveWithTheirMarkersKept) {
    constexpr uint64_t kWrap = uint64_t{1} << 33;
    std::vector<uint8_t> data = StampedPacket(126000, 130000, 126400);
    const std::vector<uint8_t> later = StampedPacket(306000, 310000, 306400);
    const std::vector<uint8_t> wrapped = StampedPacket(kWrap - 1000, 4000, kWrap - 500);
    data.insert(data.end(), wrapped.begin(), wrapped.end());
    data.push_back(0x47);  // a partial packet at the end stays as it is
    ShiftTransportTimes(data.data(), data.size(), 180000);
    EXPECT_TRUE(std::equal(later.begin(), later.end(), data.begin()));
    EXPECT_TRUE(std::equal(data.begin() + 192, data.begin() + 384,
                           StampedPacket(179000, 184000, 179500).begin()));
    EXPECT_EQ(data.back(), 0x47);
    ShiftTransportTimes(data.data(), 384, -180000);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 192,
                           StampedPacket(126000, 130000, 126400).begin()));
}

// ---- Playing the disc ----

struct TFrame {
    double Seconds;  // stream time
    bool Red, Green;
};

// A playbin on a playlist whose decoded frames are noted with their colour.
class BluRayPlayback : public ::testing::Test {
  protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        FPipeline = gst_element_factory_make("playbin", nullptr);
        ASSERT_TRUE(FPipeline);
        GstElement* sink = gst_parse_bin_from_description(
            "videoconvert ! video/x-raw,format=RGB ! fakesink name=frames sync=true", TRUE,
            nullptr);
        GstElement* silent = gst_element_factory_make("fakesink", nullptr);
        g_object_set(FPipeline, "uri", BluRayPlaylistUri(Playlist("main")).c_str(), "video-sink",
                     sink, "audio-sink", silent, nullptr);
        GstElement* frames = gst_bin_get_by_name(GST_BIN(sink), "frames");
        GstPad* pad = gst_element_get_static_pad(frames, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, NoteFrame, this, nullptr);
        gst_object_unref(pad);
        gst_object_unref(frames);
        FBus = gst_element_get_bus(FPipeline);
    }
    void TearDown() override {
        if (!FPipeline) return;
        gst_element_set_state(FPipeline, GST_STATE_NULL);
        gst_object_unref(FBus);
        gst_object_unref(FPipeline);
    }

    static GstPadProbeReturn NoteFrame(GstPad*, GstPadProbeInfo* info, gpointer self) {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
        const TFrame frame{GST_BUFFER_PTS(buffer) / 1e9, map.data[0] > 200 &&
                                                             map.data[1]<60, map.data[1]> 200 &&
                                                             map.data[0] < 60};
        gst_buffer_unmap(buffer, &map);
        auto* test = static_cast<BluRayPlayback*>(self);
        std::lock_guard<std::mutex> hold(test->FLock);
        test->FFrames.push_back(frame);
        return GST_PAD_PROBE_OK;
    }

    // The first message of these types within the time, or null.
    GstMessage* Wait(int types, double seconds) {
        return gst_bus_timed_pop_filtered(FBus, static_cast<GstClockTime>(seconds * GST_SECOND),
                                          static_cast<GstMessageType>(types | GST_MESSAGE_ERROR));
    }
    bool Reach(GstState state, int types) {
        gst_element_set_state(FPipeline, state);
        GstMessage* message = Wait(types, 10);
        const bool reached = message && GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR;
        if (message) gst_message_unref(message);
        return reached;
    }
    std::vector<TFrame> Frames() {
        std::lock_guard<std::mutex> hold(FLock);
        return FFrames;
    }
    double Position() {
        gint64 position = -1;
        gst_element_query_position(FPipeline, GST_FORMAT_TIME, &position);
        return position / 1e9;
    }

    GstElement* FPipeline = nullptr;
    GstBus* FBus = nullptr;
    std::mutex FLock;
    std::vector<TFrame> FFrames;
};

TEST_F(BluRayPlayback, BothClipsPlayInOrderAsOneTimelineWithoutAGap) {
    ASSERT_TRUE(Reach(GST_STATE_PLAYING, GST_MESSAGE_EOS));
    const std::vector<TFrame> frames = Frames();
    ASSERT_GE(frames.size(), 90u);
    size_t firstGreen = 0;
    while (firstGreen < frames.size() && !frames[firstGreen].Green) ++firstGreen;
    ASSERT_LT(firstGreen, frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(i < firstGreen ? frames[i].Red : frames[i].Green);
        if (i > 0) {
            EXPECT_NEAR(frames[i].Seconds - frames[i - 1].Seconds, kFrameSeconds, 0.002);
        }
    }
    EXPECT_NEAR(frames[firstGreen].Seconds - frames.front().Seconds, kClipSeconds, 0.002);
    EXPECT_NEAR(frames.size(), 2 * kClipSeconds * kTestFramesPerSecond, 2);
}

TEST_F(BluRayPlayback, SeeksLandOnTheTimelineInEitherClip) {
    ASSERT_TRUE(Reach(GST_STATE_PAUSED, GST_MESSAGE_ASYNC_DONE));
    gint64 duration = 0;
    ASSERT_TRUE(gst_element_query_duration(FPipeline, GST_FORMAT_TIME, &duration));
    EXPECT_NEAR(duration / 1e9, 2 * kClipSeconds, 0.05) << "the sum of both clips";
    // The title reads forwards only: a backward rate is refused.
    EXPECT_FALSE(gst_element_seek(FPipeline, -1.0, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                                  GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_SET, GST_SECOND));
    for (const double target : {3.0, 1.0, 3.4}) {
        SCOPED_TRACE(target);
        {
            std::lock_guard<std::mutex> hold(FLock);
            FFrames.clear();
        }
        ASSERT_TRUE(gst_element_seek_simple(FPipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                                            static_cast<gint64>(target * GST_SECOND)));
        gst_element_get_state(FPipeline, nullptr, nullptr, 5 * GST_SECOND);
        // Reading goes on from the entry point (an I-frame a second) at or before the target.
        const double landed = Position();
        EXPECT_LE(landed, target + 0.01);
        EXPECT_GE(landed, target - 1.0);
        const std::vector<TFrame> frames = Frames();
        ASSERT_FALSE(frames.empty());
        EXPECT_TRUE(landed < kClipSeconds - 0.01 ? frames.front().Red : frames.front().Green);
    }
}

// After a seek into the first clip, the second still follows on time.
TEST_F(BluRayPlayback, AfterASeekTheNextClipStillFollowsOnTime) {
    ASSERT_TRUE(Reach(GST_STATE_PAUSED, GST_MESSAGE_ASYNC_DONE));
    {
        std::lock_guard<std::mutex> hold(FLock);
        FFrames.clear();
    }
    ASSERT_TRUE(gst_element_seek_simple(FPipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                                        static_cast<gint64>(1.2 * GST_SECOND)));
    gst_element_get_state(FPipeline, nullptr, nullptr, 5 * GST_SECOND);
    const double landed = Position();
    ASSERT_TRUE(Reach(GST_STATE_PLAYING, GST_MESSAGE_EOS));
    const std::vector<TFrame> frames = Frames();
    ASSERT_FALSE(frames.empty());
    size_t firstGreen = 0;
    while (firstGreen < frames.size() && !frames[firstGreen].Green) ++firstGreen;
    ASSERT_LT(firstGreen, frames.size());
    EXPECT_NEAR(frames[firstGreen].Seconds - frames.front().Seconds, kClipSeconds - landed, 0.03);
    EXPECT_TRUE(frames.back().Green);
}

// ---- Through the graph component ----

class BluRayGraph : public ::testing::Test {
  protected:
    void TearDown() override { graph.SetActive(false); }
    TFilterGraph graph;
};

TEST_F(BluRayGraph, ThePlaylistRendersWithTheTitlesLengthAndEndsAsGraphComplete) {
    bool complete = false;
    graph.OnGraphComplete = [&](HRESULT, intptr_t) { complete = true; };
    graph.SetActive(true);
    EXPECT_EQ(RenderFileAndWait(graph, Playlist("main")), S_OK);
    int64_t duration = 0;
    ASSERT_TRUE(graph.MediaSeeking());
    EXPECT_EQ(graph.MediaSeeking()->GetDuration(duration), S_OK);
    EXPECT_NEAR(duration / 1e7, 2 * kClipSeconds, 0.05);
    EXPECT_TRUE(graph.Play());
    EXPECT_TRUE(PumpUntil([&] { return complete; }, 12000));
}

TEST_F(BluRayGraph, BadDiscsFailTheRenderQuicklyWithAClearError) {
    const std::pair<const char*, HRESULT> trees[] = {
        {"encrypted", VFW_E_UNSUPPORTED_STREAM},
        {"missing-clip", HRESULT_FILE_NOT_FOUND},
        {"damaged-playlist", VFW_E_INVALID_FILE_FORMAT},
        {"no-clip-info", VFW_E_INVALID_FILE_FORMAT},
        {"empty-ep-map", VFW_E_INVALID_FILE_FORMAT},
        {"", HRESULT_FILE_NOT_FOUND},
    };
    // A playlist file that lies on no disc.
    QTemporaryDir loose;
    const std::string lonely = loose.path().toStdString() + "/a/b/00000.mpls";
    std::filesystem::create_directories(loose.path().toStdString() + "/a/b");
    std::ofstream(lonely) << "MPLS0200";
    for (const auto& [tree, code] : trees) {
        SCOPED_TRACE(tree);
        graph.SetActive(false);
        graph.SetActive(true);
        QElapsedTimer clock;
        clock.start();
        try {
            RenderFileAndWait(graph, *tree ? Playlist(tree) : lonely);
            ADD_FAILURE() << "rendered";
        } catch (const EDirectShowException& error) {
            EXPECT_EQ(error.ErrorCode(), code) << error.what();
        }
        EXPECT_LT(clock.elapsed(), 2000);
    }
}

}  // namespace
