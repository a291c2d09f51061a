// The player with a playing clip as a user sees it: the green time over the lower left of the
// picture and "Don't Show Text" taking it away; dragging the window by the picture, the wheel
// zoom shown on the label and the middle button's reset; Escape ending the program with its
// settings saved.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <functional>

#include "tests/support/TestMedia.h"
#include "tests/e2e/JourneySupport.h"
#include "tests/support/X11Support.h"

namespace {

constexpr int kBar = 15;
constexpr int kExitPanelWidth = 106;

// Starts the program on a clip given on the command line (it repeats) and waits until its
// time shows in the caption.
void StartPlaying(VexloProcess& vexlo) {
    const QString clip = vexlo.DriveRoot() + "clip.mp4";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(TestMediaPath("video.mp4")), clip));
    ASSERT_TRUE(vexlo.Start({clip}));
    ASSERT_TRUE(vexlo.WaitForWindow());
    ASSERT_TRUE(vexlo.WaitForWindow("\\[clip\\.mp4\\]$"));
}


int CountPixels(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += ColourNear(image.pixelColor(x, y), colour, tolerance);
    return count;
}

// Green pixels where the text belongs: from (10, height - 45) of the picture, over the red
// left half of the clip.
int GreenTextPixels(const VexloProcess& vexlo) {
    const QImage shot = vexlo.Grab();
    return CountPixels(shot, QRect(10, shot.height() - 45, 200, 24), QColor(0, 255, 0), 8);
}

// The zoom label at the left of the bottom bar's exit panel, as shown.
QImage ZoomLabel(const VexloProcess& vexlo) {
    const QImage shot = vexlo.Grab();
    return shot.copy(shot.width() - kExitPanelWidth, shot.height() - kBar, 40, kBar);
}

// A key's value in the program's "Quelm.ini", empty when it is not there.
QString Setting(const VexloProcess& vexlo, const QString& key) {
    QFile file(vexlo.Home() + "Quelm.ini");
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QRegularExpression line("^" + key + "=(.*?)\\r?$", QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(file.readAll())).captured(1);
}

void Xdotool(const QStringList& arguments) {
    EXPECT_TRUE(RunTool("xdotool", arguments).Succeeded()) << arguments.join(' ').toStdString();
}

}  // namespace

TEST(WindowModesPlaying, TheTimeShowsInGreenOverThePictureUntilDontShowTextIsChosen) {
    VexloProcess vexlo;
    StartPlaying(vexlo);
    ASSERT_TRUE(WaitFor([&] { return GreenTextPixels(vexlo) > 40; }))
        << "no green text; " << vexlo.Output().toStdString();

    // The context menu on the picture, then its "Don't Show Text", eighth from the bottom.
    vexlo.Click(QPoint(300, 100), 3);
    QThread::msleep(300);
    Xdotool({"key", "Up", "Up", "Up", "Up", "Up", "Up", "Up", "Up", "Return"});
    EXPECT_TRUE(WaitFor([&] { return GreenTextPixels(vexlo) == 0; }));
    EXPECT_EQ(vexlo.Close(), 0);
    EXPECT_EQ(Setting(vexlo, "NoText"), "1");
}

TEST(WindowModesPlaying, DragWheelMiddleClickAndEscape) {
    VexloProcess vexlo;
    StartPlaying(vexlo);
    const QRect before = vexlo.Geometry();

    // Absolute moves: the window follows the pointer, so places relative to it would run away.
    const QPoint from = before.topLeft() + QPoint(200, 120);
    const QPoint by(150, 90);
    QStringList drag = {"mousemove", "--sync", QString::number(from.x()), QString::number(from.y()),
                        "mousedown", "1"};
    for (int step = 1; step <= 6; ++step) {
        const QPoint at = from + by * step / 6;
        drag << "sleep"
             << "0.03"
             << "mousemove" << QString::number(at.x()) << QString::number(at.y());
    }
    Xdotool(drag << "mouseup"
                 << "1");
    ASSERT_TRUE(WaitFor([&] { return vexlo.Geometry().topLeft() == before.topLeft() + by; }))
        << vexlo.Geometry().x() << "," << vexlo.Geometry().y();
    EXPECT_EQ(vexlo.Geometry().size(), before.size());

    const QImage open = ZoomLabel(vexlo);
    vexlo.Click(QPoint(300, 100), 4, 3);  // three notches up: "6"
    EXPECT_TRUE(WaitFor([&] { return ZoomLabel(vexlo) != open; }));
    vexlo.Click(QPoint(320, 110), 2);  // elsewhere: a move to where the pointer is never ends
    EXPECT_TRUE(WaitFor([&] { return ZoomLabel(vexlo) == open; }));
    EXPECT_EQ(vexlo.Geometry().topLeft(), before.topLeft() + by);

    vexlo.Key("Escape");
    EXPECT_EQ(vexlo.WaitForExit(), 0);
    EXPECT_EQ(Setting(vexlo, "FrmLeft"), QString::number(before.x() + by.x()));
    EXPECT_EQ(Setting(vexlo, "FrmTop"), QString::number(before.y() + by.y()));
    EXPECT_EQ(Setting(vexlo, "FrmWidth"), QString::number(before.width()));
}
