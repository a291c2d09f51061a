// The error and log window: its look, its one instance, the log lines, and how it goes away.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>

#include "desktop/ErrorUnit.h"
#include "tests/support/EventPump.h"

namespace {

class ErrorUnitTest : public ::testing::Test {
  protected:
    void TearDown() override { FreeErrorForm(); }
};

bool OnX11() {
    return QGuiApplication::platformName() == "xcb";
}

}  // namespace

TEST_F(ErrorUnitTest, IsABorderlessTranslucentWindowOnTopWithTwoPanes) {
    TErrorForm* form = OpenErrorForm();
    ASSERT_EQ(form, ErrorForm);
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(form->objectName(), "ErrorForm");
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_NEAR(form->windowOpacity(), 200 / 255.0, 0.01);
    EXPECT_EQ(form->size(), QSize(302, 217));
    EXPECT_TRUE(form->MemoError->toPlainText().isEmpty());
    EXPECT_EQ(form->MemoError->lineWrapMode(), QPlainTextEdit::NoWrap);

    form->show();
    ASSERT_TRUE(PumpUntil([&] { return form->MemoLog->height() > 0; }, 2000));
    EXPECT_EQ(form->MemoLog->height(), 113);
    EXPECT_EQ(form->Splitter1->handleWidth(), 3);
    EXPECT_EQ(form->Splitter1->handle(1)->grab().toImage().pixelColor(1, 1), QColor(Qt::yellow));
    EXPECT_EQ(form->MemoError->geometry().bottom() + 1 + 3, form->MemoLog->geometry().top());
    // A taller window gives the room to the error pane; the log keeps its height.
    form->resize(302, 400);
    ASSERT_TRUE(PumpUntil([&] { return form->MemoError->height() > 200; }, 2000));
    EXPECT_EQ(form->MemoLog->height(), 113);
}

TEST_F(ErrorUnitTest, OneInstanceKeepsItsLinesUntilFreed) {
    LogLine("before any window");  // nowhere to go: dropped
    TErrorForm* form = OpenErrorForm();
    LogLine("NotifyFilter vdmEVR Mode");
    LogLine("cePlay FDisplayControl <> nil");
    EXPECT_EQ(OpenErrorForm(), form);
    EXPECT_EQ(form->MemoLog->toPlainText(),
              "NotifyFilter vdmEVR Mode\ncePlay FDisplayControl <> nil");
    form->SetErrorText("first");
    form->SetErrorText("second");
    EXPECT_EQ(form->MemoError->toPlainText(), "second");
    FreeErrorForm();
    EXPECT_EQ(ErrorForm, nullptr);
    LogLine("after the window");
    EXPECT_TRUE(OpenErrorForm()->MemoLog->toPlainText().isEmpty());
}

TEST_F(ErrorUnitTest, FirstShowingIsCentredOnThePlayerLaterOnesKeepThePlace) {
    QWidget player;
    player.setGeometry(200, 100, 620, 400);
    TErrorForm* form = OpenErrorForm();
    form->ShowInFront(&player);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->frameGeometry().center(), player.frameGeometry().center());
    form->hide();
    form->move(10, 20);
    form->ShowInFront(&player);
    EXPECT_EQ(form->pos(), QPoint(10, 20));
}

TEST_F(ErrorUnitTest, LosingActivationHidesIt) {
    if (!OnX11()) GTEST_SKIP() << "needs a display to hand activation around";
    QWidget other;
    other.setGeometry(700, 100, 200, 200);
    other.show();
    TErrorForm* form = OpenErrorForm();
    form->ShowInFront(&other);
    ASSERT_TRUE(PumpUntil([&] { return form->isActiveWindow(); }, 3000));
    form->ErrorTimer.SetEnabled(true);
    other.activateWindow();
    EXPECT_TRUE(PumpUntil([&] { return form->isHidden(); }, 3000));
    EXPECT_FALSE(form->ErrorTimer.Enabled());
}
