// A Blu-ray playlist given to the real program: both clips of the generated disc show, one after
// the other, in the window.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <filesystem>

#include "tests/support/TestMedia.h"
#include "tests/support/X11Support.h"

namespace {

// The share of the image's pixels near the colour.
double ShareNear(const QImage& image, const QColor& colour) {
    int near = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            near += ColourNear(image.pixelColor(x, y), colour, 60);
    return double(near) / (double(image.width()) * image.height());
}

TEST(BluRayPlayback, BothClipsOfThePlaylistShowInOrder) {
    VexloProcess vexlo;
    const std::filesystem::path playlist = TestMediaPath("bluray/main/BDMV/PLAYLIST/00000.mpls");
    const std::string disc = vexlo.DriveRoot().toStdString() + "disc";
    std::filesystem::copy(playlist.parent_path().parent_path().parent_path(), disc,
                          std::filesystem::copy_options::recursive);
    ASSERT_TRUE(vexlo.Start({QString::fromStdString(disc + "/BDMV/PLAYLIST/00000.mpls")}));
    ASSERT_TRUE(vexlo.WaitForWindow());

    // The picture fills much of the window; the green overlay text alone never does.
    bool red = false, greenAfterRed = false, titled = false;
    QElapsedTimer clock;
    clock.start();
    while (!greenAfterRed && clock.elapsed() < 12000) {
        const QImage shot = vexlo.Grab();
        if (!shot.isNull()) {
            red = red || ShareNear(shot, QColor(kTestRed)) > 0.2;
            greenAfterRed = red && ShareNear(shot, QColor(kTestGreen)) > 0.2;
        }
        titled = titled || vexlo.Title().endsWith("[0:00:04] [00000.mpls]");
        QThread::msleep(150);
    }
    EXPECT_TRUE(red) << vexlo.Title().toStdString();
    EXPECT_TRUE(greenAfterRed) << vexlo.Title().toStdString();
    EXPECT_TRUE(titled) << "the title's length in the caption";
    EXPECT_EQ(vexlo.Close(), 0);
}

}  // namespace
