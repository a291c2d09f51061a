// A DVD and a file played one after the other as a user plays them: the disc's menu, its
// titles, the title menu, chapters, fast forward and back to normal speed (through the context
// menu), and switching between the disc and a file, slowed or not. The disc is the one
// tools/make-test-dvd authors: a blue menu with two buttons, a red title 1, a green title 2,
// each 6 s long with a second chapter at 1.2 s, returning to the menu at its end. The file is
// the red-and-blue clip of tools/make-test-media.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <functional>

#include "tests/e2e/JourneySupport.h"
#include "tests/support/TestMedia.h"

namespace {

constexpr QSize kDiscPicture(720, 576);
// Inside the disc's two menu buttons, clear of their edges.
constexpr QPoint kButton1(200, 432);
constexpr QPoint kButton2(520, 432);
// Blue in the menu, red or green in the titles, clear of the buttons and the time text.
const QRect kDiscColourArea(300, 60, 120, 100);
const QColor kMenuBlue(0, 0, 255);
const QColor kTitleRed(255, 0, 0);
const QColor kTitleGreen(0, 255, 0);
// The rows of the disc's folder: the clip sorts before the disc.
constexpr int kClipRow = 0;
constexpr int kDiscRow = 1;
// Items of the picture's context menu, by how many steps down from its top they are.
constexpr int kPreviousChapter = 3;
constexpr int kFastForward = 4;
constexpr int kNormal = 5;
constexpr int kRewind = 6;
// At eight times the speed the DVD time passes this within moments, at normal speed not.
constexpr int kFastTime = 8;
constexpr int kFastMs = 3000;

// The seconds a DVD caption ("0:00:03") shows, or -1 for another caption.
int DvdSeconds(const QString& caption) {
    static const QRegularExpression time(R"(^(\d+):(\d\d):(\d\d)$)");
    const auto match = time.match(caption);
    if (!match.hasMatch()) return -1;
    return match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60 +
           match.captured(3).toInt();
}

void CopyFiles(const QString& from, const QString& to) {
    QDir().mkpath(to);
    const QDir source(from);
    for (const QString& name : source.entryList(QDir::Files))
        QFile::copy(source.filePath(name), to + name);
}

bool IsFast(int seconds) {
    return seconds >= kFastTime;
}

class DvdJourney : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString folder =
            MakeMediaFolder(Vexlo, "disc/VIDEO_TS", {{"video.mp4", "clip.mp4"}});
        CopyFiles(qEnvironmentVariable("VEXLO_TEST_MEDIA") + "/dvd/VIDEO_TS", folder);
        ASSERT_TRUE(QFile::exists(folder + "VIDEO_TS.IFO")) << "the disc is authored first";
        // The pause button shows the program's own images; without them it only pauses.
        CopyFiles(qEnvironmentVariable("VEXLO_BIN_DIR") + "/BackGround", Vexlo.Home() + "BackGround/");
        // "Loop 1": the 2-second clip plays again rather than running on to the disc's row.
        WriteSettings(Vexlo, {"VideoFolder=" + folder, "Repeat1=1"});
        ASSERT_TRUE(Vexlo.Start());
        ASSERT_TRUE(Vexlo.WaitForWindow());
        Layout = TPlayerLayout(Vexlo.Geometry().size());
        QThread::msleep(600);  // the ready step
    }
    void TearDown() override {
        SaveShot(Vexlo, QString("DvdJourney-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        EXPECT_EQ(Vexlo.Close(), 0);
    }

    // A point of the disc's picture in window coordinates.
    QPoint OnWindow(QPoint inDisc) const {
        const QRect picture = Layout.Picture();
        return {inDisc.x() * picture.width() / kDiscPicture.width(),
                inDisc.y() * picture.height() / kDiscPicture.height()};
    }
    QRect DiscArea() const {
        return {OnWindow(kDiscColourArea.topLeft()), OnWindow(kDiscColourArea.bottomRight())};
    }
    bool DiscShows(const QColor& colour, int timeoutMs = 8000) {
        QColor seen;
        const bool shown = WaitForColour(Vexlo, DiscArea(), colour, timeoutMs, &seen);
        if (!shown) ADD_FAILURE() << "the disc's picture shows " << seen.name().toStdString();
        return shown;
    }
    // The clip's picture: red on the left, blue on the right.
    bool ClipShows() {
        const QRect picture = Layout.Picture();
        const QSize quarter(picture.width() / 4, picture.height() / 3);
        const QRect left(QPoint(picture.width() / 8, picture.height() / 3), quarter);
        const QRect right(QPoint(picture.width() * 5 / 8, picture.height() / 3), quarter);
        QColor seen;
        const bool shown = WaitForColour(Vexlo, left, kTitleRed, 8000, &seen) &&
                           WaitForColour(Vexlo, right, kMenuBlue, 2000, &seen);
        if (!shown) ADD_FAILURE() << "the clip's picture shows " << seen.name().toStdString();
        return shown;
    }

    // Clicks at a point of the window and waits until the area looks different.
    bool ClickAndWaitForChange(QPoint at, const QRect& area, int button = 1) {
        const QImage before = Vexlo.Grab().copy(area);
        Vexlo.Click(at, button);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000) {
            if (Vexlo.Grab().copy(area) != before) return true;
            QThread::msleep(20);
        }
        ADD_FAILURE() << "nothing changed after a click at " << at.x() << "," << at.y();
        return false;
    }

    // Opens the playlist from the bottom bar ("Open" turns "Close") and clicks a row; the
    // list closes by itself.
    void PlayRow(int row) {
        const QPoint label = Layout.OpenLabel();
        if (!ClickAndWaitForChange(label, QRect(label - QPoint(20, 7), QSize(40, 15)))) return;
        Vexlo.Click(Layout.Row(Layout.Window.width() / 4, row));
    }
    // A press on the picture also starts a window move, which a window manager ends with the
    // release: held a moment as a hand holds it, or the window manager would still wait for one
    // and take the next click as it.
    void PressDiscButton(QPoint inDisc) {
        const QPoint at = OnWindow(inDisc);
        EXPECT_TRUE(RunTool("xdotool", {"mousemove", "--sync", "--window",
                                        QString::number(Vexlo.Window()), QString::number(at.x()),
                                        QString::number(at.y()), "mousedown", "1", "sleep", "0.2",
                                        "mouseup", "1"})
                        .Succeeded());
    }
    // While paused the play button hides and the pause button takes its place.
    void Pause() { Vexlo.Click(Layout.PauseButton()); }
    void Resume() { Vexlo.Click(Layout.PlayButton()); }
    void ClickTitleMenuButton() {
        Vexlo.Click(QPoint(Layout.ColourButton().x() + 20, Layout.ColourButton().y()));
    }

    // Drags the speed slider's thumb from normal speed to the slider's end: a 25th of it.
    void SlowDown() {
        const int left = Layout.Window.width() - 106 - 50;
        const int y = Layout.Window.height() - 8;
        Vexlo.Drag(QPoint(left + 16, y), QPoint(left + 48, y));
    }
    static QRegularExpression ClipTime(const QString& time) {
        return QRegularExpression(" - " + time + R"( \[0:00:02\] \[clip\.mp4\]$)");
    }
    // Whether the clip's caption comes with the time and keeps it for ms.
    bool ClipTimeHolds(const QString& time, int ms) {
        if (!WaitForTitle(Vexlo, ClipTime(".*"), 3000).contains(time)) return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            if (!Vexlo.Title().contains(time)) return false;
        return true;
    }

    // Opens the picture's context menu and chooses the item that many steps down its list.
    void Choose(int item) {
        // The menu opens at the pointer, over what the picture showed there. Each time a few
        // pixels from the last: a right-click soon after one at the same place is a double
        // click, which opens no menu.
        MenuShift = 12 - MenuShift;
        const QPoint at(60 + MenuShift, 30);
        const QRect area(at + QPoint(10, 4), QSize(60, 12));
        if (!ClickAndWaitForChange(at, area, 3)) return;
        const QImage menu = Vexlo.Grab().copy(area);
        QStringList keys = {"key"};
        for (int step = 0; step < item; ++step) keys << "Down";
        EXPECT_TRUE(RunTool("xdotool", keys << "Return").Succeeded());
        // Gone before anything else is done: a next menu would open over its pixels.
        EXPECT_TRUE(WaitFor([&] { return Vexlo.Grab().copy(area) != menu; })) << "the menu stays";
    }

    // Waits for the DVD caption to show a time for which test holds; the last time read.
    int WaitForDvdTime(const std::function<bool(int)>& test, int timeoutMs = 8000) {
        QElapsedTimer clock;
        clock.start();
        int seconds = -1;
        do {
            seconds = DvdSeconds(Vexlo.Title());
            if (test(seconds)) break;
            QThread::msleep(50);
        } while (clock.elapsed() < timeoutMs);
        return seconds;
    }

    // Whether the DVD caption keeps showing times for which test holds, for ms.
    bool DvdTimeHolds(const std::function<bool(int)>& test, int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            if (!test(DvdSeconds(Vexlo.Title()))) return false;
        return true;
    }

    VexloProcess Vexlo;
    TPlayerLayout Layout{QSize()};
    int MenuShift = 0;
};

TEST_F(DvdJourney, MenuTitlesChaptersAndSpeeds) {
    PlayRow(kDiscRow);
    ASSERT_TRUE(DiscShows(kMenuBlue)) << "the disc's menu";
    PressDiscButton(kButton2);
    ASSERT_TRUE(DiscShows(kTitleGreen)) << "title 2";
    EXPECT_GE(WaitForDvdTime([](int s) { return s >= 0 && s <= 2; }), 0) << "the title's time";
    ClickTitleMenuButton();
    ASSERT_TRUE(DiscShows(kMenuBlue)) << "the title menu";

    PressDiscButton(kButton1);
    ASSERT_TRUE(DiscShows(kTitleRed)) << "title 1";
    // In the second chapter (from 1.2 s), then back to the first one's start: early in it, so
    // that the choice arrives before the title ends even when the context menu is slow to come.
    EXPECT_GE(WaitForDvdTime([](int s) { return s >= 2 && s <= 5; }), 2);
    Choose(kPreviousChapter);
    EXPECT_LE(WaitForDvdTime([](int s) { return s >= 0 && s <= 1; }, 3000), 1)
        << "back at the first chapter";

    // The short titles run out within a second at eight times the speed: what is to happen
    // before that is chosen while paused.
    Pause();
    Choose(kFastForward);
    Choose(kNormal);
    Resume();
    const int resumed = WaitForDvdTime([](int s) { return s >= 0; });
    EXPECT_GE(WaitForDvdTime([resumed](int s) { return s >= resumed + 2; }), resumed + 2);
    EXPECT_TRUE(DiscShows(kTitleRed, 0)) << "title 1 plays on at normal speed";

    // A chapter jump plays on at normal speed, so fast forward chosen after it is fast again.
    Pause();
    Choose(kFastForward);
    Choose(kPreviousChapter);
    Choose(kFastForward);
    Resume();
    EXPECT_GE(WaitForDvdTime(IsFast, kFastMs), kFastTime) << "fast forward after a chapter jump";

    // The title menu plays at normal speed, and so does the title chosen there.
    ClickTitleMenuButton();
    ASSERT_TRUE(DiscShows(kMenuBlue)) << "the title menu after fast forward";
    PressDiscButton(kButton2);
    ASSERT_TRUE(DiscShows(kTitleGreen)) << "title 2";
    EXPECT_GE(WaitForDvdTime([](int s) { return s >= 2 && s <= 4; }), 2);
    // Rewinding holds at the title's start until "Normal".
    Choose(kRewind);
    EXPECT_LE(WaitForDvdTime([](int s) { return s >= 0 && s <= 1; }, 3000), 1) << "rewound";
    EXPECT_TRUE(DvdTimeHolds([](int s) { return s >= 0 && s <= 1; }, 2000)) << "held";
    Choose(kNormal);
    EXPECT_GE(WaitForDvdTime([](int s) { return s >= 2 && s <= 4; }, 4000), 2)
        << "normal speed after rewinding";

    Pause();
    Choose(kFastForward);
    Resume();
    EXPECT_GE(WaitForDvdTime(IsFast, kFastMs), kFastTime) << "fast after the menu";
}

TEST_F(DvdJourney, FilesAndDiscsEachShowTheirPictureAtTheirSpeed) {
    PlayRow(kClipRow);
    ASSERT_TRUE(ClipShows()) << "the clip first";
    PlayRow(kDiscRow);
    ASSERT_TRUE(DiscShows(kMenuBlue)) << "the disc after the clip";

    // Paused at once (and so far from its end once slowed), the clip shows its picture and
    // its own time, not the disc's.
    PlayRow(kClipRow);
    Pause();
    EXPECT_TRUE(WaitForTitle(Vexlo, ClipTime("0:00:00"), 3000).contains("clip.mp4"))
        << "the caption keeps the disc's time";
    ASSERT_TRUE(ClipShows()) << "the clip after the disc";
    SlowDown();
    Resume();
    EXPECT_TRUE(ClipTimeHolds("0:00:00", 2500)) << "the clip plays slowly";
    Choose(kNormal);
    EXPECT_TRUE(WaitForTitle(Vexlo, ClipTime("0:00:01"), 3000).contains("0:00:01"))
        << "and at normal speed after \"Normal\"";

    SlowDown();
    PlayRow(kDiscRow);
    ASSERT_TRUE(DiscShows(kMenuBlue)) << "the disc after a slowed clip";
    PressDiscButton(kButton2);
    ASSERT_TRUE(DiscShows(kTitleGreen)) << "title 2";
    EXPECT_GE(WaitForDvdTime([](int s) { return s >= 3 && s <= 5; }, 6000), 3)
        << "the disc plays at normal speed";

    PlayRow(kDiscRow);
    ASSERT_TRUE(DiscShows(kMenuBlue)) << "the disc after the disc";
    PressDiscButton(kButton1);
    EXPECT_TRUE(DiscShows(kTitleRed)) << "title 1";
}

}  // namespace
