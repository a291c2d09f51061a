// The real binary starts on the display, shows its window, draws it, and ends with exit code 0
// when the window is closed, without writing into the build's folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "tests/support/TestMedia.h"
#include "tests/support/X11Support.h"

namespace {

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The share of pixels that differ between two images of the same size.
double ChangedShare(const QImage& before, const QImage& after) {
    if (before.size() != after.size() || before.isNull()) return 0;
    long long changed = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) changed += before.pixel(x, y) != after.pixel(x, y);
    return double(changed) / (double(before.width()) * before.height());
}

// Waits (bounded) until the window shows on what the screen showed before it appeared. The
// player's window is mostly black, as the empty screen behind it may be: its text and bottom
// bar are what changes.
bool WindowDrawn(const VexloProcess& vexlo, const QImage& screenBefore, const QRect& geometry) {
    QElapsedTimer clock;
    clock.start();
    do {
        const QImage shot = vexlo.Grab();
        EXPECT_EQ(shot.size(), geometry.size());
        if (ChangedShare(screenBefore.copy(geometry), shot) > 0.02) return true;
        QThread::msleep(200);
    } while (clock.elapsed() < 5000);
    return false;
}

void ExpectStartAndCleanClose(const QStringList& arguments) {
    const QString binDir = qEnvironmentVariable("VEXLO_BIN_DIR");
    const QStringList binBefore = Entries(binDir);
    const QImage screenBefore = GrabScreen();
    ASSERT_FALSE(screenBefore.isNull());

    VexloProcess vexlo;
    ASSERT_TRUE(vexlo.Start(arguments));
    ASSERT_TRUE(vexlo.WaitForWindow());
    EXPECT_TRUE(vexlo.IsViewable());
    const QRect geometry = vexlo.Geometry();
    EXPECT_GE(geometry.width(), 200);
    EXPECT_GE(geometry.height(), 150);
    EXPECT_TRUE(screenBefore.rect().contains(geometry))
        << "window at " << geometry.x() << "," << geometry.y() << " size " << geometry.width()
        << "x" << geometry.height() << " is not on the screen";
    EXPECT_TRUE(WindowDrawn(vexlo, screenBefore, geometry)) << "the window draws nothing";

    EXPECT_EQ(vexlo.Close(), 0) << vexlo.Output().toStdString();
    EXPECT_EQ(Entries(binDir), binBefore) << "the program wrote into the build's folder";
}

}  // namespace

TEST(StartupSmoke, ShowsItsWindowAndClosesCleanly) {
    ExpectStartAndCleanClose({});
}

TEST(StartupSmoke, StartsWithAClipOnTheCommandLine) {
    ExpectStartAndCleanClose({QString::fromStdString(TestMediaPath("video.mp4"))});
}
