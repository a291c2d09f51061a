// Window modes and placement: the placement and bar arithmetic on screens of other sizes, the
// zoom steps and where they go, minimise, restore and full screen, dragging by the picture and
// the middle button's reset.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <vector>

#include "app/PlayerState.h"
#include "app/WindowModes.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"

namespace {

const QSize kMinimum(320, 240);

std::vector<int32_t> Notches(int count, bool up, int32_t limit, int32_t& amount) {
    int32_t upStep = 0, downStep = 0;
    std::vector<int32_t> amounts;
    for (int i = 0; i < count; ++i) {
        StepZoom(amount, upStep, downStep, up, limit);
        amounts.push_back(amount);
    }
    return amounts;
}

QMouseEvent Press(QPoint at, QPoint global, Qt::MouseButton button = Qt::LeftButton) {
    return QMouseEvent(QEvent::MouseButtonPress, at, global, button, button, Qt::NoModifier);
}

}  // namespace

TEST(WindowModesArithmetic, PlacementsOnAFullHdScreen) {
    const QSize screen(1920, 1080);
    EXPECT_EQ(PlacementRect(plTopRight, screen, kMinimum), QRect(962, -1, 958, 524));
    EXPECT_EQ(PlacementRect(plTopLeft, screen, kMinimum), QRect(0, -1, 958, 524));
    EXPECT_EQ(PlacementRect(plBottomRight, screen, kMinimum), QRect(962, 524, 958, 524));
    EXPECT_EQ(PlacementRect(plLeftOfScreen, screen, kMinimum), QRect(-2, -2, 970, 1053));
    EXPECT_EQ(PlacementRect(plRightOfScreen, screen, kMinimum), QRect(952, -2, 970, 1053));
}

TEST(WindowModesArithmetic, PlacementsOnSmallScreensUseTheSizeAfterTheMinimum) {
    EXPECT_EQ(PlacementRect(plBottomLeft, QSize(1024, 768), kMinimum), QRect(0, 368, 510, 368));
    // 400 x 300: half the screen is below the minimum size, and the corners follow it.
    EXPECT_EQ(PlacementRect(plBottomRight, QSize(400, 300), kMinimum), QRect(80, 240, 320, 240));
    EXPECT_EQ(PlacementRect(plRightOfScreen, QSize(400, 300), kMinimum), QRect(82, -2, 320, 273));
}

TEST(WindowModesArithmetic, BottomBarThresholds) {
    const TBarLayout tall = BarLayoutFor(QSize(1100, 800));
    EXPECT_EQ(tall.BarHeight, 20);
    EXPECT_TRUE(tall.LargeThumbs);
    EXPECT_EQ(tall.SpeedWidth, 200);
    const TBarLayout low = BarLayoutFor(QSize(701, 700));
    EXPECT_EQ(low.BarHeight, 15);
    EXPECT_FALSE(low.LargeThumbs);
    EXPECT_EQ(low.SpeedWidth, 100);
    EXPECT_EQ(BarLayoutFor(QSize(700, 701)).SpeedWidth, 50);
}

TEST(WindowModesArithmetic, ZoomAcceleratesStopsAtTheLimitAndRestartsTheOtherWay) {
    int32_t amount = 0;
    EXPECT_EQ(Notches(11, true, 50, amount),
              (std::vector<int32_t>{1, 3, 6, 10, 15, 21, 28, 36, 45, 50, 50}));
    int32_t upStep = 11, downStep = 0;
    std::vector<int32_t> down;
    for (int i = 0; i < 4; ++i) {
        StepZoom(amount, upStep, downStep, false, 50);
        down.push_back(amount);
    }
    EXPECT_EQ(down, (std::vector<int32_t>{49, 47, 44, 40}));
    EXPECT_EQ(upStep, 0);
    // Down never goes below 0.
    amount = 2;
    EXPECT_EQ(Notches(3, false, 50, amount), (std::vector<int32_t>{1, 0, 0}));

    EXPECT_EQ(ZoomLimit(true, false), 300);
    EXPECT_EQ(ZoomLimit(false, true), 300);
    EXPECT_EQ(ZoomLimit(false, false), 50);
    amount = 0;
    EXPECT_EQ(Notches(25, true, 300, amount).back(), 300);
    // An amount left above a lower limit (the check boxes changed) comes down to it first.
    amount = 300;
    EXPECT_EQ(Notches(1, false, 50, amount).back(), 49);
}

using WindowModesTest = PlayerTest;

TEST_F(WindowModesTest, ResizingLaysOutTheBottomBar) {
    TFormQuelm& form = Start();
    form.show();
    form.resize(1100, 800);
    PumpFor(20);
    EXPECT_EQ(form.Paneles1->height(), 20);
    EXPECT_EQ(form.Paneles2->height(), 20);
    EXPECT_EQ(form.Paneles2->width(), 200);
    for (TRxSlider* slider : std::initializer_list<TRxSlider*>{
             form.TrackProgress, form.TrackBrightness, form.TrackVolume, form.TrackSpeed})
        EXPECT_EQ(slider->ImageHThumb().size(), QSize(32, 20))
            << slider->objectName().toStdString();
    form.resize(701, 700);
    PumpFor(20);
    EXPECT_EQ(form.Paneles1->height(), 15);
    EXPECT_EQ(form.Paneles2->width(), 100);
    EXPECT_EQ(form.TrackVolume->ImageHThumb().size(), QSize(16, 10));
}

TEST_F(WindowModesTest, MinimiseDoesNothingInFullScreenAndRestoreMaximisesWithLargeFonts) {
    TFormQuelm& form = Start();
    form.show();
    const QRect normal = form.geometry();
    form.Fullscreen1Click();
    EXPECT_TRUE(PlayerState.FullScreenOn);
    EXPECT_EQ(form.geometry(), QGuiApplication::primaryScreen()->geometry());
    form.btnMinClick();
    EXPECT_FALSE(form.isMinimized());
    form.Fullscreen1Click();
    EXPECT_EQ(PlayerState.FullScreenState, "Normal");
    EXPECT_EQ(form.geometry(), normal);

    form.btnRestoreClick();
    EXPECT_TRUE(form.isMaximized());
    EXPECT_EQ(PlayerState.OverlayFontSize, 14);
    EXPECT_EQ(form.LvVideoSource->font().pointSize(), 15);
    EXPECT_TRUE(form.TrackVolume->toolTip().isEmpty());
    form.btnRestoreClick();
    EXPECT_FALSE(form.isMaximized());
    EXPECT_EQ(form.geometry(), normal);
    EXPECT_EQ(PlayerState.OverlayFontSize, 10);
    EXPECT_EQ(form.BigDirComboBox->font().pointSize(), 10);

    form.btnMinClick();
    EXPECT_TRUE(form.isMinimized());
    form.btnRestoreClick();
    EXPECT_FALSE(form.isMinimized());
}

TEST_F(WindowModesTest, APressOnThePictureDragsTheWindowUnlessItNearlyFillsTheScreen) {
    TFormQuelm& form = Start();
    form.setGeometry(200, 150, 620, 400);
    form.show();
    ASSERT_TRUE(PumpUntil([&] { return form.windowHandle()->isExposed(); }, 3000));
    const QPoint grip(300, 250);
    form.FormMouseDown(&form, Press(QPoint(100, 100), grip));
    EXPECT_TRUE(form.EVRVideoWindow1->MouseButtonHeld());
    QMouseEvent move(QEvent::MouseMove, QPoint(100, 100), grip + QPoint(40, 30), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &move);
    EXPECT_EQ(form.pos(), QPoint(240, 180));
    QMouseEvent release(QEvent::MouseButtonRelease, QPoint(100, 100), grip + QPoint(40, 30),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &release);
    PumpFor(20);
    QMouseEvent later(QEvent::MouseMove, QPoint(100, 100), grip + QPoint(90, 90), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &later);
    EXPECT_EQ(form.pos(), QPoint(240, 180));
    form.FormMouseMove(&form, later);
    EXPECT_FALSE(form.EVRVideoWindow1->MouseButtonHeld());

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    form.setGeometry(screen.x() + 10, screen.y() + 10, screen.width() - 50, screen.height() - 50);
    const QPoint place = form.pos();
    form.FormMouseDown(&form, Press(QPoint(100, 100), place + QPoint(100, 100)));
    EXPECT_TRUE(form.EVRVideoWindow1->MouseButtonHeld());
    QApplication::sendEvent(&form, &move);
    EXPECT_EQ(form.pos(), place);
}

TEST_F(WindowModesTest, WheelZoomActsOnlyWhilePlayingAndGoesToTheChosenWindow) {
    const std::string folder = Folder("films");
    CopyClip("video.mp4", folder + "a.mp4");
    TFormQuelm& form = Start();
    const QWheelEvent wheel(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, 120),
                            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    form.FormMouseWheelUp(&form, wheel);  // not ready, nothing plays
    EXPECT_EQ(PlayerState.ZoomAmount, 0);
    EXPECT_EQ(form.LbLOpenList->text(), "Open");
    Close();

    StartWithFolder(folder);
    ClickRow(0);
    ASSERT_TRUE(Form->FG.Active());
    Form->chkboxZoomVertical->setChecked(true);
    for (int i = 0; i < 25; ++i) Form->FormMouseWheelUp(Form.get(), wheel);
    EXPECT_EQ(PlayerState.ZoomAmount, 300);
    EXPECT_EQ(Form->LbLOpenList->text(), "300");
    EXPECT_EQ(Form->EVRVideoWindow1->ZoomExtraY(), 300);  // a file's picture, vertically
    EXPECT_EQ(Form->EVRVideoWindow1->ZoomExtraX(), 0);

    Form->chkboxZoomVertical->setChecked(false);
    Form->chkboxEVR->setChecked(true);
    Form->FormMouseWheelDown(Form.get(), wheel);
    EXPECT_EQ(PlayerState.ZoomAmount, 299);
    EXPECT_EQ(Form->EVRVideoWindow1->ZoomExtraX(), 299);  // both ways
    EXPECT_EQ(Form->EVRVideoWindow1->ZoomExtraY(), 299);
}

TEST_F(WindowModesTest, TheMiddleButtonResetsTheZoomAlsoWhileNothingPlays) {
    TFormQuelm& form = Start();
    form.show();
    ASSERT_TRUE(PumpUntil([&] { return form.windowHandle()->isExposed(); }, 3000));
    PlayerState.ZoomAmount = 21;
    PlayerState.ZoomUpStep = 6;
    PlayerState.ZoomDownStep = 2;
    form.LbLOpenList->setText("21");
    form.EVRVideoWindow1->ZoomPicture(21, true, true);
    QMouseEvent middle = Press(QPoint(50, 50), form.mapToGlobal(QPoint(50, 50)), Qt::MiddleButton);
    QApplication::sendEvent(form.windowHandle(), &middle);
    EXPECT_EQ(PlayerState.ZoomAmount, 0);
    EXPECT_EQ(PlayerState.ZoomUpStep, 0);
    EXPECT_EQ(PlayerState.ZoomDownStep, 0);
    EXPECT_EQ(form.LbLOpenList->text(), "Open");
    EXPECT_EQ(form.EVRVideoWindow1->ZoomExtraY(), 0);  // a file's picture, reset
}
