// What the picture area shows as a user goes from file to file: the picture fills its area
// whatever the panel did before, the area is black where no frame covers it, the text over it
// leaves nothing behind, Stop shows "Idle", the wheel zooms the picture itself, the colour
// panel tunes it and goes when it should, and so does the error window.
#include <gtest/gtest.h>

#include <QFile>
#include <QThread>
#include <cstdlib>

#include "tests/e2e/JourneySupport.h"

namespace {

const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kGreen(0, 255, 0), kBlack(0, 0, 0),
    kWhite(255, 255, 255);

class PictureJourney : public TFolderJourney {
  protected:
    // The picture's area, less the band of the text over it.
    QRect AboveText() const {
        QRect area = layout->Picture();
        area.setBottom(area.bottom() - 60);
        return area;
    }
    QRect LeftHalf() const {
        const QRect area = AboveText();
        return {area.left() + 30, area.top() + 30, area.width() / 2 - 60, area.height() - 60};
    }
    QRect RightHalf() const {
        const QRect area = AboveText();
        return {area.center().x() + 30, area.top() + 30, area.width() / 2 - 60,
                area.height() - 60};
    }
    // The band of the text over the picture, from its left edge.
    QRect TextBand() const {
        return {0, layout->Window.height() - 50, layout->Window.width(), 30};
    }
    // A window of this size centred over the player (the colour panel, the error window).
    QRect Centred(const QSize& size) const {
        QRect area(QPoint(), size);
        area.moveCenter(QRect(QPoint(), layout->Window).center());
        return area;
    }
    QRect ColourPanel() const { return Centred({366, 140}); }
    // Seen through the panel's place: the picture, or the panel over it.
    bool ColourPanelShows() const {
        return ShareNear(vexlo.Grab(), ColourPanel(), kGreen) < 0.5;
    }
};

// The share of the pixels of area that are red, seen directly or through a translucent window.
double ReddishShare(const QImage& image, const QRect& area) {
    int reddish = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel(image.pixel(x, y));
            reddish += pixel.red() > 120 && pixel.green() < 110 && pixel.blue() < 90;
        }
    return double(reddish) / (area.width() * area.height());
}

// The rightmost column of the band that holds a green pixel of the text, -1 for none.
int TextRightEdge(const QImage& image, const QRect& band) {
    for (int x = band.right(); x >= band.left(); --x)
        for (int y = band.top(); y <= band.bottom(); ++y)
            if (ColourNear(QColor(image.pixel(x, y)), kGreen, 60)) return x;
    return -1;
}

}  // namespace

// Whatever happened before (a context menu opened and closed, or nothing), the next file
// chosen from the panel fills the whole picture area once the panel closes.
TEST_F(PictureJourney, ARowChosenFromThePanelFillsThePictureArea) {
    Open({{"long.mp4", "a.mp4"}, {"longgreen.mp4", "b.mp4"}});
    for (const bool menuFirst : {true, false, true, false}) {
        SCOPED_TRACE(menuFirst ? "after the context menu" : "without the menu");
        PlayRow(0, "a.mp4");
        QColor seen;
        EXPECT_TRUE(WaitForColour(vexlo, LeftHalf(), kRed, 5000, &seen)) << seen.name().toStdString();
        EXPECT_TRUE(WaitForColour(vexlo, RightHalf(), kBlue, 5000, &seen)) << seen.name().toStdString();
        if (menuFirst) {
            vexlo.Click(AboveText().center(), 3);
            QThread::msleep(300);
            vexlo.Key("Escape");
            QThread::msleep(200);
        }
        PlayRow(1, "b.mp4");
        EXPECT_TRUE(WaitForColour(vexlo, RightHalf(), kGreen, 5000, &seen)) << seen.name().toStdString();
        EXPECT_TRUE(WaitForColour(vexlo, LeftHalf(), kGreen, 5000, &seen)) << seen.name().toStdString();
    }
    Finish("picture-fills-area");
}

// A sound file, Stop, a row that cannot be played: the area is black but for the text, the
// text shows only what it says now, and a closed panel leaves no rows on the screen.
TEST_F(PictureJourney, WhereNoFrameShowsTheAreaIsBlack) {
    Open({{"long.mp4", "a.mp4"}, {"longtone.mp3", "b.mp3"}, {"text.avi", "c.avi"}});
    PlayRow(0, "a.mp4");
    ASSERT_TRUE(WaitForColour(vexlo, LeftHalf(), kRed));
    PlayRow(1, "b.mp3");
    WaitForTitle(vexlo, QRegularExpression(R"(0:00:0[2-9] \[0:00:30\] \[b\.mp3\]$)"));
    QImage shot = vexlo.Grab();
    EXPECT_GT(ShareNear(shot, AboveText(), kBlack, 24), 0.99) << "an old frame or the panel shows";
    const int timeEdge = TextRightEdge(shot, TextBand());
    EXPECT_GT(timeEdge, 150) << "the time text shows over the sound file";

    vexlo.Click(layout->StopButton());
    const QString idle = WaitForTitle(vexlo, QRegularExpression("^Idle$"), 3000);
    EXPECT_EQ(idle, "Idle");
    QThread::msleep(300);
    shot = vexlo.Grab();
    EXPECT_GT(ShareNear(shot, AboveText(), kBlack, 24), 0.99);
    const int idleEdge = TextRightEdge(shot, TextBand());
    EXPECT_GT(idleEdge, 0) << "\"Idle\" shows over the picture";
    EXPECT_LT(idleEdge, 80) << "glyphs of the old time text are left";

    vexlo.Click(layout->OpenLabel());
    QThread::msleep(300);
    vexlo.Click(layout->Row(layout->Window.width() / 4, 2));
    const QString failed = WaitForTitle(vexlo, QRegularExpression("wrong format"), 5000);
    EXPECT_TRUE(failed.contains("wrong format or does not exist!")) << failed.toStdString();
    vexlo.Click(layout->OpenLabel());  // "Close"
    QThread::msleep(400);
    shot = vexlo.Grab();
    EXPECT_GT(ShareNear(shot, AboveText(), kBlack, 24), 0.99) << "the closed panel's rows show";
    Finish("black-where-no-frame");
}

// Wheel up zooms the picture itself (its white frame goes off the edges), wheel down brings
// it back, and so does the middle button after another zoom.
TEST_F(PictureJourney, TheWheelZoomsThePicture) {
    Open({{"framed.mp4", "a.mp4"}});
    PlayRow(0, "a.mp4");
    const QRect edge(2, 60, 6, 200);  // inside the frame as the picture first shows
    QColor seen;
    ASSERT_TRUE(WaitForColour(vexlo, edge, kWhite, 5000, &seen)) << seen.name().toStdString();
    const QPoint middle = AboveText().center();
    for (const int back : {5, 2}) {
        SCOPED_TRACE(back == 5 ? "wheel down" : "middle button");
        vexlo.Click(middle, 4, 12);
        EXPECT_TRUE(WaitForColour(vexlo, edge, kRed, 3000, &seen)) << seen.name().toStdString();
        vexlo.Click(middle, back, back == 5 ? 14 : 1);
        EXPECT_TRUE(WaitForColour(vexlo, edge, kWhite, 3000, &seen)) << seen.name().toStdString();
    }
    Finish("wheel-zoom");
}

// Over a playing file the colour panel's saturation slider greys the picture and "Reset",
// red under the pointer, brings the colour back. The colour button hides and shows the panel,
// a press elsewhere puts it out of sight, and the button brings it back.
TEST_F(PictureJourney, TheColourPanelTunesThePictureAndComesAndGoes) {
    Open({{"longgreen.mp4", "a.mp4"}});
    PlayRow(0, "a.mp4");
    const QRect strip(20, 40, 80, 200);  // of the picture, left of the panel
    ASSERT_TRUE(WaitForColour(vexlo, strip, kGreen));
    vexlo.Click(layout->ColourButton());
    ASSERT_TRUE(WaitFor([&] { return ColourPanelShows(); })) << "the colour button shows no panel";

    const QPoint panel = ColourPanel().topLeft();
    vexlo.Drag(panel + QPoint(190, 44), panel + QPoint(20, 44));  // saturation thumb to 0
    QColor seen;
    EXPECT_TRUE(WaitFor([&] {
        seen = AverageColour(vexlo.Grab(), strip);
        return std::abs(seen.red() - seen.green()) < 24 && std::abs(seen.green() - seen.blue()) < 24;
    })) << "the picture is " << seen.name().toStdString() << " at saturation 0";
    const QRect reset(panel + QPoint(292, 114), QSize(60, 18));
    EXPECT_LT(ReddishShare(vexlo.Grab(), reset), 0.005);
    vexlo.Click(reset.center());
    EXPECT_TRUE(WaitForColour(vexlo, strip, kGreen, 3000, &seen)) << seen.name().toStdString();
    EXPECT_GT(ReddishShare(vexlo.Grab(), reset), 0.03) << "\"Reset\" is not red under the pointer";
    SaveShot(vexlo, "colour-panel-reset");

    vexlo.Click(layout->ColourButton());
    EXPECT_TRUE(WaitFor([&] { return !ColourPanelShows(); })) << "the colour button left it shown";
    vexlo.Click(layout->ColourButton());
    EXPECT_TRUE(WaitFor([&] { return ColourPanelShows(); })) << "the colour button did not show it";
    vexlo.Click(strip.center(), 3);  // the context menu: a press elsewhere
    EXPECT_TRUE(WaitFor([&] { return !ColourPanelShows(); })) << "a press elsewhere left it shown";
    vexlo.Key("Escape");
    QThread::msleep(200);
    vexlo.Click(layout->ColourButton());
    EXPECT_TRUE(WaitFor([&] { return ColourPanelShows(); })) << "the panel did not come back";
    Finish("colour-panel");
}

// With diagnostic logging on, a row that cannot be played shows the error window over the
// player; it has no border and no close button, and a press elsewhere takes it away.
TEST_F(PictureJourney, TheErrorWindowGoesWithAPressElsewhere) {
    QFile log(vexlo.Home() + "testing.log");
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.close();
    Open({{"text.avi", "c.avi"}});
    vexlo.Click(layout->OpenLabel());
    QThread::msleep(300);
    vexlo.Click(layout->Row(layout->Window.width() / 4, 0));
    const QRect memo = Centred({302, 217}).adjusted(20, 20, -40, -40);
    const QColor light(215, 215, 215);  // white, seen directly or through the window
    EXPECT_TRUE(WaitFor([&] { return ShareNear(vexlo.Grab(), memo, light, 45) > 0.5; }))
        << "no error window";
    SaveShot(vexlo, "error-window");
    vexlo.Click(layout->OpenLabel());  // "Close"
    EXPECT_TRUE(WaitFor([&] { return ShareNear(vexlo.Grab(), memo, light, 45) < 0.05; }))
        << "the error window stays";
    Finish("error-window-gone");
}
