// What people expect of a player today beyond the mouse: the keys every player knows, a film
// that resumes where it was left, files and folders dropped on the window, and a playlist that
// follows its folder while the player runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QUrl>

#include "platform/IniFile.h"
#include "tests/e2e/JourneySupport.h"
#include "tests/support/TestMedia.h"

namespace {

const QColor kGreen(0, 255, 0), kRed(255, 0, 0);

// The seconds of the time in the caption ("12.5% - 0:01:05 [..."), or -1 without one.
int CaptionSeconds(const QString& caption) {
    const QRegularExpressionMatch time =
        QRegularExpression(R"( - (\d+):(\d\d):(\d\d) \[)").match(caption);
    if (!time.hasMatch()) return -1;
    return time.captured(1).toInt() * 3600 + time.captured(2).toInt() * 60 +
           time.captured(3).toInt();
}

class EverydayJourney : public TFolderJourney {
  protected:
    // Waits until the caption's time lies in [from, to] seconds; returns the last caption.
    QString WaitForSeconds(int from, int to, int timeoutMs = 5000) {
        QString caption;
        WaitFor(
            [&] {
                caption = vexlo.Title();
                const int seconds = CaptionSeconds(caption);
                return seconds >= from && seconds <= to;
            },
            timeoutMs);
        return caption;
    }
    // The left part of the picture (the films are red on the left, the green clips all green).
    bool PictureIs(const QColor& colour) {
        const QRect picture = layout->Picture();
        return WaitForColour(vexlo, {picture.left() + 20, picture.top() + 20,
                                     picture.width() / 2 - 40, picture.height() - 100}, colour);
    }
};

TEST_F(EverydayJourney, TheKeysEveryPlayerKnowsDriveTheFileTheListAndTheWindow) {
    Open({{"video.mp4", "a.mp4"}, {"film.mp4", "film.mp4"}, {"green.mp4", "z.mp4"}},
         {"Volumepos=2000"});
    PlayRow(1, "film.mp4");

    vexlo.Key("Right");
    QString caption = WaitForSeconds(5, 9);
    EXPECT_TRUE(caption.endsWith("[film.mp4]") && CaptionSeconds(caption) >= 5)
        << caption.toStdString();
    vexlo.Key("shift+Right");
    caption = WaitForSeconds(65, 72);
    EXPECT_GE(CaptionSeconds(caption), 65) << caption.toStdString();
    vexlo.Key("shift+Left");
    caption = WaitForSeconds(5, 14);
    EXPECT_LE(CaptionSeconds(caption), 14) << caption.toStdString();
    vexlo.Key("Home");
    caption = WaitForSeconds(0, 1);
    EXPECT_LE(CaptionSeconds(caption), 1) << caption.toStdString();

    // Space pauses (the time stands) and plays on.
    vexlo.Key("space");
    QThread::msleep(300);
    const QString paused = vexlo.Title();
    QThread::msleep(1500);
    EXPECT_EQ(vexlo.Title(), paused);
    vexlo.Key("space");
    caption = WaitForSeconds(CaptionSeconds(paused) + 1, 60);
    EXPECT_GT(CaptionSeconds(caption), CaptionSeconds(paused)) << caption.toStdString();

    // Page Down and Page Up play the next and the previous row.
    vexlo.Key("Next");
    caption = WaitForTitle(vexlo, QRegularExpression(R"(\[z\.mp4\]$)"));
    EXPECT_TRUE(caption.endsWith("[z.mp4]")) << caption.toStdString();
    EXPECT_TRUE(PictureIs(kGreen));
    vexlo.Key("Prior");
    caption = WaitForTitle(vexlo, QRegularExpression(R"(\[film\.mp4\]$)"));
    EXPECT_TRUE(PictureIs(kRed));

    vexlo.Key("m");
    EXPECT_EQ(WaitForTitle(vexlo, QRegularExpression("^Sound off$"), 2000), "Sound off");
    vexlo.Key("Up Up");  // the sound back, two tenths louder

    const QSize screen = QGuiApplication::primaryScreen()->size();
    vexlo.Key("f");
    EXPECT_TRUE(WaitFor([&] { return vexlo.Geometry().size() == screen; }))
        << vexlo.Geometry().width() << "x" << vexlo.Geometry().height();
    vexlo.Key("f");
    EXPECT_TRUE(WaitFor([&] { return vexlo.Geometry().size() == QSize(620, 400); }));
    Finish("keys");
    EXPECT_EQ(TIniFile((vexlo.Home() + "Quelm.ini").toStdString())
                  .ReadInteger("MedForm", "Volumepos", 0),
              4000);
}

TEST_F(EverydayJourney, AFilmResumesWhereItWasLeftAtTheNextStartUnlessSwitchedOff) {
    Open({{"film.mp4", "film.mp4"}, {"video.mp4", "short.mp4"}});
    PlayRow(0, "film.mp4");
    vexlo.Key("Right Right Right Right Right Right Right");
    const int left = CaptionSeconds(WaitForSeconds(35, 40));
    ASSERT_GE(left, 35);
    // Open when the desktop ends it at logout: kept, as at a close.
    vexlo.Terminate();
    ASSERT_EQ(vexlo.WaitForExit(), 0);

    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    QThread::msleep(600);
    vexlo.Click(layout->OpenLabel());
    QThread::msleep(300);
    vexlo.Click(layout->Row(layout->Window.width() / 4, 0));
    // Where it was at exit, a moment after the caption was read.
    const QString notice = WaitForTitle(vexlo, QRegularExpression("^Resumed at"));
    const int resumed = QRegularExpression(R"(^Resumed at 0:00:(\d\d)$)").match(notice).captured(1).toInt();
    EXPECT_TRUE(resumed >= left && resumed <= left + 5) << notice.toStdString();
    QString caption = WaitForSeconds(resumed, resumed + 6, 6000);
    EXPECT_TRUE(caption.endsWith("[film.mp4]") && CaptionSeconds(caption) >= resumed)
        << caption.toStdString();

    // Stopping the film keeps its place again.
    vexlo.Click(layout->StopButton());
    EXPECT_EQ(WaitForTitle(vexlo, QRegularExpression("^Idle$")), "Idle");
    ASSERT_EQ(vexlo.Close(), 0);

    // The positions file, damaged, resumes nothing and the film starts at its beginning.
    QFile positions(vexlo.Home() + "Resume.txt");
    ASSERT_TRUE(positions.open(QIODevice::ReadOnly));
    EXPECT_TRUE(positions.readAll().contains("/film.mp4\n"));
    positions.close();
    ASSERT_TRUE(positions.open(QIODevice::WriteOnly | QIODevice::Truncate));
    positions.write("-5\t80000\t" + QUrl::toPercentEncoding(folder + "film.mp4", "/") +
                    "\n\xff\xfe garbage\t\t\n99999999999999999999\t1\tx\n");
    positions.close();
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    QThread::msleep(600);
    PlayRow(0, "film.mp4");
    caption = WaitForSeconds(0, 2);
    EXPECT_LE(CaptionSeconds(caption), 2) << caption.toStdString();
    Finish("resume");
}

TEST_F(EverydayJourney, DroppedFilesAndFoldersPlayAndTheListFollowsItsFolder) {
    Open({{"long.mp4", "b.mp4"}, {"video.mp4", "d.mp4"}});
    // A file dropped from elsewhere plays as one given on the command line.
    const QString elsewhere = vexlo.DriveRoot() + "elsewhere/";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(TestMediaPath("green.mp4")),
                            elsewhere + "dropped.mp4"));
    ASSERT_TRUE(vexlo.DropFiles(layout->Picture().center(), {elsewhere + "dropped.mp4"}));
    EXPECT_TRUE(WaitForTitle(vexlo, QRegularExpression(R"(\[dropped\.mp4\]$)"))
                    .endsWith("[dropped.mp4]"));
    EXPECT_TRUE(PictureIs(kGreen));
    // Text is no media: nothing changes.
    QFile note(elsewhere + "note.txt");
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.close();
    EXPECT_FALSE(vexlo.DropFiles(layout->Picture().center(), {elsewhere + "note.txt"}));

    // The playing row stays selected and playing while files come and go around it.
    PlayRow(0, "b.mp4");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(TestMediaPath("green.mp4")), folder + "a.mp4"));
    ASSERT_TRUE(QFile::rename(folder + "d.mp4", folder + "c.mp4"));
    QThread::msleep(1000);
    EXPECT_TRUE(vexlo.Title().endsWith("[b.mp4]")) << vexlo.Title().toStdString();
    vexlo.Key("Next");  // the row after b.mp4 is now c.mp4
    EXPECT_TRUE(WaitForTitle(vexlo, QRegularExpression(R"(\[c\.mp4\]$)")).endsWith("[c.mp4]"));
    vexlo.Key("Prior Prior");  // and before it, the new a.mp4
    EXPECT_TRUE(WaitForTitle(vexlo, QRegularExpression(R"(\[a\.mp4\]$)")).endsWith("[a.mp4]"));

    // A thousand files arriving at once keep the window answering.
    for (int i = 0; i < 1000; ++i) {
        QFile empty(folder + QString("x%1.mp4").arg(i, 4, 10, QChar('0')));
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    vexlo.Key("m");
    EXPECT_EQ(WaitForTitle(vexlo, QRegularExpression("^Sound off$"), 2000), "Sound off");

    // A dropped folder becomes the playlist's folder.
    ASSERT_TRUE(vexlo.DropFiles(layout->Picture().center(), {elsewhere}));
    QThread::msleep(500);
    vexlo.Click(layout->Row(layout->Window.width() / 4, 0));
    EXPECT_TRUE(WaitForTitle(vexlo, QRegularExpression(R"(\[dropped\.mp4\]$)"))
                    .endsWith("[dropped.mp4]"));
    Finish("dropped");
    EXPECT_EQ(TIniFile((vexlo.Home() + "Quelm.ini").toStdString())
                  .ReadString("MedForm", "VideoFolder", ""),
              elsewhere.toStdString());
}

}  // namespace
