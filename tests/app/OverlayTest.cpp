// The text over the picture while a file plays: its place and size, "Don't Show Text", the stop
// button and a stop followed at once by a new file.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QStackedLayout>
#include <QWindow>

#include "app/PlayerState.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"

namespace {

class OverlayTest : public PlayerTest {
  protected:
    // A playing clip in a shown window of 620 x 400.
    TFormQuelm& Play(const QByteArray& settings = "") {
        const std::string folder = Folder("films");
        CopyClip("video.mp4", folder + "a.mp4");
        WriteSettings("VideoFolder=" + QByteArray::fromStdString(folder) + "\r\n" + settings);
        Start();
        Form->show();
        EXPECT_TRUE(PumpUntil([&] { return Form->windowHandle()->isExposed(); }, 3000));
        Form->ReadyTimerTimer();
        ClickRow(0);
        return *Form;
    }
    // The glyphs' box in the coordinates of the picture control in front, once some is shown.
    QRect TextArea(int timeoutMs = 2000) {
        PumpUntil([&] { return Form->FTextOverlay && !Form->FTextOverlay->GlyphArea().isEmpty(); },
                  timeoutMs);
        return Form->FTextOverlay ? Form->FTextOverlay->GlyphArea() : QRect();
    }
};

TEST_F(OverlayTest, TheTimeStandsInGreenAtTheLowerLeftOfThePicture) {
    TFormQuelm& form = Play();
    ASSERT_TRUE(PumpUntil(
        [] { return PlayerState.OverlayText.find("[a.mp4]") != std::string::npos; }, 3000));
    const QRect area = TextArea();
    ASSERT_FALSE(area.isEmpty());
    EXPECT_EQ(form.FTextOverlay->parentWidget(), form.PictureStack->currentWidget());
    EXPECT_EQ(form.PictureStack->currentWidget(), form.EVRVideoWindow1.get());
    // The glyphs begin a little right of and below the corner (10, 400 - 45).
    EXPECT_GE(area.left(), 10);
    EXPECT_LT(area.left(), 16);
    EXPECT_GE(area.top(), 355);
    EXPECT_LT(area.top(), 365);

    PumpFor(200);
    QWidget* picture = form.PictureStack->currentWidget();
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(picture->winId()).toImage();
    int green = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            green += shot.pixelColor(x, y) == QColor(0, 255, 0);
    EXPECT_GT(green, 50);

    // Bold 14 points once the restore button maximised the window.
    PlayerState.OverlayFontSize = 14;
    ASSERT_TRUE(PumpUntil([&] { return TextArea().height() > area.height(); }, 1000));
}

TEST_F(OverlayTest, DontShowTextTakesItAwayAndBringsItBack) {
    TFormQuelm& form = Play();
    ASSERT_FALSE(TextArea().isEmpty());
    form.mnNoText->trigger();
    EXPECT_TRUE(form.FTextOverlay->GlyphArea().isEmpty());
    PumpFor(300);
    EXPECT_TRUE(form.FTextOverlay->GlyphArea().isEmpty());
    form.mnNoText->trigger();
    EXPECT_FALSE(TextArea(1000).isEmpty());
}

TEST_F(OverlayTest, NoTextSavedDrawsNothingAndAnEmptyTextPaintsNothing) {
    TFormQuelm& form = Play("NoText=1\r\n");
    ASSERT_TRUE(form.DrawTextThread.Running());
    PumpFor(400);
    EXPECT_TRUE(!form.FTextOverlay || form.FTextOverlay->GlyphArea().isEmpty());

    form.mnNoText->trigger();
    ASSERT_FALSE(TextArea().isEmpty());
    form.ShowOverlayText("");
    PumpFor(100);
    EXPECT_TRUE(form.FTextOverlay->GlyphArea().isEmpty());
}

// The worker ends with Stop, yet "Idle" replaces the old text at once.
TEST_F(OverlayTest, StopShowsIdleInPlaceOfTheOldText) {
    TFormQuelm& form = Play();
    form.ShowOverlayText("A rather long line of text before the stop");
    ASSERT_TRUE(PumpUntil([&] { return TextArea().width() > 150; }, 1000));
    form.BtnStopClick();
    EXPECT_EQ(PlayerState.OverlayText, "Idle");
    ASSERT_TRUE(PumpUntil([&] { return !form.DrawTextThread.Running(); }, 1000));
    PumpFor(100);
    EXPECT_FALSE(form.FTextOverlay->GlyphArea().isEmpty());
    EXPECT_LT(form.FTextOverlay->GlyphArea().width(), 60);
}

// The worker asked to stop ends only after its pause; a file opened meanwhile still gets its
// text.
TEST_F(OverlayTest, AFileOpenedRightAfterStopStillShowsItsText) {
    TFormQuelm& form = Play();
    ASSERT_FALSE(TextArea().isEmpty());
    form.BtnStopClick();
    ClickRow(0);
    form.ShowOverlayText("After the stop, a new file");
    ASSERT_TRUE(PumpUntil([&] { return TextArea().width() > 100; }, 1500));
    EXPECT_TRUE(form.DrawTextThread.Running());
}

}  // namespace
