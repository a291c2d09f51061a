// The player window as a user meets it: where it opens, what it shows, how it closes and what it
// remembers, also after damaged settings files.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include "tests/support/X11Support.h"

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The share of the area's pixels near the colour.
double ShareNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
    int near = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            near += ColourNear(image.pixelColor(x, y), colour, tolerance);
    return double(near) / (double(area.width()) * area.height());
}

// The window as drawn, once its help text shows (bounded wait).
QImage DrawnWindow(const VexloProcess& vexlo) {
    QElapsedTimer clock;
    clock.start();
    QImage shot;
    do {
        shot = vexlo.Grab();
        if (!shot.isNull() && ShareNear(shot, QRect(0, 0, 400, 120), Qt::green, 60) > 0.01) break;
        QThread::msleep(100);
    } while (clock.elapsed() < 5000);
    return shot;
}

QPoint ExitButton(const QRect& geometry) {
    return QPoint(geometry.width() - 17, geometry.height() - 8);
}

}  // namespace

TEST(PlayerWindow, FirstStartShowsLimeHelpOnBlackAndTheBottomBar) {
    VexloProcess vexlo;
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    const QRect geometry = vexlo.Geometry();
    EXPECT_EQ(geometry, QRect(100, 100, 620, 400));
    EXPECT_EQ(vexlo.Title(), "Vexlo Player");
    const QByteArray state =
        ToolOutput("xprop", {"-id", QString::number(vexlo.Window()), "_NET_WM_STATE"});
    EXPECT_FALSE(state.contains("ABOVE")) << state.toStdString();

    const QImage shot = DrawnWindow(vexlo);
    ASSERT_EQ(shot.size(), geometry.size());
    const QRect help(0, 0, 450, 200);
    EXPECT_GT(ShareNear(shot, help, Qt::green, 60), 0.01) << "no lime text";
    EXPECT_GT(ShareNear(shot, help, Qt::black, 20), 0.7) << "not on black";
    // The bar: the yellow "Open" on the right, the lime Play glyph on the left.
    const QRect bar(0, geometry.height() - 15, geometry.width(), 15);
    EXPECT_GT(ShareNear(shot, bar.adjusted(geometry.width() - 106, 0, -60, 0), Qt::yellow, 60),
              0.05);
    EXPECT_GT(ShareNear(shot, QRect(0, bar.top(), 20, 15), Qt::green, 80), 0.1);
    EXPECT_EQ(vexlo.Close(), 0);
}

TEST(PlayerWindow, TheExitButtonSavesThePlaceTheNextStartRestores) {
    VexloProcess vexlo;
    WriteFile(vexlo.Home() + "Quelm.ini",
              "[MedForm]\r\nFrmTop=200\r\nFrmLeft=300\r\nFrmWidth=700\r\nFrmHeight=450\r\n");
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    const QRect geometry = vexlo.Geometry();
    EXPECT_EQ(geometry, QRect(300, 200, 700, 450));
    DrawnWindow(vexlo);
    vexlo.Click(ExitButton(geometry));
    EXPECT_EQ(vexlo.WaitForExit(), 0);
    const QByteArray saved = ReadFile(vexlo.Home() + "Quelm.ini");
    EXPECT_TRUE(saved.contains("FrmTop=200\r\nFrmLeft=300\r\nFrmWidth=700\r\nFrmHeight=450\r\n"))
        << saved.toStdString();
    EXPECT_TRUE(saved.contains("VideoFolder=Click the Folder Icon to open file\r\n"));
}

TEST(PlayerWindow, ExitFromTheContextMenuCloses) {
    VexloProcess vexlo;
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    DrawnWindow(vexlo);
    vexlo.Click(QPoint(300, 300), 3);
    QThread::msleep(300);
    // Up from no selection reaches the last item, "Exit".
    ToolOutput("xdotool", {"key", "--delay", "100", "Up", "Return"});
    EXPECT_EQ(vexlo.WaitForExit(), 0);
    EXPECT_TRUE(ReadFile(vexlo.Home() + "Quelm.ini").contains("FrmWidth=620\r\n"));
}

TEST(PlayerWindow, DamagedFilesStillGiveAWindowOnScreenAndIntactFilesAtExit) {
    VexloProcess vexlo;
    QByteArray noise(4096, '\0');
    QRandomGenerator generator(11);
    for (char& byte : noise) byte = char(generator.bounded(256));
    WriteFile(vexlo.Home() + "Quelm.ini",
              noise + "\r\n[MedForm]\r\nFrmLeft=-90000\r\nFrmTop=70000\r\nFrmWidth=-1\r\n");
    WriteFile(vexlo.Home() + "FolderLocation.txt", noise + "\r\n" + vexlo.Home().toUtf8() + "\r\n");
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    const QRect geometry = vexlo.Geometry();
    EXPECT_GE(geometry.width(), 320);
    EXPECT_GE(geometry.height(), 240);
    EXPECT_TRUE(GrabScreen().rect().contains(geometry));
    vexlo.Click(ExitButton(geometry));
    EXPECT_EQ(vexlo.WaitForExit(), 0);
    const QByteArray saved = ReadFile(vexlo.Home() + "Quelm.ini");
    EXPECT_TRUE(saved.startsWith(noise));
    EXPECT_TRUE(saved.contains("FrmWidth=320\r\n")) << saved.toStdString();
    EXPECT_EQ(ReadFile(vexlo.Home() + "FolderLocation.txt"), vexlo.Home().toUtf8() + "\r\n");
}
