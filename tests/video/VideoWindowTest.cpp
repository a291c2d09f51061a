// The classic video window: the digital zoom's crop, the vertical zoom and its reset parity,
// the renderer its mode gets, a renderer the pipeline brought taken over, and where a point
// of the window lies in the picture.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include "tests/support/EventPump.h"
#include "tests/support/GraphRender.h"
#include "video/EVRVideoWindow.h"
#include "video/VideoWindow.h"

namespace {

bool OnX11() {
    return QGuiApplication::platformName() == "xcb";
}

std::string DiscIfo() {
    const std::string path =
        qEnvironmentVariable("VEXLO_TEST_MEDIA").toStdString() + "/dvd/VIDEO_TS/VIDEO_TS.IFO";
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(path))) << path;
    return path;
}

// A member whose filter is an X image sink: a renderer of the pipeline's own choosing.
class ForeignRenderer : public IGraphMember {
  public:
    ~ForeignRenderer() override { Release(); }
    _GstElement* GetFilter() override { return FSink; }
    std::string GetName() override { return "Foreign Renderer"; }
    void NotifyFilter(TFilterOperation operation) override {
        if (operation == foAdding)
            FSink =
                GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("ximagesink", nullptr)));
        if (operation == foRemoved) Release();
    }

  private:
    void Release() {
        if (FSink) gst_object_unref(FSink);
        FSink = nullptr;
    }
    GstElement* FSink = nullptr;
};

class VideoWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        Window.setObjectName("VideoWindow1");
        Window.resize(400, 300);
    }
    void TearDown() override { Window.SetFilterGraph(nullptr); }
    void AddRenderer() {
        Window.NotifyFilter(foAdding);
        Window.NotifyFilter(foAdded);
    }
    QRect Surface() const { return Window.VideoSurface()->geometry(); }

    TFilterGraph Graph;  // outlives the window, which leaves it on destruction
    TVideoWindow Window;
};

TEST(DigitalZoomRect, CropsTheWidthByThePercentageAndKeepsTheProportions) {
    EXPECT_EQ(DigitalZoomRect(QSize(720, 576), 50), QRect(180, 144, 360, 288));
    EXPECT_EQ(DigitalZoomRect(QSize(720, 576), 0), QRect(0, 0, 720, 576));
    // 720 - 7.2 = 712.8 -> 712; 712 * 576 / 720 = 569.6 -> 569; (720 - 712) / 2 = 4; 3.5 -> 3.
    EXPECT_EQ(DigitalZoomRect(QSize(720, 576), 1), QRect(4, 3, 712, 569));
    EXPECT_EQ(DigitalZoomRect(QSize(0, 0), 50), QRect(0, 0, 0, 0));
}

TEST_F(VideoWindowTest, OptionsAndModeFallBackToWhatThisDisplayOffers) {
    EXPECT_EQ(Window.VMROptions().Streams(), 4);
    Window.VMROptions().SetStreams(17);
    EXPECT_EQ(Window.VMROptions().Streams(), 1);
    Window.VMROptions().SetStreams(16);
    EXPECT_EQ(Window.VMROptions().Streams(), 16);
    Window.SetDigitalZoom(120);
    EXPECT_EQ(Window.DigitalZoom(), 99);
    // Neither Xvfb nor the offscreen platform has an Xv port for the mixing renderer.
    Window.SetMode(vmVMR);
    EXPECT_EQ(Window.Mode(), vmNormal);
}

TEST_F(VideoWindowTest, VerticalZoomStretchesThePictureAndEveryOtherResetRestoresIt) {
    AddRenderer();
    ASSERT_NE(Window.GetFilter(), nullptr);
    EXPECT_EQ(Surface(), QRect(0, 0, 400, 300));
    Window.ZoomPicture(41, true, true);
    EXPECT_EQ(Window.ZoomExtraY(), 41);
    EXPECT_EQ(Surface(), QRect(0, -20, 400, 341));  // up 20, 41 taller, centred

    Window.ZoomPicture(80, true, false);  // the digital zoom, at most 50; the stretch stays
    EXPECT_EQ(Window.DigitalZoom(), 50);
    EXPECT_EQ(Surface(), QRect(0, -20, 400, 341));

    Window.ZoomPicture(0, false, false);
    EXPECT_EQ(Window.ZoomExtraY(), 0);
    EXPECT_EQ(Surface(), QRect(0, 0, 400, 300));
    EXPECT_EQ(Window.DigitalZoom(), 0);

    Window.ZoomPicture(30, true, false);
    Window.ZoomPicture(20, true, true);
    Window.ZoomPicture(0, false, false);  // the second reset in a row: the picture stays
    EXPECT_EQ(Window.ZoomExtraY(), 0);
    EXPECT_EQ(Window.DigitalZoom(), 30);
    EXPECT_EQ(Surface(), QRect(0, -10, 400, 320));
    Window.ZoomPicture(0, false, false);
    EXPECT_EQ(Window.DigitalZoom(), 0);
    EXPECT_EQ(Surface(), QRect(0, 0, 400, 300));
}

TEST_F(VideoWindowTest, AModeChangeOnAnActiveGraphMakesANewRenderer) {
    Window.SetFilterGraph(&Graph);
    Graph.SetActive(true);
    GstElement* first = Window.GetFilter();
    ASSERT_NE(first, nullptr);
    gst_object_ref(first);
    Window.SetMode(vmNormal);
    EXPECT_NE(Window.GetFilter(), nullptr);
    EXPECT_NE(Window.GetFilter(), first);
    EXPECT_EQ(Graph.Members(), std::vector<IGraphMember*>{&Window});
    gst_object_unref(first);
}

TEST_F(VideoWindowTest, PointsOfTheWindowMapOntoTheDvdPicture) {
    QPoint picture;
    EXPECT_FALSE(Window.PicturePoint(QPoint(10, 10), picture)) << "no picture yet";
    Window.resize(360, 288);
    Window.show();
    Window.SetFilterGraph(&Graph);
    Graph.SetMode(gmDVD);
    Graph.SetActive(true);
    AM_DVD_RENDERSTATUS status;
    ASSERT_EQ(RenderDvdAndWait(Graph, status, DiscIfo(), AM_DVD_HWDEC_PREFER), S_OK);
    ASSERT_TRUE(Window.PicturePoint(QPoint(260, 216), picture));
    EXPECT_EQ(picture, QPoint(520, 432));
    if (!OnX11()) return;  // the crop needs the X renderer
    Window.SetDigitalZoom(50);
    ASSERT_TRUE(Window.PicturePoint(QPoint(0, 0), picture));
    EXPECT_EQ(picture, QPoint(180, 144));
    ASSERT_TRUE(Window.PicturePoint(QPoint(180, 144), picture));
    EXPECT_EQ(picture, QPoint(360, 288));
}

TEST_F(VideoWindowTest, TakesOverARendererThePipelineBroughtInsteadOfItsOwn) {
    if (!OnX11()) GTEST_SKIP() << "needs the X display";
    ForeignRenderer foreign;
    Graph.InsertFilter(&foreign);  // the pipeline takes the first renderer of its members
    Window.SetFilterGraph(&Graph);
    Graph.SetMode(gmDVD);
    Graph.SetActive(true);
    EXPECT_FALSE(Window.Adopted());
    AM_DVD_RENDERSTATUS status;
    ASSERT_EQ(RenderDvdAndWait(Graph, status, DiscIfo(), AM_DVD_HWDEC_PREFER), S_OK);
    EXPECT_TRUE(Window.Adopted());
    EXPECT_EQ(Window.GetFilter(), nullptr) << "not ours to add or remove";
    Graph.SetActive(false);
    EXPECT_FALSE(Window.Adopted());
    Graph.RemoveFilter(&foreign);
}

TEST_F(VideoWindowTest, ReportsTheMouseThroughItsEvents) {
    int downs = 0, ups = 0, doubles = 0, wheelsUp = 0, wheelsDown = 0;
    Window.OnMouseDown = [&](const QMouseEvent&) { ++downs; };
    Window.OnMouseUp = [&](const QMouseEvent&) { ++ups; };
    Window.OnDblClick = [&] { ++doubles; };
    Window.OnMouseWheelUp = [&](const QWheelEvent&) { ++wheelsUp; };
    Window.OnMouseWheelDown = [&](const QWheelEvent&) { ++wheelsDown; };
    const QPointF at(20, 20);
    for (auto type :
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
        QMouseEvent event(type, at, Window.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&Window, &event);
    }
    for (int delta : {120, -120, -120}) {
        QWheelEvent wheel(at, Window.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&Window, &wheel);
    }
    EXPECT_EQ(downs, 2) << "a double click is a press as well";
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(wheelsUp, 1);
    EXPECT_EQ(wheelsDown, 2);
}

}  // namespace
