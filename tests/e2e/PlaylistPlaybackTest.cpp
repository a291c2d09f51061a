// A folder of clips played as a user plays it: the panel opened from the bottom bar, a row
// clicked, the caption counting, the next row at the end; a file given on the command line
// repeating.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include "tests/support/TestMedia.h"
#include "tests/e2e/JourneySupport.h"
#include "tests/support/X11Support.h"

namespace {

void CopyClip(const std::string& clip, const QString& path) {
    QFile::remove(path);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(TestMediaPath(clip)), path));
}

}  // namespace

TEST(PlaylistPlayback, ARowPlaysWithItsTimeInTheCaptionAndTheNextRowFollows) {
    VexloProcess vexlo;
    const QString folder = vexlo.DriveRoot() + "films/";
    ASSERT_TRUE(QDir().mkpath(folder));
    CopyClip("video.mp4", folder + "a.mp4");
    CopyClip("video.mp4", folder + "b.mp4");
    QFile settings(vexlo.Home() + "Quelm.ini");
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(("[MedForm]\r\nVideoFolder=" + folder + "\r\n").toUtf8());
    settings.close();
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    const QRect geometry = vexlo.Geometry();
    QThread::msleep(600);  // the ready step

    vexlo.Click(QPoint(geometry.width() - 85, geometry.height() - 8));  // "Open"
    QThread::msleep(300);
    const int panelLeft = geometry.width() / 4;
    vexlo.Click(QPoint(panelLeft + 60, 16 + 8));  // the first row
    const QString counting = WaitForTitle(
        vexlo, QRegularExpression(R"(^\d+\.\d% - 0:00:0\d \[0:00:02\] \[a\.mp4\]$)"), 5000);
    EXPECT_TRUE(counting.endsWith("[a.mp4]")) << counting.toStdString();
    const QString next = WaitForTitle(vexlo, QRegularExpression(R"(\[b\.mp4\]$)"), 8000);
    EXPECT_TRUE(next.endsWith("[b.mp4]")) << next.toStdString();
    EXPECT_EQ(vexlo.Close(), 0);
}

TEST(PlaylistPlayback, AFileGivenOnTheCommandLineRepeats) {
    VexloProcess vexlo;
    const QString given = vexlo.DriveRoot() + "given.mp4";
    CopyClip("video.mp4", given);
    ASSERT_TRUE(vexlo.Start({given}));
    ASSERT_TRUE(vexlo.WaitForWindow());
    // Each round shows one second into the clip once; two of them mean it started again. Each
    // round opens the clip anew, which takes a few seconds on a loaded machine.
    int rounds = 0;
    bool atOneSecond = false;
    QElapsedTimer clock;
    clock.start();
    while (rounds < 2 && clock.elapsed() < 30000) {
        const bool now = vexlo.Title().contains(" - 0:00:01 [0:00:02] [given.mp4]");
        rounds += now && !atOneSecond;
        atOneSecond = now;
        QThread::msleep(50);
    }
    EXPECT_EQ(rounds, 2) << vexlo.Title().toStdString();
    EXPECT_EQ(vexlo.Close(), 0);
}

// "Loop All" goes on past files that cannot be played, and gives up only when no row plays.
// The good clip lasts two seconds: the caption, written once a second, could miss a shorter one.
TEST(PlaylistPlayback, LoopAllGoesOnPastDamagedFilesAndStopsWhenNoRowPlays) {
    VexloProcess vexlo;
    const QString folder =
        MakeMediaFolder(vexlo, "films",
                        {{"video.mp4", "a.mp4"}, {"empty.avi", "b.avi"}, {"random.mkv", "c.mkv"}});
    WriteSettings(vexlo, {"VideoFolder=" + folder});
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    const TPlayerLayout layout(vexlo.Geometry().size());
    QThread::msleep(600);
    vexlo.Click(layout.OpenLabel());
    QThread::msleep(300);
    vexlo.Click(layout.Row(layout.Window.width() / 4, 0));
    const QRegularExpression playingA(R"(\[a\.mp4\]$)"), failedC("c\\.mkv\\s+wrong format");
    const QString first = WaitForTitle(vexlo, playingA);
    ASSERT_TRUE(first.endsWith("[a.mp4]")) << first.toStdString();
    EXPECT_TRUE(WaitForTitle(vexlo, failedC, 15000).contains("wrong format"));
    EXPECT_TRUE(WaitForTitle(vexlo, playingA, 15000).endsWith("[a.mp4]"));

    // Every row damaged now: one round of failures, then the player rests on the last message.
    ASSERT_TRUE(QFile::remove(folder + "a.mp4"));
    CopyClip("text.avi", folder + "a.mp4");
    const QRegularExpression failedA("a\\.mp4\\s+wrong format");
    EXPECT_TRUE(WaitForTitle(vexlo, failedA, 15000).contains("wrong format"));
    QThread::msleep(3000);
    EXPECT_TRUE(vexlo.Title().contains(failedA)) << vexlo.Title().toStdString();
    EXPECT_EQ(vexlo.Close(), 0);
}
