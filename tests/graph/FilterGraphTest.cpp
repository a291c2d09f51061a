#include <gst/gst.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>

#include "graph/AudioOutput.h"
#include "graph/DirectShowErrors.h"
#include "graph/FilterGraph.h"
#include "tests/support/EventPump.h"
#include "tests/support/GraphRender.h"
#include "tests/support/TestMedia.h"

namespace {

using Log = std::vector<std::string>;

// A member whose element is made by a GStreamer factory on each foAdding.
class TestMember : public IGraphMember {
  public:
    TestMember(TFilterGraph& graph, std::string name, Log& log,
               const char* factory = "videoconvert")
        : FGraph(graph), FName(std::move(name)), FLog(log), FFactory(factory) {}
    ~TestMember() override {
        FGraph.RemoveFilter(this);
        Drop();
    }
    _GstElement* GetFilter() override { return FElement; }
    std::string GetName() override { return FName; }
    void NotifyFilter(TFilterOperation operation) override {
        static const char* names[] = {"foAdding", "foAdded", "foRemoving", "foRemoved",
                                      "foRefresh"};
        FLog.push_back(FName + ":" + names[operation]);
        if (operation == foAdding && FFactory)
            FElement =
                GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make(FFactory, nullptr)));
        if (operation == foRemoved) Drop();
    }

  private:
    void Drop() {
        if (FElement) gst_object_unref(FElement);
        FElement = nullptr;
    }
    TFilterGraph& FGraph;
    std::string FName;
    Log& FLog;
    const char* FFactory;
    GstElement* FElement = nullptr;
};

class TestListener : public IGraphListener {
  public:
    TestListener(TFilterGraph& graph, Log& log) : FGraph(graph), FLog(log) {
        graph.InsertEventNotifier(this);
    }
    ~TestListener() override { FGraph.RemoveEventNotifier(this); }
    void GraphEvent(int32_t code, intptr_t param1, intptr_t) override {
        Codes.push_back(code);
        if (code == EC_VIDEO_SIZE_CHANGED) SizeParam = param1;
        if (code == EC_COMPLETE) FLog.push_back("GraphEvent:EC_COMPLETE");
    }
    void ControlEvent(TControlEvent event, intptr_t param) override {
        FLog.push_back("ce" + std::to_string(event) + ":" + std::to_string(param));
    }
    std::vector<int32_t> Codes;
    intptr_t SizeParam = 0;

  private:
    TFilterGraph& FGraph;
    Log& FLog;
};

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

class FilterGraphTest : public ::testing::Test {
  protected:
    void TearDown() override { SetGraphExceptionHook(nullptr); }
    Log log;
    TFilterGraph graph;
};

TEST_F(FilterGraphTest, MembersEnterEachNewGraphInOrderWithTheirNotifications) {
    TestMember a(graph, "A", log), b(graph, "B", log);
    TestListener listener(graph, log);
    graph.InsertFilter(&a);
    graph.InsertFilter(&b);

    graph.SetActive(true);
    EXPECT_EQ(log, (Log{"A:foAdding", "A:foAdded", "B:foAdding", "B:foAdded", "ce7:1"}));
    log.clear();
    graph.SetActive(false);
    EXPECT_EQ(log, (Log{"ce7:0", "A:foRemoving", "A:foRemoved", "B:foRemoving", "B:foRemoved"}));

    // Removed and inserted again, a member goes to the end of the list.
    graph.RemoveFilter(&a);
    graph.InsertFilter(&a);
    log.clear();
    graph.SetActive(true);
    EXPECT_EQ(log, (Log{"B:foAdding", "B:foAdded", "A:foAdding", "A:foAdded", "ce7:1"}));

    // While active, insertion and removal reach the live graph at once.
    TestMember c(graph, "C", log);
    log.clear();
    graph.InsertFilter(&c);
    graph.RemoveFilter(&b);
    EXPECT_EQ(log, (Log{"C:foAdding", "C:foAdded", "B:foRemoving", "B:foRemoved"}));
    EXPECT_EQ(graph.Members(), (std::vector<IGraphMember*>{&a, &c}));
}

TEST_F(FilterGraphTest, RemovingAMemberNeverInsertedChangesNothing) {
    TestMember a(graph, "A", log), stranger(graph, "S", log);
    graph.RemoveFilter(&stranger);  // no list yet
    graph.InsertFilter(&a);
    graph.SetActive(true);
    log.clear();
    graph.RemoveFilter(&stranger);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(graph.Members(), (std::vector<IGraphMember*>{&a}));
}

TEST_F(FilterGraphTest, ModeChangeOnAnActiveGraphGivesAFreshOne) {
    graph.SetActive(true);
    GstElement* first = graph.Pipeline();
    gst_object_ref(first);
    graph.SetMode(gmDVD);
    EXPECT_TRUE(graph.Active());
    EXPECT_NE(graph.Pipeline(), nullptr);
    graph.FinishTeardown();
    EXPECT_EQ(GST_OBJECT_REFCOUNT_VALUE(first), 1) << "the old graph must be released";
    gst_object_unref(first);
}

TEST_F(FilterGraphTest, InactiveGraphDoesNothingAndAnswersNoInterface) {
    EXPECT_EQ(RenderFileAndWait(graph, TestMediaPath("video.mp4")), S_FALSE);
    EXPECT_FALSE(graph.Play());
    EXPECT_FALSE(graph.Pause());
    EXPECT_FALSE(graph.Stop());
    graph.ClearGraph();
    EXPECT_EQ(graph.MediaSeeking(), nullptr);
    EXPECT_EQ(graph.BasicAudio(), nullptr);
    EXPECT_EQ(graph.BasicVideo(), nullptr);
    EXPECT_TRUE(graph.FilterNames().empty());
}

TEST_F(FilterGraphTest, VolumeMapsTheLinearScaleOntoDecibels) {
    EXPECT_EQ(LinearToDecibelVolume(0), -10000);
    EXPECT_EQ(LinearToDecibelVolume(2000), -1747);
    EXPECT_EQ(LinearToDecibelVolume(10000), 0);
    EXPECT_EQ(LinearToDecibelVolume(-5), -10000);
    EXPECT_EQ(LinearToDecibelVolume(20000), 0);

    graph.SetVolume(-5);
    EXPECT_EQ(graph.Volume(), 0);
    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath("tone.wav"));  // applies the stored volume
    int32_t applied = 1;
    ASSERT_EQ(graph.BasicAudio()->get_Volume(applied), S_OK);
    EXPECT_EQ(applied, -10000);
    gdouble factor = -1;
    g_object_get(graph.Pipeline(), "volume", &factor, nullptr);
    EXPECT_EQ(factor, 0.0) << "-10000 is silence";
    graph.SetVolume(20000);
    EXPECT_EQ(graph.Volume(), 10000);
    g_object_get(graph.Pipeline(), "volume", &factor, nullptr);
    EXPECT_NEAR(factor, 1.0, 1e-9);
    graph.SetVolume(2000);
    g_object_get(graph.Pipeline(), "volume", &factor, nullptr);
    EXPECT_NEAR(factor, std::pow(10.0, -1747 / 2000.0), 1e-6);
}

// Activates, renders and plays a clip; true when the end arrived as OnGraphComplete.
bool PlayToEnd(TFilterGraph& graph, const std::string& clip, double seconds, Log& log) {
    bool complete = false;
    graph.OnGraphComplete = [&](HRESULT result, intptr_t) {
        log.push_back("OnGraphComplete:" + std::to_string(result));
        complete = true;
    };
    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath(clip));
    graph.Play();
    return PumpUntil([&] { return complete; }, static_cast<int>(seconds * 1000) + 8000);
}

TEST_F(FilterGraphTest, EveryClipPlaysToItsEndAsGraphComplete) {
    TestMember eq(graph, "Equalizer", log, "audioconvert");
    graph.InsertFilter(&eq);
    TestListener listener(graph, log);
    for (const TestClip& clip : TestClips()) {
        if (clip.kind == TestClipKind::Bad) continue;
        SCOPED_TRACE(clip.name);
        log.clear();
        ASSERT_TRUE(PlayToEnd(graph, clip.name, clip.seconds, log));
        // Listeners first, then the component's own event.
        const auto seen = std::find(log.begin(), log.end(), "GraphEvent:EC_COMPLETE");
        EXPECT_TRUE(seen != log.end() &&
                    std::find(seen, log.end(), "OnGraphComplete:0") != log.end());
        EXPECT_TRUE(Contains(graph.FilterNames(), "Equalizer"));
        graph.SetActive(false);
    }
}

// The output is tried once, on the graph's worker; every later graph takes it as it is, and a
// machine without any sound device still hears a file in time (a fakesink that does not keep
// the clock would end a 2 s tone at once).
TEST_F(FilterGraphTest, SoundGoesToTheOutputChosenOnceAndKeepsTime) {
    graph.FinishTeardown();
    GstElement* output = GST_ELEMENT(gst_object_ref_sink(MakeAudioOutput("Output")));
    const std::string factory = GST_OBJECT_NAME(gst_element_get_factory(output));
    EXPECT_NE(factory, "autoaudiosink");
    if (factory == "fakesink") {
        gboolean sync = FALSE;
        g_object_get(output, "sync", &sync, nullptr);
        EXPECT_TRUE(sync);
    }
    gst_object_unref(output);
    QElapsedTimer played;
    played.start();
    ASSERT_TRUE(PlayToEnd(graph, "tone.mp3", 2, log));
    EXPECT_GE(played.elapsed(), 1800);
    EXPECT_TRUE(Contains(graph.FilterNames(), "Audio Renderer"));
}

TEST_F(FilterGraphTest, RenderedGraphAnswersItsInterfacesAndEvents) {
    TestListener listener(graph, log);
    int width = 0, height = 0;
    graph.OnGraphVideoSizeChanged = [&](int w, int h) { width = w, height = h; };
    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath("video.mkv"));
    int64_t duration = 0;
    ASSERT_EQ(graph.MediaSeeking()->GetDuration(duration), S_OK);
    EXPECT_NEAR(duration, 20'000'000, 1'000'000) << "100-ns units";
    int nativeWidth = 0, nativeHeight = 0;
    ASSERT_EQ(graph.BasicVideo()->GetVideoSize(nativeWidth, nativeHeight), S_OK);
    EXPECT_EQ(nativeWidth, kTestPictureWidth);
    EXPECT_EQ(nativeHeight, kTestPictureHeight);
    graph.Play();
    ASSERT_TRUE(PumpUntil([&] { return width != 0; }, 5000));
    EXPECT_EQ(width, kTestPictureWidth);
    EXPECT_EQ(height, kTestPictureHeight);
    EXPECT_EQ(listener.SizeParam, kTestPictureWidth | kTestPictureHeight << 16);
    // Playing picks a clock, which rewinds nothing: no clock-change event.
    PumpFor(300);
    const auto& codes = listener.Codes;
    EXPECT_EQ(std::find(codes.begin(), codes.end(), EC_CLOCK_CHANGED), codes.end());
    EXPECT_TRUE(Contains(graph.FilterNames(), "Null Renderer"));
}

TEST_F(FilterGraphTest, TracksGoByLanguageAndTitleAndCuesComeAtTheirTime) {
    // The graph outlives this body: its end takes the last cue away too.
    auto seen = std::make_shared<std::vector<std::string>>();
    graph.OnSubtitle = [seen](const std::string& text, int64_t) { seen->push_back(text); };
    const std::vector<std::string>& cues = *seen;
    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath("embedded.mkv"));
    EXPECT_EQ(graph.TrackNames(tkAudio),
              (std::vector<std::string>{"English - Main", "French - Commentary"}));
    EXPECT_EQ(graph.TrackNames(tkSubtitle), std::vector<std::string>{"English"});
    graph.Play();
    ASSERT_TRUE(PumpUntil([&] { return !cues.empty(); }, 5000));
    EXPECT_EQ(cues, std::vector<std::string>{"Embedded text here"});
    graph.SetCurrentTrack(tkAudio, 1);
    EXPECT_EQ(graph.CurrentTrack(tkAudio), 1);
    graph.Stop();
    EXPECT_EQ(cues.back(), "") << "a stop takes the cue away";
}

TEST_F(FilterGraphTest, StoredRateSurvivesDeactivationAndReachesTheNextGraph) {
    graph.SetRate(1.5);
    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath("video.mp4"));
    double rate = 0;
    graph.MediaSeeking()->GetRate(rate);
    EXPECT_EQ(rate, 1.5);
    graph.Play();
    GstElement* old = GST_ELEMENT(gst_object_ref(graph.Pipeline()));
    graph.SetActive(false);
    graph.FinishTeardown();
    EXPECT_EQ(GST_OBJECT_REFCOUNT_VALUE(old), 1) << "the old graph must be gone";
    GstState state = GST_STATE_PLAYING;
    gst_element_get_state(old, &state, nullptr, 0);
    EXPECT_EQ(state, GST_STATE_NULL);
    gst_object_unref(old);

    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath("green.mp4"));
    graph.Play();
    graph.SetRate(1.0);
    graph.MediaSeeking()->GetRate(rate);
    EXPECT_EQ(rate, 1.0);
    EXPECT_EQ(graph.Rate(), 1.0);
}

TEST_F(FilterGraphTest, FilesThatCannotPlayRaiseWithinSeconds) {
    QTemporaryDir folder;
    const std::string fifo = folder.filePath("pipe.avi").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> paths = {folder.filePath("missing.avi").toStdString(), fifo,
                                      folder.path().toStdString()};
    for (const std::string& bad : TestClipNames(TestClipKind::Bad))
        paths.push_back(TestMediaPath(bad));
    TestMember member(graph, "Member", log);
    graph.InsertFilter(&member);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        graph.SetActive(false);
        graph.SetActive(true);
        QElapsedTimer clock;
        clock.start();
        EXPECT_THROW(RenderFileAndWait(graph, path), EDirectShowException);
        EXPECT_LT(clock.elapsed(), 9000);
        EXPECT_TRUE(graph.Active());
        EXPECT_TRUE(Contains(graph.FilterNames(), "Member")) << "members' filters stay";
    }
    try {
        RenderFileAndWait(graph, paths[0]);
    } catch (const EDirectShowException& error) {
        EXPECT_EQ(error.ErrorCode(), HRESULT_FILE_NOT_FOUND);
    }
}

TEST_F(FilterGraphTest, HandlerExceptionGoesToTheHookAndLaterEventsStillCome) {
    std::vector<std::string> caught;
    SetGraphExceptionHook([&](const std::exception& error) { caught.push_back(error.what()); });
    bool thrown = false, complete = false;
    graph.OnDSEvent = [&](int32_t, intptr_t, intptr_t) {
        if (thrown) return;
        thrown = true;
        throw std::runtime_error("handler failed");
    };
    graph.OnGraphComplete = [&](HRESULT, intptr_t) { complete = true; };
    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath("short.mp4"));
    graph.Play();
    ASSERT_TRUE(PumpUntil([&] { return complete; }, 9000));
    EXPECT_EQ(caught, (std::vector<std::string>{"handler failed"}));
}

TEST_F(FilterGraphTest, ClearGraphKeepsOnlyTheMembers) {
    TestMember member(graph, "Member", log);
    graph.InsertFilter(&member);
    graph.SetActive(true);
    RenderFileAndWait(graph, TestMediaPath("video.avi"));
    graph.Play();
    const size_t rendered = graph.FilterNames().size();
    graph.ClearGraph();
    const auto names = graph.FilterNames();
    EXPECT_LT(names.size(), rendered);
    EXPECT_TRUE(Contains(names, "Member"));
    EXPECT_FALSE(std::any_of(names.begin(), names.end(),
                             [](const std::string& n) { return n.find("decodebin") != n.npos; }));
    EXPECT_TRUE(graph.Play()) << "an empty graph runs";
}

}  // namespace

namespace {

TEST(FilterMonikerTest, BlockHasThePersistedDeviceMonikerLayout) {
    const CLSID ffdshow = StringToGUID("{04FE9017-F873-410E-871E-AB91661A4EF7}");
    const std::vector<uint8_t> block = DeviceMonikerBlock(ffdshow);
    ASSERT_EQ(block.size(), 202u);
    EXPECT_EQ((std::vector<uint8_t>(block.begin(), block.begin() + 4)),
              (std::vector<uint8_t>{198, 0, 0, 0}));
    // {4315D437-5B8C-11D0-BD3B-00A0C911CE86} as stored: the first three fields little-endian.
    EXPECT_EQ((std::vector<uint8_t>(block.begin() + 4, block.begin() + 20)),
              (std::vector<uint8_t>{0x37, 0xD4, 0x15, 0x43, 0x8C, 0x5B, 0xD0, 0x11, 0xBD, 0x3B,
                                    0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}));
    EXPECT_EQ((std::vector<uint8_t>(block.begin() + 20, block.begin() + 24)),
              (std::vector<uint8_t>{178, 0, 0, 0}));
    std::u16string name;
    for (size_t i = 24; i < block.size(); i += 2)
        name.push_back(static_cast<char16_t>(block[i] | block[i + 1] << 8));
    EXPECT_EQ(name, std::u16string(u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\"
                                   u"{04FE9017-F873-410E-871E-AB91661A4EF7}") +
                        u'\0');
    EXPECT_EQ(MonikerBlockClassId(block), ffdshow);
}

TEST(FilterMonikerTest, DamagedBlocksAreRefused) {
    const std::vector<uint8_t> good =
        DeviceMonikerBlock(StringToGUID("{E4DCD60C-F449-4C78-895B-1FE9F85C7EDD}"));
    std::vector<uint8_t> shortBlock(good.begin(), good.end() - 2);
    std::vector<uint8_t> wrongClass = good;
    wrongClass[5] ^= 1;
    std::vector<uint8_t> wrongCategory = good;
    wrongCategory[24 + 2 * 13] = 'X';
    for (const auto& bad : {std::vector<uint8_t>{}, shortBlock, wrongClass, wrongCategory})
        EXPECT_THROW(MonikerBlockClassId(bad), std::invalid_argument);
}

}  // namespace
