// The EVR video window: where the picture goes, which renderer a mode gets on this display,
// zoom and its reset parity, the pointer hiding, the trace lines, and a real picture under
// Xvfb.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStringList>

#include "desktop/ErrorUnit.h"
#include "tests/support/EventPump.h"
#include "tests/support/GraphRender.h"
#include "tests/support/TestMedia.h"
#include "tests/support/X11Support.h"
#include "video/EVRVideoWindow.h"

namespace {

bool OnX11() {
    return QGuiApplication::platformName() == "xcb";
}

QStringList LoggedLines() {
    return ErrorForm->MemoLog->toPlainText().split('\n', Qt::SkipEmptyParts);
}

void MoveMouse(QWidget& widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &move);
}

class EVRVideoWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        OpenErrorForm();
        ErrorForm->MemoLog->clear();
        Window.setObjectName("EVRVideoWindow1");
    }
    void TearDown() override { FreeErrorForm(); }
    // A renderer as the graph's activation would create and configure it.
    void AddRenderer() {
        Window.NotifyFilter(foAdding);
        Window.NotifyFilter(foAdded);
    }
    void RemoveRenderer() {
        Window.NotifyFilter(foRemoving);
        Window.NotifyFilter(foRemoved);
    }

    TFilterGraph Graph;  // outlives the window, which leaves it on destruction
    TEVRVideoWindow Window;
};

TEST(VideoDestinationRect, OverhangsAndZooms) {
    const QSize client(640, 360);
    EXPECT_EQ(VideoDestinationRect(client, 0, 0), QRect(QPoint(-10, -2), QPoint(649, 361)));
    EXPECT_EQ(VideoDestinationRect(client, 40, 40),
              QRect(QPoint(-50, -42), QPoint(689, 401)));
    EXPECT_EQ(VideoDestinationRect(client, 0, 40), QRect(QPoint(-10, -42), QPoint(649, 401)));
}

TEST(IsSoftwareGLRenderer, TellsRasterisersFromHardware) {
    EXPECT_TRUE(IsSoftwareGLRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(IsSoftwareGLRenderer("Gallium 0.4 on softpipe"));
    EXPECT_TRUE(IsSoftwareGLRenderer("Software Rasterizer"));
    EXPECT_FALSE(IsSoftwareGLRenderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_FALSE(IsSoftwareGLRenderer("NVIDIA GeForce GTX 1650/PCIe/SSE2"));
}

// Xvfb offers neither Xv ports nor hardware OpenGL; on a machine without a graphics device
// the probe must not have loaded the software rasteriser into the process either.
TEST_F(EVRVideoWindowTest, FallsBackToTheClassicRendererUnderXvfb) {
    if (!OnX11()) GTEST_SKIP() << "needs the X display";
    ASSERT_NE(gst_element_factory_find("xvimagesink"), nullptr);
    EXPECT_EQ(Window.Mode(), vdmNormal);
    Window.SetMode(vdmVMR);
    EXPECT_EQ(Window.Mode(), vdmNormal);
    Window.SetMode(vdmEVR);
    EXPECT_EQ(Window.Mode(), vdmNormal);
    EXPECT_TRUE(RendererCreatable(vdmNormal));
    if (QDir("/dev/dri").isEmpty() && !QFileInfo::exists("/dev/nvidiactl")) {
        QFile maps("/proc/self/maps");
        ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        EXPECT_FALSE(mapped.contains("swrast_dri") || mapped.contains("libLLVM"))
            << "a software OpenGL stack stayed in the process";
    }

    AddRenderer();
    ASSERT_NE(Window.GetFilter(), nullptr);
    EXPECT_STREQ(GST_OBJECT_NAME(Window.GetFilter()), "EVRVideoWindow1");
    EXPECT_EQ(LoggedLines(), QStringList{"NotifyFilter foAdding CLSID_VideoRenderer"});
    RemoveRenderer();
    EXPECT_EQ(Window.GetFilter(), nullptr);
}

// Offscreen the classic renderer is a null one, so the graph still plays to the end.
TEST_F(EVRVideoWindowTest, PlaysToTheEndWithoutADisplay) {
    if (OnX11()) GTEST_SKIP() << "for the offscreen platform";
    bool complete = false;
    Graph.OnGraphComplete = [&](HRESULT, intptr_t) { complete = true; };
    Window.SetFilterGraph(&Graph);
    Graph.SetActive(true);
    ASSERT_NE(Window.GetFilter(), nullptr);
    EXPECT_EQ(LoggedLines(), QStringList{"NotifyFilter foAdding CLSID_VideoRenderer"});
    RenderFileAndWait(Graph, TestMediaPath("short.mp4"));
    Graph.Play();
    EXPECT_TRUE(PumpUntil([&] { return complete; }, 5000));
    Graph.SetActive(false);
}

TEST_F(EVRVideoWindowTest, ZoomSetsTheExtrasAndOnlyEveryOtherResetReplaces) {
    int resizes = 0;
    Window.OnResize = [&] { ++resizes; };
    Window.ZoomPicture(40, true, false);
    EXPECT_EQ(Window.ZoomExtraX(), 40);
    EXPECT_EQ(Window.ZoomExtraY(), 40);
    Window.ZoomPicture(30, true, true);
    EXPECT_EQ(Window.ZoomExtraX(), 0);
    EXPECT_EQ(Window.ZoomExtraY(), 30);
    EXPECT_EQ(resizes, 2);

    Window.ZoomPicture(0, false, false);
    EXPECT_EQ(resizes, 3);
    Window.ZoomPicture(25, true, false);  // zoom requests do not count
    Window.ZoomPicture(0, false, false);
    EXPECT_EQ(Window.ZoomExtraX(), 0);
    EXPECT_EQ(Window.ZoomExtraY(), 0);
    EXPECT_EQ(resizes, 4);  // the zoom, but not the second reset
    Window.ZoomPicture(0, false, false);
    EXPECT_EQ(resizes, 5);
}

TEST_F(EVRVideoWindowTest, PictureFollowsResizesUnlessAButtonIsHeld) {
    if (!OnX11()) GTEST_SKIP() << "needs the X display";
    Window.resize(400, 300);
    Window.show();
    AddRenderer();
    Window.UpdateVideoPosition();
    // The classic renderer takes the overhang as the others do.
    EXPECT_EQ(Window.VideoSurface()->geometry(), VideoDestinationRect(QSize(400, 300), 0, 0));
    Window.SetMouseButtonHeld(true);
    Window.resize(500, 350);
    EXPECT_EQ(Window.VideoSurface()->geometry(), VideoDestinationRect(QSize(400, 300), 0, 0));
    Window.SetMouseButtonHeld(false);
    Window.resize(520, 360);
    EXPECT_EQ(Window.VideoSurface()->geometry(), VideoDestinationRect(QSize(520, 360), 0, 0));
    RemoveRenderer();
}

TEST_F(EVRVideoWindowTest, HidesThePointerAfterThreeQuietSecondsAndShowsItOnAMove) {
    if (!OnX11()) GTEST_SKIP() << "needs the X display";
    Window.resize(320, 240);
    Window.show();
    AddRenderer();
    QWidget* surface = Window.VideoSurface();
    MoveMouse(Window, QPoint(10, 10));
    QElapsedTimer clock;
    clock.start();
    PumpFor(2500);
    EXPECT_NE(surface->cursor().shape(), Qt::BlankCursor);
    ASSERT_TRUE(PumpUntil([&] { return surface->cursor().shape() == Qt::BlankCursor; }, 1500));
    EXPECT_GE(Elapsed(clock), 2900);

    MoveMouse(Window, QPoint(10, 10));  // no movement: stays hidden
    EXPECT_EQ(surface->cursor().shape(), Qt::BlankCursor);
    MoveMouse(Window, QPoint(20, 12));
    EXPECT_NE(surface->cursor().shape(), Qt::BlankCursor);

    // Leaving the graph never leaves the pointer hidden.
    ASSERT_TRUE(PumpUntil([&] { return surface->cursor().shape() == Qt::BlankCursor; }, 4000));
    RemoveRenderer();
    EXPECT_NE(surface->cursor().shape(), Qt::BlankCursor);
}

TEST_F(EVRVideoWindowTest, ControlEventsOutsidePlaybackLogNothing) {
    Window.ControlEvent(ceFileRendering, 0);
    Window.ControlEvent(ceDVDRendering, 0);
    Window.ControlEvent(ceActive, 1);
    EXPECT_TRUE(LoggedLines().isEmpty());
    Window.ControlEvent(ceDVDRendered, 0);
    EXPECT_EQ(LoggedLines(), QStringList{"ceDVDRendered Call"});
}

TEST_F(EVRVideoWindowTest, JoinsAndLeavesGraphComponents) {
    TFilterGraph other;
    Window.SetFilterGraph(&other);
    Window.SetFilterGraph(&Graph);
    EXPECT_TRUE(other.Members().empty());
    EXPECT_EQ(Graph.Members(), std::vector<IGraphMember*>{&Window});
    Window.SetFilterGraph(nullptr);
    EXPECT_TRUE(Graph.Members().empty());
}

// The red and blue halves of the clip show in the window, and the trace tells the story.
TEST_F(EVRVideoWindowTest, PlaysAClipIntoTheWindow) {
    if (!OnX11()) GTEST_SKIP() << "needs the X display";
    Window.setWindowFlags(Qt::FramelessWindowHint);
    Window.setGeometry(40, 40, 640, 360);
    Window.show();
    Window.SetMode(vdmEVR);
    Window.SetFilterGraph(&Graph);
    Graph.SetActive(true);
    RenderFileAndWait(Graph, TestMediaPath("video.mp4"));
    Graph.Play();
    PumpFor(800);
    EXPECT_EQ(Window.NativeVideoWidth(), kTestPictureWidth);
    EXPECT_EQ(Window.NativeVideoHeight(), kTestPictureHeight);

    const QImage screen = GrabScreen(QRect(40, 40, 640, 360));
    ASSERT_FALSE(screen.isNull());
    // Stretched over the whole window: red up to the middle, blue from there.
    EXPECT_TRUE(ColourNear(AverageColour(screen, QRect(8, 20, 300, 320)), QColor(kTestRed)));
    EXPECT_TRUE(ColourNear(AverageColour(screen, QRect(332, 20, 300, 320)), QColor(kTestBlue)));

    // A smaller window gets the whole picture again.
    Window.resize(320, 200);
    PumpFor(500);
    const QImage smaller = GrabScreen(QRect(40, 40, 320, 200));
    ASSERT_FALSE(smaller.isNull());
    EXPECT_TRUE(ColourNear(AverageColour(smaller, QRect(4, 10, 150, 180)), QColor(kTestRed)));
    EXPECT_TRUE(ColourNear(AverageColour(smaller, QRect(166, 10, 150, 180)), QColor(kTestBlue)));

    Graph.Stop();
    Graph.SetActive(false);
    EXPECT_EQ(
        LoggedLines(),
        (QStringList{"NotifyFilter foAdding CLSID_VideoRenderer", "cePause, ceStop, ceFileRendered",
                     "cePlay FDisplayControl <> nil", "cePause, ceStop, ceFileRendered"}));
    Window.SetFilterGraph(nullptr);
}

}  // namespace
