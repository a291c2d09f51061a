#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <stdexcept>
#include <vector>

#include "components/RXSlider.h"
#include "tests/components/InputSupport.h"
#include "tests/support/EventPump.h"

namespace {

// A slider set up as the player's, shown, counting its events.
struct SliderProbe {
    std::unique_ptr<TRxSlider> Slider = std::make_unique<TRxSlider>();
    std::vector<int> Changes;  // Value at each OnChange
    int ChangedCount = 0;

    SliderProbe(int minValue, int maxValue, int value, int width = 200) {
        Slider->SetNumThumbStates(1);
        Slider->SetOptions(soShowFocus | soSmooth);
        Slider->SetImageHThumb(QPixmap(":/images/ThumbSmall.xpm"));
        Slider->SetRange(minValue, maxValue);
        Slider->SetIncrement(1);
        Slider->SetValue(value);
        Slider->setGeometry(200, 200, width, 15);  // away from the pointer
        Slider->show();
        Slider->OnChange = [this] { Changes.push_back(Slider->Value()); };
        Slider->OnChanged = [this] { ++ChangedCount; };
    }

    QPoint ThumbCentre() const { return Slider->ThumbRect().center(); }
    int RulerY() const { return Slider->RulerRect().center().y(); }
};

TEST(RXSliderTest, ImagesAreCompiledIn) {
    EXPECT_EQ(QPixmap(":/images/ThumbSmall.xpm").size(), QSize(16, 10));
    EXPECT_EQ(QPixmap(":/images/ThumbSmallLime.xpm").size(), QSize(16, 10));
    EXPECT_EQ(QPixmap(":/images/ThumbLarge.xpm").size(), QSize(32, 20));
    EXPECT_EQ(QPixmap(":/images/BottomBar.xpm").height(), 15);
    EXPECT_FALSE(QPixmap(":/images/Ruler.xpm").isNull());
    EXPECT_FALSE(QPixmap(":/images/Reset.xpm").isNull());
}

TEST(RXSliderTest, SettingValueClampsAndReportsOnlyRealChanges) {
    SliderProbe volume(0, 10000, 2000);
    volume.Slider->SetValue(12000);
    EXPECT_EQ(volume.Slider->Value(), 10000);
    volume.Slider->SetValue(10000);
    volume.Slider->SetValue(-3);
    EXPECT_EQ(volume.Changes, (std::vector<int>{10000, 0}));
    EXPECT_EQ(volume.ChangedCount, 0);  // programmatic sets are no user action
}

TEST(RXSliderTest, RangeRules) {
    SliderProbe brightness(-100, 100, 0);
    brightness.Slider->SetMaxValue(-200);
    brightness.Slider->SetMinValue(100);
    EXPECT_EQ(brightness.Slider->MinValue(), -100);
    EXPECT_EQ(brightness.Slider->MaxValue(), 100);
    EXPECT_TRUE(brightness.Changes.empty());

    // A narrower range cuts the increment and pulls the value in, reporting the change.
    TRxSlider slider;
    int changes = 0;
    slider.OnChange = [&] { ++changes; };
    slider.SetValue(50);
    slider.SetMaxValue(5);
    EXPECT_EQ(slider.Increment(), 5);
    EXPECT_EQ(slider.Value(), 5);
    EXPECT_EQ(changes, 2);
}

TEST(RXSliderTest, IncrementOutsideTheRangeWidthIsAnError) {
    SliderProbe speed(1, 50, 2);
    for (int bad : {0, 50}) {
        try {
            speed.Slider->SetIncrement(bad);
            FAIL() << bad << " was accepted";
        } catch (const std::range_error& error) {
            EXPECT_STREQ(error.what(), "Value must be between 1 and 49");
        }
    }
    speed.Slider->SetIncrement(49);
    EXPECT_EQ(speed.Slider->Increment(), 49);
}

TEST(RXSliderTest, HoldingTheRulerStepsEvery400ms) {
    SliderProbe speed(1, 50, 2);
    const QPoint right(speed.Slider->width() - 12, speed.RulerY());
    Press(speed.Slider.get(), right);
    EXPECT_EQ(speed.Slider->Value(), 3);
    PumpFor(200);
    EXPECT_EQ(speed.Slider->Value(), 3);
    PumpFor(250);
    EXPECT_EQ(speed.Slider->Value(), 4);
    EXPECT_EQ(speed.ChangedCount, 0);
    Release(speed.Slider.get(), right);
    EXPECT_EQ(speed.ChangedCount, 1);
    PumpFor(450);
    EXPECT_EQ(speed.Changes, (std::vector<int>{3, 4}));
}

TEST(RXSliderTest, StepsStopWhenThePointerIsNoLongerBesideTheThumb) {
    SliderProbe speed(1, 50, 2);
    // Just right of the thumb: one step moves the thumb over the pointer.
    const QPoint beside(speed.Slider->ThumbRect().right() + 2, speed.RulerY());
    Press(speed.Slider.get(), beside);
    PumpFor(450);
    EXPECT_EQ(speed.Slider->Value(), 3);
    // Moving to the other side does not reverse the steps either.
    Move(speed.Slider.get(), QPoint(2, speed.RulerY()));
    PumpFor(450);
    EXPECT_EQ(speed.Slider->Value(), 3);
    Release(speed.Slider.get(), beside);

    // A press across the ruler but outside its 3-pixel margin does nothing.
    Press(speed.Slider.get(), QPoint(speed.Slider->width() - 12, speed.RulerY() + 6));
    EXPECT_EQ(speed.Slider->Value(), 3);
}

TEST(RXSliderTest, DisablingEndsAHeldRulerPress) {
    SliderProbe speed(1, 50, 2);
    const QPoint right(speed.Slider->width() - 12, speed.RulerY());
    Press(speed.Slider.get(), right);
    speed.Slider->setEnabled(false);
    PumpFor(450);
    EXPECT_EQ(speed.Slider->Value(), 3);
    speed.Slider->setEnabled(true);
    Release(speed.Slider.get(), right);
    EXPECT_EQ(speed.ChangedCount, 0);
}

TEST(RXSliderTest, SteppingGoesToTheNextMultipleOfIncrement) {
    SliderProbe slider(-100, 100, -25);
    slider.Slider->SetIncrement(10);
    const QPoint left(4, slider.RulerY());
    Press(slider.Slider.get(), left);
    Release(slider.Slider.get(), left);
    EXPECT_EQ(slider.Slider->Value(), -30);
    Key(slider.Slider.get(), Qt::Key_Right);
    EXPECT_EQ(slider.Slider->Value(), -20);
    Key(slider.Slider.get(), Qt::Key_Left);
    EXPECT_EQ(slider.Slider->Value(), -30);
}

// 52 pixels less EdgeSize 2 and the 6-pixel indent at each end, less the 16-pixel thumb:
// a 20-pixel track for 0..10, so each pixel is half a step.
TEST(RXSliderTest, DraggingRoundsHalfToEven) {
    SliderProbe slider(0, 10, 0, 52);
    const QPoint grab = slider.ThumbCentre();
    Press(slider.Slider.get(), grab);
    const std::vector<std::pair<int, int>> pixelsToValue = {
        {1, 0}, {3, 2}, {5, 2}, {7, 4}, {8, 4}, {9, 4}, {19, 10}, {40, 10}, {-9, 0}};
    for (auto [pixels, value] : pixelsToValue) {
        Move(slider.Slider.get(), grab + QPoint(pixels, 0));
        EXPECT_EQ(slider.Slider->Value(), value) << pixels << " pixels";
    }
    EXPECT_EQ(slider.Changes, (std::vector<int>{2, 4, 10, 0}));
    EXPECT_EQ(slider.ChangedCount, 0);
    Release(slider.Slider.get(), grab);
    EXPECT_EQ(slider.ChangedCount, 1);
}

TEST(RXSliderTest, DraggingWithoutSmoothSnapsToIncrement) {
    SliderProbe slider(0, 10, 0, 52);
    slider.Slider->SetOptions(soShowFocus);
    slider.Slider->SetIncrement(4);
    const QPoint grab = slider.ThumbCentre();
    Press(slider.Slider.get(), grab);
    Move(slider.Slider.get(), grab + QPoint(5, 0));  // 2.5 -> 2 -> half of 4 -> 0
    EXPECT_EQ(slider.Slider->Value(), 0);
    Move(slider.Slider.get(), grab + QPoint(12, 0));  // 6 -> 1.5 fours -> 8
    EXPECT_EQ(slider.Slider->Value(), 8);
    Release(slider.Slider.get(), grab);
}

TEST(RXSliderTest, KeysCallChangeThenChanged) {
    SliderProbe slider(0, 10, 5);
    std::vector<std::string> calls;
    slider.Slider->OnChange = [&] { calls.push_back("change"); };
    slider.Slider->OnChanged = [&] { calls.push_back("changed"); };
    Key(slider.Slider.get(), Qt::Key_Right);
    Key(slider.Slider.get(), Qt::Key_End);
    Key(slider.Slider.get(), Qt::Key_End);
    Key(slider.Slider.get(), Qt::Key_Up);  // not a horizontal slider's key
    EXPECT_EQ(slider.Slider->Value(), 10);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"change", "changed", "change", "changed", "changed"}));
    Key(slider.Slider.get(), Qt::Key_Home);
    EXPECT_EQ(slider.Slider->Value(), 0);

    slider.Slider->SetOrientation(soVertical);
    Key(slider.Slider.get(), Qt::Key_Up);
    Key(slider.Slider.get(), Qt::Key_Right);
    EXPECT_EQ(slider.Slider->Value(), 1);
}

TEST(RXSliderTest, MouseUpFollowsChangedAndPointerEventsAreReported) {
    SliderProbe slider(0, 10, 0);
    std::vector<std::string> calls;
    slider.Slider->OnChanged = [&] { calls.push_back("changed"); };
    slider.Slider->OnMouseUp = [&](const QMouseEvent&) { calls.push_back("up"); };
    slider.Slider->OnMouseEnter = [&] { calls.push_back("enter"); };
    slider.Slider->OnMouseLeave = [&] { calls.push_back("leave"); };
    Enter(slider.Slider.get());
    Press(slider.Slider.get(), slider.ThumbCentre());
    Release(slider.Slider.get(), slider.ThumbCentre());
    Leave(slider.Slider.get());
    EXPECT_EQ(calls, (std::vector<std::string>{"enter", "changed", "up", "leave"}));
}

TEST(RXSliderTest, ThumbImageCanBeSwappedAtRunTime) {
    SliderProbe slider(0, 100, 50, 300);
    slider.Slider->resize(300, 24);
    EXPECT_EQ(slider.Slider->ThumbRect().size(), QSize(16, 10));
    slider.Slider->SetImageHThumb(QPixmap(":/images/ThumbLarge.xpm"));
    const QRect thumb = slider.Slider->ThumbRect();
    EXPECT_EQ(thumb.size(), QSize(32, 20));
    // The track is 300 - 2 * (2 + 6) - 32 = 252 pixels long: value 50 starts at 8 + 126.
    EXPECT_EQ(thumb.left(), 134);
    const QImage shot = slider.Slider->grab().toImage();
    EXPECT_NE(shot.pixelColor(thumb.center()), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(thumb.left() - 2, 1), QColor(Qt::black));
}

TEST(RXSliderTest, VerticalSliderHasItsMinimumAtTheBottom) {
    SliderProbe slider(0, 10, 0);
    slider.Slider->SetOrientation(soVertical);
    slider.Slider->resize(15, 200);
    const QRect thumb = slider.Slider->ThumbRect();
    EXPECT_EQ(thumb.bottom(), 200 - 1 - 8);
    Press(slider.Slider.get(), QPoint(slider.Slider->RulerRect().center().x(), 20));
    EXPECT_EQ(slider.Slider->Value(), 1);
}

}  // namespace
