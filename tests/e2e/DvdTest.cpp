// A DVD played as a user plays it: the "VIDEO_TS.IFO" row of the playlist opens the disc's
// menu, the pointer over a menu button highlights it, a click starts that button's title, the
// "DVD Title Menu" button brings the menu back. The disc is the one tools/make-test-dvd authors:
// a blue menu with two buttons (white, yellow when highlighted), a red title 1, a green title 2.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <functional>

#include "tests/support/X11Support.h"

namespace {

constexpr QSize kPicture(720, 576);
// The second menu button, in the disc's picture.
const QRect kButton2(420, 388, 200, 88);
const QColor kMenuBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
const QColor kTitleGreen(0, 255, 0);

// Copies the disc's VIDEO_TS folder into folder; returns the copy's path (ending in "/").
QString CopyDisc(const QString& folder) {
    const QDir disc(qEnvironmentVariable("VEXLO_TEST_MEDIA") + "/dvd/VIDEO_TS");
    const QString target = folder + "VIDEO_TS/";
    QDir().mkpath(target);
    for (const QString& name : disc.entryList(QDir::Files))
        QFile::copy(disc.filePath(name), target + name);
    return target;
}

class DvdPlayback : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString folder = CopyDisc(Vexlo.DriveRoot() + "disc/");
        ASSERT_TRUE(QFile::exists(folder + "VIDEO_TS.IFO")) << "the disc is authored first";
        QFile settings(Vexlo.Home() + "Quelm.ini");
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(("[MedForm]\r\nVideoFolder=" + folder + "\r\n").toUtf8());
        settings.close();
        ASSERT_TRUE(Vexlo.Start());
        ASSERT_TRUE(Vexlo.WaitForWindow());
        Geometry = Vexlo.Geometry();
        // The picture takes the window above the 15-pixel bottom bar.
        Picture = QRect(0, 0, Geometry.width(), Geometry.height() - 15);
        QThread::msleep(600);  // the ready step
    }
    void TearDown() override { EXPECT_EQ(Vexlo.Close(), 0); }

    // A point of the disc's picture in window coordinates.
    QPoint OnWindow(QPoint inPicture) const {
        return QPoint(inPicture.x() * Picture.width() / kPicture.width(),
                      inPicture.y() * Picture.height() / kPicture.height());
    }
    QRect OnWindow(const QRect& inPicture) const {
        return QRect(OnWindow(inPicture.topLeft()), OnWindow(inPicture.bottomRight()));
    }
    // Whether the area of the window shows the colour, within a bounded wait.
    bool Shows(const QRect& area, const QColor& colour, int timeoutMs = 5000) {
        QElapsedTimer clock;
        clock.start();
        do {
            const QImage shot = Vexlo.Grab();
            if (!shot.isNull() && ColourNear(AverageColour(shot, area), colour, 40)) return true;
            QThread::msleep(100);
        } while (clock.elapsed() < timeoutMs);
        return false;
    }
    void MovePointer(QPoint at) {
        RunTool("xdotool", {"mousemove", "--window", QString::number(Vexlo.Window()),
                            QString::number(at.x()), QString::number(at.y())});
    }
    void OpenDiscFromPlaylist() {
        Vexlo.Click(QPoint(Geometry.width() - 85, Geometry.height() - 8));  // "Open"
        QThread::msleep(300);
        Vexlo.Click(QPoint(Geometry.width() / 4 + 60, 16 + 8));  // the only row: VIDEO_TS.IFO
    }

    VexloProcess Vexlo;
    QRect Geometry;
    QRect Picture;
};

TEST_F(DvdPlayback, MenuButtonsHighlightUnderThePointerAndStartTheirTitle) {
    OpenDiscFromPlaylist();
    const QRect background = OnWindow(QRect(300, 60, 120, 100));
    ASSERT_TRUE(Shows(background, kMenuBlue)) << "the disc's menu shows";
    // Inside the button, clear of its edges.
    const QRect button = OnWindow(kButton2.adjusted(30, 20, -30, -20));
    MovePointer(OnWindow(QPoint(200, 300)));
    EXPECT_TRUE(Shows(button, Qt::white)) << "button 2 not highlighted before";
    // Off the click's point: xdotool waits for the pointer to move there.
    MovePointer(button.center() + QPoint(4, 4));
    EXPECT_TRUE(Shows(button, kYellow)) << "button 2 highlighted";

    // Held a moment as a hand holds it: the press also starts a window move, which a window
    // manager ends with the release, and a release that came first would leave it waiting to
    // take the next click as one.
    const QPoint at = button.center();
    RunTool("xdotool", {"mousemove", "--sync", "--window", QString::number(Vexlo.Window()),
                        QString::number(at.x()), QString::number(at.y()), "mousedown", "1",
                        "sleep", "0.2", "mouseup", "1"});
    EXPECT_TRUE(Shows(background, kTitleGreen)) << "title 2 plays";
    // The caption follows the title's time.
    QElapsedTimer clock;
    clock.start();
    while (!Vexlo.Title().startsWith("0:00:0") && clock.elapsed() < 4000) QThread::msleep(100);
    EXPECT_TRUE(Vexlo.Title().startsWith("0:00:0")) << Vexlo.Title().toStdString();

    // "DVD Title Menu" on the bottom bar: the fifth button.
    Vexlo.Click(QPoint(2 + 4 * 20 + 9, Geometry.height() - 8));
    EXPECT_TRUE(Shows(background, kMenuBlue)) << "the title menu is back";
}

}  // namespace
