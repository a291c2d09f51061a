// The player window's creation, "Quelm.ini", the exception hook and the brightness file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QScreen>
#include <stdexcept>

#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"

namespace {

// Caption of each item, "-" for a separator, "[x]" after a checked one, "(img)" after one
// with an image, and the items of a sub-menu in braces.
QString Describe(const QMenu* menu) {
    QStringList items;
    for (const QAction* item : menu->actions()) {
        QString text = item->isSeparator() ? "-" : item->text();
        if (item->isCheckable()) text += item->isChecked() ? "[x]" : "[ ]";
        if (!item->icon().isNull()) text += "(img)";
        if (!item->isVisible()) text += "(hidden)";
        if (item->menu()) text += "{" + Describe(item->menu()) + "}";
        items << text;
    }
    return items.join(", ");
}

}  // namespace

using MainTest = PlayerTest;

TEST_F(MainTest, FirstStartShowsTheDefaults) {
    TFormQuelm& form = Start();
    EXPECT_EQ(form.geometry(), QRect(100, 100, 620, 400));
    EXPECT_EQ(form.windowTitle(), "Vexlo Player");
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.StayOnTop1->isChecked());
    EXPECT_EQ(form.TrackVolume->Value(), 10000);  // full, not the silent end
    EXPECT_TRUE(form.rBtnLoopALL->isChecked());
    EXPECT_FALSE(form.rBtnLoop1->isChecked());
    EXPECT_FALSE(form.mnNoText->isChecked());
    EXPECT_FALSE(form.chkboxZoomVertical->isChecked());
    EXPECT_EQ(form.BigDirComboBox->currentText(), "Click the Folder Icon to open file");
    EXPECT_TRUE(form.Panel14->isHidden());
    EXPECT_FALSE(form.Label1->isEnabled());
    EXPECT_EQ(form.Panel14->width(), 625 / 2 + 60);
    // The help text fills the picture area, black, in front.
    EXPECT_EQ(form.IntroMemo->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(form.IntroMemo->palette().color(QPalette::Text), QColor(0, 255, 0));
    EXPECT_EQ(form.IntroMemo->toPlainText().split('\n').value(3),
              "  Play DVD:  open the drive that contains the DVD disc.");
    // Starting writes nothing but the empty "bfilter.ini" object.
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Home("Quelm.ini"))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Home("FolderLocation.txt"))));
}

TEST_F(MainTest, MenusHoldEveryItemInOrder) {
    TFormQuelm& form = Start();
    EXPECT_EQ(Describe(form.PopupMenu1),
              "DVD-Menu{Root Menu(img), Title Menu, Frame Step(img)}, Next Chapter(img), "
              "Previous Chapter(img), Fast Forward(img), Normal(img), Rewind(img), Subtitles[x], "
              "Subtitle Track{}, Audio Track{}, -(hidden), "
              "Open New Media Player, Show Error Memo, No Color Control Filters[ ], "
              "Don't Show Text[ ], Resume Where Left[x], -, Auto Sized{Top R, Top L, Bottom R, Bottom L, "
              "Left of Screen, Right of Screen}, -, Sound Graphic EQ Control, "
              "Video Filter Control, -, Fullscreen(img), Stay On Top[ ], -, Exit");
    EXPECT_EQ(Describe(form.PopupMenu2), "Delete this file");
    EXPECT_EQ(Describe(form.PopupAdjustment),
              "Sound Adjustment, Video Adjustment, -, Show Filter Controls, -, Set Default");
    // A check item's click flips its check.
    form.mnNoText->trigger();
    EXPECT_TRUE(form.mnNoText->isChecked());
}

TEST_F(MainTest, SavedSettingsComeBackAtTheNextStart) {
    WriteFile(Home("testing.log"), "");
    WriteSettings(
        "FrmTop=120\r\nFrmLeft=130\r\nFrmWidth=700\r\nFrmHeight=500\r\nVolumepos=12000\r\n"
        "VideoFolder=/films/\r\nStayOnTop=1\r\nRepeat1=1\r\nEVR=1\r\nNoText=1\r\n"
        "VerticalZoom=1\r\nSubtitles=0\r\n");
    TFormQuelm& form = Start();
    EXPECT_EQ(form.geometry(), QRect(130, 120, 700, 500));
    EXPECT_EQ(form.TrackVolume->Value(), 10000);  // clamped by the slider
    EXPECT_EQ(PlayerState.CurrentFolder, "/films/");
    EXPECT_EQ(form.BigDirComboBox->currentText(), "/films/");
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.StayOnTop1->isChecked());
    EXPECT_TRUE(form.rBtnLoop1->isChecked());
    EXPECT_FALSE(form.rBtnLoopALL->isChecked());
    EXPECT_TRUE(form.chkboxEVR->isChecked());
    EXPECT_TRUE(form.mnNoText->isChecked());
    EXPECT_TRUE(form.chkboxZoomVertical->isChecked());
    EXPECT_FALSE(form.mnSubtitles->isChecked());

    form.TrackVolume->SetValue(3000);
    form.rBtnLoopALL->setChecked(true);
    form.move(140, 150);
    Close();
    const TIniFile ini = Settings();
    EXPECT_EQ(ini.ReadInteger("MedForm", "FrmTop", 0), 150);
    EXPECT_EQ(ini.ReadInteger("MedForm", "FrmLeft", 0), 140);
    EXPECT_EQ(ini.ReadInteger("MedForm", "FrmWidth", 0), 700);
    EXPECT_EQ(ini.ReadInteger("MedForm", "FrmHeight", 0), 500);
    EXPECT_EQ(ini.ReadInteger("MedForm", "Volumepos", 0), 3000);
    EXPECT_EQ(ini.ReadString("MedForm", "VideoFolder", ""), "/films/");
    EXPECT_EQ(ini.ReadString("MedForm", "StayOnTop", ""), "1");
    EXPECT_EQ(ini.ReadString("MedForm", "Repeat1", ""), "0");
    EXPECT_EQ(ini.ReadString("MedForm", "EVR", ""), "1");
    EXPECT_EQ(ini.ReadString("MedForm", "NoText", ""), "1");
    EXPECT_EQ(ini.ReadString("MedForm", "VerticalZoom", ""), "1");
}

TEST_F(MainTest, FirstCloseWritesEveryKeyInOrder) {
    Start();
    Close();
    EXPECT_EQ(ReadFile(Home("Quelm.ini")),
              "[MedForm]\r\nFrmTop=100\r\nFrmLeft=100\r\nFrmWidth=620\r\nFrmHeight=400\r\n"
              "Volumepos=10000\r\nVideoFolder=Click the Folder Icon to open file\r\nStayOnTop=0\r\n"
              "Repeat1=0\r\nNoText=0\r\nVerticalZoom=0\r\nResumeWhereLeft=1\r\nSubtitles=1\r\n");
}

TEST_F(MainTest, ClosingMaximisedOrMinimisedLeavesTheFileAlone) {
    for (auto state : {Qt::WindowMaximized, Qt::WindowMinimized}) {
        WriteSettings("FrmTop=7\r\n; a comment\r\n");
        const QByteArray before = ReadFile(Home("Quelm.ini"));
        Start().setWindowState(state);
        Close();
        EXPECT_EQ(ReadFile(Home("Quelm.ini")), before) << state;
    }
}

TEST_F(MainTest, ALeftEdgeOf3000IsNotSaved) {
    WriteSettings("FrmLeft=55\r\n");
    Start().move(3000, 60);
    Form->SaveSettings();
    EXPECT_EQ(Settings().ReadInteger("MedForm", "FrmLeft", 0), 55);
    EXPECT_EQ(Settings().ReadInteger("MedForm", "FrmTop", 0), 60);
    EXPECT_TRUE(Settings().ValueExists("MedForm", "VerticalZoom"));
    Form->move(2999, 60);
    Form->SaveSettings();
    EXPECT_EQ(Settings().ReadInteger("MedForm", "FrmLeft", 0), 2999);
}

TEST_F(MainTest, AReadOnlyFileIsReportedAndKept) {
    WriteFile(Home("testing.log"), "");
    WriteSettings("FrmTop=7\r\n");
    const QByteArray before = ReadFile(Home("Quelm.ini"));
    QFile::setPermissions(QString::fromStdString(Home("Quelm.ini")), QFile::ReadOwner);
    Start();
    Close();
    EXPECT_EQ(ReadFile(Home("Quelm.ini")), before);
    ASSERT_NE(ErrorForm, nullptr);
    EXPECT_EQ(ErrorForm->MemoError->toPlainText().toStdString(),
              "Unable to write to " + Home("Quelm.ini"));
}

TEST_F(MainTest, WithoutDiagnosticModeTheEvrKeyAndErrorsStayHidden) {
    WriteSettings("EVR=1\r\n");
    TFormQuelm& form = Start();
    EXPECT_FALSE(PlayerState.DiagnosticMode);
    EXPECT_FALSE(form.chkboxEVR->isChecked());
    EXPECT_TRUE(form.chkboxEVR->isHidden());
    EXPECT_FALSE(form.mnShowErrorMemo->isEnabled());
    form.Guard(&form, [] { throw std::runtime_error("not to be seen"); });
    EXPECT_TRUE(ErrorForm == nullptr || ErrorForm->isHidden());
    WriteSettings("EVR=0\r\n");
    form.chkboxEVR->setChecked(true);
    Close();
    EXPECT_EQ(Settings().ReadString("MedForm", "EVR", ""), "0");
}

TEST_F(MainTest, InDiagnosticModeExceptionsShowInTheErrorWindow) {
    WriteFile(Home("testing.log"), "");
    TFormQuelm& form = Start();
    EXPECT_TRUE(form.mnShowErrorMemo->isEnabled());
    EXPECT_FALSE(form.chkboxEVR->isHidden());
    form.Guard(&form, [] { throw std::runtime_error("first"); });
    form.Guard(&form, [] { throw std::runtime_error("second"); });
    ASSERT_NE(ErrorForm, nullptr);
    EXPECT_TRUE(ErrorForm->isVisible());
    EXPECT_EQ(ErrorForm->MemoError->toPlainText(), "second");
    // With a DVD open the window shows what it held.
    PlayerState.DvdMode = true;
    form.Guard(&form, [] { throw std::runtime_error("third"); });
    EXPECT_EQ(ErrorForm->MemoError->toPlainText(), "second");
    // Once exiting, nothing shows.
    PlayerState.DvdMode = false;
    PlayerState.Exiting = true;
    form.Guard(&form, [] { throw std::runtime_error("fourth"); });
    EXPECT_EQ(ErrorForm->MemoError->toPlainText(), "second");
}

TEST_F(MainTest, HandlersRaisingReachTheHookNotTheEventLoop) {
    WriteFile(Home("testing.log"), "");
    TFormQuelm& form = Start();
    PlayerState.PlayerReady = true;
    const std::string folder = Home("locked/");
    QDir().mkpath(QString::fromStdString(folder));
    PlayerState.FilterIniFile = std::make_unique<TIniFile>(folder + "missing/bfilter.ini");
    form.TrackBrightness->setFocus();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(form.TrackBrightness, &end);  // a completed change by the user
    ASSERT_NE(ErrorForm, nullptr);
    EXPECT_EQ(ErrorForm->MemoError->toPlainText().toStdString(),
              "Unable to write to " + folder + "missing/bfilter.ini");
}

TEST_F(MainTest, BrightnessIsStoredOnlyForUserChangesWhenReadyAndNotOnDvd) {
    WriteFile(Home("bfilter.ini"), "[Brightness]\r\nValue=-30\r\n");
    TFormQuelm& form = Start();
    EXPECT_EQ(PlayerState.BrightnessValue, -30);
    auto stored = [&] {
        return TIniFile(Home("bfilter.ini")).ReadInteger("Brightness", "Value", 0);
    };
    auto userPressesEnd = [&] {
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
        QApplication::sendEvent(form.TrackBrightness, &end);
    };
    userPressesEnd();  // not ready yet
    EXPECT_EQ(stored(), -30);
    PlayerState.PlayerReady = true;
    PlayerState.DvdMode = true;
    form.TrackBrightness->SetValue(0);
    userPressesEnd();
    EXPECT_EQ(stored(), -30);
    PlayerState.DvdMode = false;
    form.TrackBrightness->SetValue(40);  // set by the program: no completed change
    EXPECT_EQ(stored(), -30);
    userPressesEnd();
    EXPECT_EQ(stored(), 100);
}

TEST_F(MainTest, TheFirstReadyTickMakesThePlayerReadyOnce) {
    TFormQuelm& form = Start();
    EXPECT_TRUE(form.ReadyTimer.Enabled());
    EXPECT_EQ(form.ReadyTimer.Interval(), 400u);
    EXPECT_FALSE(PlayerState.PlayerReady);
    EXPECT_TRUE(PumpUntil([] { return PlayerState.PlayerReady; }, 3000));
    EXPECT_FALSE(form.ReadyTimer.Enabled());
}

TEST_F(MainTest, TheCommandLineFileIsKept) {
    Start({"/films/a.mkv", "/films/b.mkv"});
    EXPECT_EQ(PlayerState.CommandLineFile, "/films/a.mkv");
}

// --- Damaged settings ----------------------------------------------------------------------

TEST_F(MainTest, RandomOrHugeSettingsFilesStartWithUsableValues) {
    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator generator(7);
    for (char& byte : noise) byte = static_cast<char>(generator.bounded(256));
    QByteArray large;
    while (large.size() < 10 * 1024 * 1024) large += "Key=" + QByteArray(1000, 'x') + "\r\n";
    for (const QByteArray& content : {noise, "[MedForm]\r\n" + large + "FrmWidth=900\r\n"}) {
        WriteFile(Home("Quelm.ini"), content);
        TFormQuelm& form = Start();
        EXPECT_GE(form.width(), 320);
        EXPECT_GE(form.height(), 240);
        form.move(111, 122);
        Close();
        EXPECT_EQ(Settings().ReadInteger("MedForm", "FrmTop", 0), 122);
        EXPECT_EQ(Settings().ReadInteger("MedForm", "FrmLeft", 0), 111);
    }
}

TEST_F(MainTest, SizesStayUsableAndLostPlacesComeBackOnScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        QByteArray lines;
        QRect expected;
    };
    const Case cases[] = {
        {"FrmWidth=-50\r\nFrmHeight=0\r\n", QRect(100, 100, 320, 240)},
        // Larger than the screen: cut to its available area, and wholly onto it.
        {"FrmWidth=100\r\nFrmHeight=2147483647\r\n",
         QRect(100, screen.top(), 320, screen.height())},
        // Partly off screen, as the placements leave it: stays.
        {"FrmLeft=-2\r\nFrmTop=-2\r\n", QRect(-2, -2, 620, 400)},
        {"FrmLeft=-600\r\nFrmTop=10\r\n", QRect(-600, 10, 620, 400)},
        // Wholly outside every screen: brought back to the nearest place on the primary one.
        {"FrmLeft=-5000\r\nFrmTop=10\r\n", QRect(screen.left(), 10, 620, 400)},
        {"FrmLeft=-2147483648\r\nFrmTop=2147483647\r\n",
         QRect(screen.left(), screen.bottom() + 1 - 400, 620, 400)},
    };
    for (const Case& test : cases) {
        WriteSettings(test.lines);
        EXPECT_EQ(Start().geometry(), test.expected) << test.lines.toStdString();
        Close();
    }
}
