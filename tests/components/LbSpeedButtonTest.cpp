#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <memory>
#include <string>
#include <vector>

#include "components/LbSpeedButton.h"
#include "tests/components/InputSupport.h"
#include "tests/support/EventPump.h"

namespace {

// A captionless button whose fill shows its state: blue normal, red hot, green down.
struct ButtonProbe {
    QWidget Parent;
    TLbSpeedButton* Button = new TLbSpeedButton(&Parent);
    std::vector<std::string> Calls;

    ButtonProbe() {
        Button->SetStyle(bsModern);
        Button->SetColor(Qt::blue);
        Button->SetHotTrackColor(Qt::red);
        Button->SetColorWhenDown(Qt::green);
        Button->setGeometry(0, 0, 40, 24);
        // Away from the pointer, so that no real enter or leave events interfere.
        Parent.setGeometry(200, 200, 60, 40);
        Parent.show();
        Button->OnClick = [this] { Calls.push_back("click"); };
        Button->OnMouseEnter = [this] { Calls.push_back("enter"); };
        Button->OnMouseExit = [this] { Calls.push_back("exit"); };
        Button->OnMouseDown = [this](const QMouseEvent&) { Calls.push_back("down"); };
        Button->OnMouseUp = [this](const QMouseEvent&) { Calls.push_back("up"); };
    }

    QColor Fill() const { return Button->grab().toImage().pixelColor(20, 12); }
    void ClickAt(QPoint releaseAt = QPoint(20, 12)) {
        Press(Button, QPoint(20, 12));
        Release(Button, releaseAt);
    }
};

TEST(LbSpeedButtonTest, PointerOverAnEnabledButtonShowsTheHotLook) {
    ButtonProbe probe;
    EXPECT_EQ(probe.Fill(), QColor(Qt::blue));
    Enter(probe.Button);
    EXPECT_EQ(probe.Fill(), QColor(Qt::red));
    Leave(probe.Button);
    EXPECT_EQ(probe.Fill(), QColor(Qt::blue));

    probe.Button->setEnabled(false);
    Enter(probe.Button);
    EXPECT_EQ(probe.Fill(), QColor(Qt::blue));
    Leave(probe.Button);
    EXPECT_EQ(probe.Calls, (std::vector<std::string>{"enter", "exit"}));
}

TEST(LbSpeedButtonTest, SlowDeceaseFadesTheHotLookOut) {
    ButtonProbe probe;
    probe.Button->SetSlowDecease(true);
    Enter(probe.Button);
    Leave(probe.Button);
    EXPECT_EQ(probe.Calls, (std::vector<std::string>{"enter", "exit"}));
    EXPECT_EQ(probe.Fill(), QColor(Qt::red));
    PumpFor(100);
    const QColor fading = probe.Fill();
    EXPECT_NE(fading, QColor(Qt::red));
    EXPECT_NE(fading, QColor(Qt::blue));
    PumpFor(400);
    EXPECT_EQ(probe.Fill(), QColor(Qt::blue));
}

TEST(LbSpeedButtonTest, HotTrackFontColoursTheCaption) {
    ButtonProbe probe;
    probe.Button->SetCaption("Reset");
    probe.Button->SetFontColor(Qt::yellow);
    probe.Button->SetHotTrackFontColor(QColor(0xff, 0x00, 0xff));
    probe.Button->SetUseHotTrackFont(true);
    auto magentaPixels = [&] {
        const QImage shot = probe.Button->grab().toImage();
        int count = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                count += shot.pixelColor(x, y) == QColor(0xff, 0x00, 0xff);
        return count;
    };
    EXPECT_EQ(magentaPixels(), 0);
    Enter(probe.Button);
    EXPECT_GT(magentaPixels(), 0);
}

TEST(LbSpeedButtonTest, PressShowsDownAndReleaseClicks) {
    ButtonProbe probe;
    Press(probe.Button, QPoint(20, 12));
    EXPECT_EQ(probe.Fill(), QColor(Qt::green));
    Release(probe.Button, QPoint(20, 12));
    EXPECT_EQ(probe.Fill(), QColor(Qt::blue));
    EXPECT_FALSE(probe.Button->Down());

    probe.ClickAt(QPoint(200, 12));  // released outside: no click
    EXPECT_EQ(probe.Calls, (std::vector<std::string>{"down", "up", "click", "down", "up"}));
}

TEST(LbSpeedButtonTest, ClickOpensThePopupBelowTheButtonBeforeOnClick) {
    ButtonProbe probe;
    QMenu menu;
    menu.addAction("Video Adjustment");
    QObject::connect(&menu, &QMenu::aboutToShow, [&] { probe.Calls.push_back("popup"); });
    probe.Button->SetPopupMenu(&menu);
    probe.ClickAt();
    EXPECT_EQ(probe.Calls, (std::vector<std::string>{"down", "up", "popup", "click"}));
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(menu.pos(), probe.Button->mapToGlobal(QPoint(0, 24)));
    menu.close();
}

TEST(LbSpeedButtonTest, GroupedButtonsStayDownOneAtATime) {
    ButtonProbe probe;
    auto* other = new TLbSpeedButton(&probe.Parent);
    other->setGeometry(0, 0, 40, 24);
    probe.Button->SetGroupIndex(1);
    other->SetGroupIndex(1);
    probe.ClickAt();
    EXPECT_TRUE(probe.Button->Down());
    other->SetDown(true);
    EXPECT_FALSE(probe.Button->Down());
    other->SetDown(false);  // the group keeps one button down
    EXPECT_TRUE(other->Down());
    other->SetAllowAllUp(true);
    other->SetDown(false);
    EXPECT_FALSE(other->Down());

    probe.Button->SetGroupIndex(0);
    probe.Button->SetDown(true);  // an ungrouped button never stays down
    EXPECT_FALSE(probe.Button->Down());
}

}  // namespace
