// DVD volumes on the graph component: what rendering reports for the authored disc and for
// volumes that cannot be played, the navigator's commands on the disc's menu and titles, and
// the title, chapter and time events.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <vector>

#include "graph/DirectShowErrors.h"
#include "graph/DvdNavigator.h"
#include "graph/FilterGraph.h"
#include "tests/support/EventPump.h"
#include "tests/support/GraphRender.h"

namespace {

// The disc's second menu button, in the picture's pixels.
constexpr DVD_POINT kButton2{520, 432};

// A path in the disc tools/make-test-dvd authors beside the clips.
std::string Disc(const std::string& name) {
    const std::string path =
        qEnvironmentVariable("VEXLO_TEST_MEDIA").toStdString() + "/dvd/" + name;
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(path))) << path;
    return path;
}

std::string DiscIfo() {
    return Disc("VIDEO_TS/VIDEO_TS.IFO");
}

// A copy of the disc's VIDEO_TS folder with only the files whose names start with prefix.
std::string CopyVideoTs(const QTemporaryDir& into, const QString& prefix) {
    const QDir disc(QString::fromStdString(Disc("VIDEO_TS")));
    const QString target = into.path() + "/VIDEO_TS";
    QDir().mkpath(target);
    for (const QString& name : disc.entryList(QDir::Files))
        if (name.startsWith(prefix)) QFile::copy(disc.filePath(name), target + "/" + name);
    return (target + "/VIDEO_TS.IFO").toStdString();
}

class ControlEvents : public IGraphListener {
  public:
    void GraphEvent(int32_t, intptr_t, intptr_t) override {}
    void ControlEvent(TControlEvent event, intptr_t param) override {
        Events.push_back({event, param});
    }
    std::vector<std::pair<TControlEvent, intptr_t>> Events;
};

class DvdGraphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Graph.InsertEventNotifier(&Listener);
        Graph.SetMode(gmDVD);
        Graph.SetActive(true);
    }
    void TearDown() override {
        Graph.SetActive(false);
        Graph.RemoveEventNotifier(&Listener);
    }
    HRESULT Render(const std::string& path) {
        QElapsedTimer clock;
        clock.start();
        const HRESULT result = RenderDvdAndWait(Graph, Status, path, AM_DVD_HWDEC_PREFER);
        EXPECT_LT(clock.elapsed(), 9000) << "rendering is bounded";
        return result;
    }
    // The disc rendered and playing its menu, with the time events on.
    void PlayDisc() {
        ASSERT_EQ(Render(DiscIfo()), S_OK);
        ASSERT_TRUE(Graph.Play());
        ASSERT_NE(Graph.DvdControl2(), nullptr);
        Graph.DvdControl2()->SetOption(DVD_HMSF_TimeCodeEvents, true);
        PumpFor(500);  // the navigator takes commands once the pipeline plays
    }
    // Starts title 2 from the menu with the mouse, as the player does.
    void StartTitle2() {
        IDvdControl2* dvd = Graph.DvdControl2();
        dvd->SelectAtPosition(kButton2);
        dvd->ActivateAtPosition(kButton2);
        ASSERT_TRUE(PumpUntil([&] { return Title == 2; }, 4000));
    }

    TFilterGraph Graph;
    ControlEvents Listener;
    AM_DVD_RENDERSTATUS Status;
    int Title = 0;
};

TEST_F(DvdGraphTest, TheAuthoredDiscRendersWithTheDvdControlEvents) {
    EXPECT_EQ(Render(DiscIfo()), S_OK);
    EXPECT_EQ(Status.iNumStreamsFailed, 0);
    EXPECT_FALSE(Status.bDvdVolInvalid || Status.bDvdVolUnknown);
    const std::vector<std::pair<TControlEvent, intptr_t>> expected = {
        {ceActive, 1}, {ceDVDRendering, 1}, {ceDVDRendered, 1}};
    EXPECT_EQ(Listener.Events, expected);
    int width = 0, height = 0;
    ASSERT_EQ(Graph.BasicVideo()->GetVideoSize(width, height), S_OK);
    EXPECT_EQ(width, 720);
    EXPECT_EQ(height, 576);
    // The VIDEO_TS folder and the folder above it name the same volume.
    EXPECT_EQ(Render(Disc("VIDEO_TS")), S_OK);
    EXPECT_EQ(Render(Disc("")), S_OK);
}

TEST_F(DvdGraphTest, VolumesThatCannotPlayReportWhyAndLeaveTheGraphUsable) {
    QTemporaryDir empty, damaged, noTitles;
    ASSERT_TRUE(QDir().mkpath(empty.path() + "/VIDEO_TS"));
    EXPECT_EQ(Render((empty.path() + "/VIDEO_TS").toStdString()), S_FALSE);
    EXPECT_TRUE(Status.bDvdVolUnknown);
    EXPECT_FALSE(Status.bDvdVolInvalid);

    // The source falls back to the backup copy of the information file: both are damaged.
    const std::string broken = CopyVideoTs(damaged, "");
    for (const char* name : {"VIDEO_TS.IFO", "VIDEO_TS.BUP"}) {
        QFile file(damaged.path() + "/VIDEO_TS/" + name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(2048, '\x5a'));
    }
    EXPECT_EQ(Render(broken), S_FALSE);
    EXPECT_TRUE(Status.bDvdVolInvalid);

    // The DVD source would play such a menu for ever; there is nothing to play behind it.
    EXPECT_EQ(Render(CopyVideoTs(noTitles, "VIDEO_TS")), S_FALSE);
    EXPECT_TRUE(Status.bDvdVolInvalid);

    EXPECT_EQ(Render(empty.path().toStdString() + "/missing/VIDEO_TS.IFO"), S_FALSE);
    EXPECT_TRUE(Status.bDvdVolInvalid);
    EXPECT_EQ(Render(""), S_FALSE);
    EXPECT_TRUE(Status.bDvdVolUnknown);
    EXPECT_EQ(Render("dvd/VIDEO_TS/VIDEO_TS.IFO"), E_INVALIDARG);

    // None of it spoils the next volume, and a failed render leaves nothing prerolled.
    EXPECT_EQ(Render(DiscIfo()), S_OK);
    EXPECT_EQ(Render(""), S_FALSE);
    GstState state = GST_STATE_VOID_PENDING;
    gst_element_get_state(Graph.Pipeline(), &state, nullptr, 0);
    EXPECT_EQ(state, GST_STATE_NULL);
}

TEST_F(DvdGraphTest, WithoutADvdGraphThereIsNothingToRenderOrControl) {
    Graph.SetActive(false);
    EXPECT_EQ(Graph.DvdControl2(), nullptr);
    Listener.Events.clear();
    EXPECT_EQ(RenderDvdAndWait(Graph, Status, DiscIfo(), 1), VFW_E_DVD_RENDERFAIL);
    Graph.SetMode(gmNormal);
    Graph.SetActive(true);
    EXPECT_EQ(Graph.DvdControl2(), nullptr);
    EXPECT_EQ(RenderDvdAndWait(Graph, Status, DiscIfo(), 1), VFW_E_DVD_RENDERFAIL);
    EXPECT_EQ(Listener.Events, (std::vector<std::pair<TControlEvent, intptr_t>>{{ceActive, 1}}));
}

TEST(DvdTimeCodes, PackHoursInTheLowestByteAndDigitsAsDecimal) {
    DVD_HMSF_TIMECODE time;
    time.bHours = 1;
    time.bMinutes = 5;
    time.bSeconds = 9;
    time.bFrames = 24;
    EXPECT_EQ(PackHMSF(time), 0x18090501u);
    EXPECT_EQ(PackTimeCode(time), 0x01050924u);
}

TEST_F(DvdGraphTest, TheMouseStartsATitleWhoseTimeAndChaptersAreReported) {
    std::vector<uint32_t> times;
    std::vector<int> chapters;
    Graph.OnDVDTitleChange = [&](int title) { Title = title; };
    Graph.OnDVDChapterStart = [&](int chapter) { chapters.push_back(chapter); };
    Graph.OnDVDCurrentHMSFTime = [&](uint32_t hmsf, uint32_t) { times.push_back(hmsf); };
    PlayDisc();
    IDvdControl2* dvd = Graph.DvdControl2();
    // In the menu: no chapters to skip, no time to seek to.
    EXPECT_EQ(dvd->PlayNextChapter(DVD_CMD_FLAG_None), E_FAIL);
    EXPECT_EQ(dvd->PlayBackwards(8.0, DVD_CMD_FLAG_None), E_FAIL);
    StartTitle2();
    ASSERT_TRUE(PumpUntil([&] { return !chapters.empty(); }, 2000));
    EXPECT_EQ(chapters.front(), 1);

    EXPECT_EQ(dvd->PlayNextChapter(DVD_CMD_FLAG_None), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return chapters.back() == 2; }, 2500));
    ASSERT_TRUE(PumpUntil([&] { return !times.empty(); }, 2500));
    const uint32_t last = times.back();
    EXPECT_EQ(last & 0xFFFF, 0u) << "hours and minutes";
    EXPECT_LE((last >> 16) & 0xFF, 6u) << "seconds into a 6-second title";
    EXPECT_LT(last >> 24, 25u) << "frames";

    // The title menu comes back: the menu refuses chapter skips again.
    EXPECT_EQ(dvd->ShowMenu(DVD_MENU_Title, DVD_CMD_FLAG_None), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return dvd->PlayNextChapter(DVD_CMD_FLAG_None) == E_FAIL; }, 2000));
}

TEST_F(DvdGraphTest, TimeSeeksAndRatesActWithinATitle) {
    Graph.OnDVDTitleChange = [&](int title) { Title = title; };
    PlayDisc();
    StartTitle2();
    IDvdControl2* dvd = Graph.DvdControl2();
    IMediaSeeking* seeking = Graph.MediaSeeking();
    DVD_HMSF_TIMECODE at;
    at.bSeconds = 2;
    EXPECT_EQ(dvd->PlayAtTime(at, DVD_CMD_FLAG_None), S_OK);
    int64_t position = 0;
    ASSERT_TRUE(PumpUntil(
        [&] { return SUCCEEDED(seeking->GetCurrentPosition(position)) && position >= 20000000; },
        2000));
    EXPECT_EQ(dvd->PlayBackwards(8.0, DVD_CMD_FLAG_None), S_OK);
    EXPECT_TRUE(PumpUntil(
        [&] { return SUCCEEDED(seeking->GetCurrentPosition(position)) && position < 10000000; },
        2000));
    EXPECT_EQ(dvd->PlayForwards(8.0, DVD_CMD_FLAG_None), S_OK);
    double rate = 0;
    seeking->GetRate(rate);
    EXPECT_EQ(rate, 8.0);
}

}  // namespace
