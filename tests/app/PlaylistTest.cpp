// The playlist: the scan of a folder, choosing and picking folders, clicking rows, the panel
// label and deleting files.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"
#include "desktop/FunctionMix.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"

namespace {

std::vector<std::string> Captions(TFormQuelm& form) {
    std::vector<std::string> captions;
    for (int i = 0; i < form.RowCount(); ++i) captions.push_back(form.RowCaption(i));
    return captions;
}

// Answers the next modal dialog with `answer` once it shows.
void AnswerDialog(const std::function<void(QWidget*)>& answer) {
    QTimer::singleShot(0, [answer] {
        QWidget* dialog = nullptr;
        PumpUntil([&] { return (dialog = QApplication::activeModalWidget()) != nullptr; }, 5000);
        if (dialog) answer(dialog);
    });
}

void ChooseInDialog(const QString& folder) {
    AnswerDialog([folder](QWidget* dialog) {
        qobject_cast<QFileDialog*>(dialog)->setDirectory(folder);
        qobject_cast<QDialog*>(dialog)->accept();
    });
}

void CancelDialog() {
    AnswerDialog([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
}

class PlaylistTest : public PlayerTest {};

TEST_F(PlaylistTest, ListsMediaNamesInLocaleOrderWithTheirSizes) {
    const std::string folder = Folder("films");
    WriteFile(folder + "a.AVI", QByteArray(1340, 'a'));
    WriteFile(folder + "b.txt", "text");
    WriteFile(folder + "c.mp4", QByteArray(100, 'c'));
    WriteFile(folder + "VIDEO_TS.IFO", QByteArray(23506, 'v'));
    WriteFile(folder + "VTS_01_1.IFO", "title");
    WriteFile(folder + "notes_mp3", "");
    // The later formats' dots are dots; a DVD's title files open through VIDEO_TS.IFO.
    for (const char* name : {"e.FLAC", "f.opus", "Contacts", "notes_flac", "VTS_01_1.VOB"})
        WriteFile(folder + name, "");
    QDir().mkpath(QString::fromStdString(folder + "d.mkv"));
    TFormQuelm& form = Start();
    form.ScanMediaFolder(folder);
    ASSERT_EQ(Captions(form), (std::vector<std::string>{"a.AVI", "c.mp4", "e.FLAC", "f.opus",
                                                        "notes_mp3", "VIDEO_TS.IFO"}));
    EXPECT_EQ(form.LvVideoSource->topLevelItem(0)->text(1), "1.30 KB");
    EXPECT_EQ(form.LvVideoSource->topLevelItem(1)->text(1), "100 bytes");
    EXPECT_EQ(form.LvVideoSource->topLevelItem(5)->text(1), "22.9 KB");
    form.ScanMediaFolder(Drive("nowhere/"));
    EXPECT_EQ(form.RowCount(), 0);
}

// A socket cannot be opened for reading, even by root: the one file whose size is unknown.
TEST_F(PlaylistTest, AnUnreadableFileIsReportedAfterTheOthersAreListed) {
    const std::string folder = Folder("films");
    WriteFile(folder + "a.mp4", "a");
    WriteFile(folder + "c.mp4", "c");
    const int unreadable = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = folder + "b.mp4";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(unreadable, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    WriteFile(Home("testing.log"), "");  // the hook shows what reached it
    TFormQuelm& form = Start();
    form.ScanMediaFolder(folder);
    EXPECT_TRUE(ErrorForm->MemoError->toPlainText().contains(
        QString::fromStdString("Cannot open file \"" + socketPath + "\". ")))
        << ErrorForm->MemoError->toPlainText().toStdString();
    EXPECT_EQ(Captions(form), (std::vector<std::string>{"a.mp4", "c.mp4"}));

    // A chosen folder holding it: the handler still finishes (history, panel, stay on top).
    form.show();
    form.SetStayOnTop(true);
    ChooseInDialog(QString::fromStdString(folder));
    form.btnOpenFolderClick();
    EXPECT_EQ(form.BigDirComboBox->currentText().toStdString(), folder);
    EXPECT_TRUE(form.Panel14->isVisibleTo(&form));
    EXPECT_TRUE(form.StayOnTop1->isChecked());

    // The same folder at start-up: the error is shown, the start goes on to the ready step.
    Close();
    FreeErrorForm();
    WriteSettings(("VideoFolder=" + folder + "\r\n").c_str());
    Start();
    EXPECT_EQ(Captions(*Form), (std::vector<std::string>{"a.mp4", "c.mp4"}));
    EXPECT_TRUE(Form->ReadyTimer.Enabled());
    EXPECT_TRUE(ErrorForm->MemoError->toPlainText().contains("Cannot open file"));
    close(unreadable);
}

TEST_F(PlaylistTest, ChoosingAFolderListsItRemembersItAndShowsThePanel) {
    const std::string folder = Folder("films");
    CopyClip("short.mp4", folder + "clip.mp4");
    TFormQuelm& form = Start();
    ChooseInDialog(QString::fromStdString(folder));
    form.btnOpenFolderClick();
    EXPECT_EQ(PlayerState.CurrentFolder, folder);
    EXPECT_EQ(form.BigDirComboBox->currentText().toStdString(), folder);
    EXPECT_EQ(Captions(form), std::vector<std::string>{"clip.mp4"});
    EXPECT_TRUE(form.Panel14->isVisibleTo(&form));
    EXPECT_EQ(form.LbLOpenList->text(), "Open");
    EXPECT_EQ(ReadFile(Home("FolderLocation.txt")), QByteArray::fromStdString(folder + "\r\n"));
    ASSERT_EQ(form.BigDirComboBox->count(), 1);

    // A folder that is part of a remembered path is taken as known: nothing is added or written.
    const std::string parent = Drive("");
    const std::string child = Folder("films/old");
    WriteFile(Home("FolderLocation.txt"), QByteArray::fromStdString(child + "\r\n"));
    ChooseInDialog(QString::fromStdString(parent));
    form.btnOpenFolderClick();
    EXPECT_EQ(PlayerState.CurrentFolder, parent);
    EXPECT_EQ(form.BigDirComboBox->count(), 1);
    EXPECT_EQ(ReadFile(Home("FolderLocation.txt")), QByteArray::fromStdString(child + "\r\n"));
}

TEST_F(PlaylistTest, CancellingTheDialogKeepsTheFolderTheListAndTheHistory) {
    const std::string folder = Folder("films");
    WriteFile(folder + "a.mp4", "a");
    WriteFile(Home("FolderLocation.txt"), QByteArray::fromStdString(folder + "\r\n"));
    TFormQuelm& form = StartWithFolder(folder);
    const QByteArray history = ReadFile(Home("FolderLocation.txt"));
    CancelDialog();
    form.btnOpenFolderClick();
    EXPECT_EQ(PlayerState.CurrentFolder, folder);
    EXPECT_EQ(Captions(form), std::vector<std::string>{"a.mp4"});
    EXPECT_EQ(form.BigDirComboBox->currentText().toStdString(), folder);
    EXPECT_EQ(ReadFile(Home("FolderLocation.txt")), history);
    EXPECT_FALSE(form.Panel14->isVisibleTo(&form));
}

TEST_F(PlaylistTest, StayOnTopStepsAsideForTheDialogAndComesBack) {
    TFormQuelm& form = Start();
    form.show();
    form.SetStayOnTop(true);
    bool onTopDuringDialog = true;
    AnswerDialog([&](QWidget* dialog) {
        onTopDuringDialog = form.windowFlags() & Qt::WindowStaysOnTopHint;
        qobject_cast<QDialog*>(dialog)->reject();
    });
    form.btnOpenFolderClick();
    EXPECT_FALSE(onTopDuringDialog);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.StayOnTop1->isChecked());
}

TEST_F(PlaylistTest, PickingFromTheHistoryDropsVanishedFolders) {
    const std::string kept = Folder("a");
    const std::string picked = Folder("b");
    const std::string gone1 = Folder("c");
    const std::string gone2 = Folder("d");
    WriteFile(picked + "clip.mp4", "x");
    WriteFile(Home("FolderLocation.txt"),
              QByteArray::fromStdString(kept + "\r\n" + picked + "\r\n" + gone1 + "\r\n" + gone2));
    TFormQuelm& form = Start();
    ASSERT_EQ(form.BigDirComboBox->count(), 4);
    QDir(QString::fromStdString(gone1)).removeRecursively();
    QDir(QString::fromStdString(gone2)).removeRecursively();
    PlayerState.DvdMode = true;
    form.BigDirComboBox->setCurrentIndex(1);
    form.BigDirComboBoxSelect();
    EXPECT_EQ(PlayerState.CurrentFolder, picked);
    EXPECT_EQ(Captions(form), std::vector<std::string>{"clip.mp4"});
    ASSERT_EQ(form.BigDirComboBox->count(), 2);
    EXPECT_EQ(form.BigDirComboBox->itemText(1).toStdString(), picked);
    EXPECT_FALSE(PlayerState.DvdMode);
}

TEST_F(PlaylistTest, ClickingARowPlaysItAndClosesThePanel) {
    const std::string folder = Folder("films");
    CopyClip("video.mp4", folder + "movie.mp4");
    TFormQuelm& form = StartWithFolder(folder);
    form.LbLOpenListClick();
    form.TrackVolume->SetValue(0);
    form.TrackSpeed->SetValue(7);
    PlayerState.CommandLineFile = "/elsewhere.mp4";
    ClickRow(0);
    EXPECT_TRUE(form.FG.Active());
    EXPECT_EQ(PlayerState.MediaPath, folder + "movie.mp4");
    EXPECT_EQ(PlayerState.MediaName, "movie.mp4");
    EXPECT_EQ(PlayerState.LastListIndex, 0);
    EXPECT_TRUE(PlayerState.CommandLineFile.empty());
    EXPECT_FALSE(PlayerState.DvdMode);
    EXPECT_FALSE(form.Panel14->isVisibleTo(&form));
    EXPECT_FALSE(form.IntroMemo->isVisibleTo(&form));
    EXPECT_EQ(form.LbLOpenList->text(), "Open");
    EXPECT_EQ(form.LbLOpenList->property("Tag").toInt(), 0);
    EXPECT_EQ(form.TrackSpeed->Value(), 2);
    EXPECT_EQ(form.FG.Volume(), 0);
}

TEST_F(PlaylistTest, AVanishedRowOrAnUnplayableOneShowsWhyOverThePicture) {
    const std::string folder = Folder("films");
    WriteFile(folder + "gone.mp4", "x");
    CopyClip("random.mkv", folder + "noise.mkv");
    WriteFile(Home("testing.log"), "");  // the hook shows what reached it
    TFormQuelm& form = StartWithFolder(folder);
    form.LbLOpenListClick();
    QFile::remove(QString::fromStdString(folder + "gone.mp4"));
    ClickRow(0);
    const std::string missing =
        "Media file: \r\n" + folder + "gone.mp4\r\nwrong format or does not exist!";
    EXPECT_EQ(PlayerState.OverlayText, missing);
    EXPECT_TRUE(form.Panel14->isVisibleTo(&form));

    ClickRow(1);
    EXPECT_EQ(PlayerState.OverlayText,
              "Media file: \r\n" + folder + "noise.mkv\r\nwrong format or does not exist!");
    EXPECT_EQ(form.windowTitle().toStdString(), PlayerState.OverlayText);
    EXPECT_TRUE(form.Panel14->isVisibleTo(&form)) << "the list stays to pick another file";
    EXPECT_EQ(form.LbLOpenList->text(), "Close");
}

TEST_F(PlaylistTest, ADvdVolumeRowSwitchesToDvdMode) {
    const std::string folder = Folder("disc");
    WriteFile(folder + "VIDEO_TS.IFO", "ifo");
    StartWithFolder(folder);
    ClickRow(0);
    EXPECT_TRUE(PlayerState.DvdMode);
    EXPECT_EQ(PlayerState.MediaPath, folder + "VIDEO_TS.IFO");
}

// Without a chosen folder the box shows its help text and the list shows the current directory;
// a row of it still plays.
TEST_F(PlaylistTest, ARowPlaysBeforeAnyFolderWasChosen) {
    const std::string folder = Folder("here");
    CopyClip("short.mp4", folder + "clip.mp4");
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(folder));
    TFormQuelm& form = Start();
    form.ReadyTimerTimer();
    ASSERT_EQ(form.BigDirComboBox->currentText(), kNoFolderText);
    ASSERT_EQ(Captions(form), std::vector<std::string>{"clip.mp4"});
    ClickRow(0);
    EXPECT_TRUE(form.FG.Active());
    EXPECT_EQ(PlayerState.MediaPath, "clip.mp4");
    QDir::setCurrent(before);
}

TEST_F(PlaylistTest, TheLabelOpensAndClosesThePanelAtTheLastRow) {
    const std::string folder = Folder("films");
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) WriteFile(folder + name, "x");
    TFormQuelm& form = StartWithFolder(folder);
    form.resize(800, 400);
    PlayerState.LastListIndex = 2;
    WriteFile(folder + "d.mp4", "x");
    form.LbLOpenListClick();
    EXPECT_TRUE(form.Panel14->isVisibleTo(&form));
    EXPECT_EQ(form.Panel14->width(), 600);
    EXPECT_EQ(form.LbLOpenList->text(), "Close");
    EXPECT_EQ(form.RowCount(), 4) << "an open panel shows the folder as it is now";
    EXPECT_EQ(form.SelectedRow(), 2);
    form.LbLOpenListClick();
    EXPECT_FALSE(form.Panel14->isVisibleTo(&form));
    EXPECT_EQ(form.LbLOpenList->text(), "Open");
    EXPECT_EQ(form.LbLOpenList->property("Tag").toInt(), 0);

    // An empty list is not refreshed when the panel opens.
    form.ScanMediaFolder(Drive("nowhere/"));
    form.LbLOpenListClick();
    EXPECT_EQ(form.RowCount(), 0);
}

TEST_F(PlaylistTest, DeletingMovesTheFileToTheTrash) {
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    const std::string folder = Folder("films");
    WriteFile(folder + "a.mp4", "keep me");
    WriteFile(folder + "b.mp4", "x");
    TFormQuelm& form = StartWithFolder(folder);
    form.SelectRow(0);
    form.mnDeleteFileClick();
    EXPECT_EQ(Captions(form), std::vector<std::string>{"b.mp4"});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder + "a.mp4")));
    EXPECT_EQ(ReadFile(data.path().toStdString() + "/Trash/files/a.mp4"), "keep me");

    QString shown;
    AnswerDialog([&](QWidget* dialog) {
        shown = qobject_cast<QMessageBox*>(dialog)->text();
        qobject_cast<QDialog*>(dialog)->accept();
    });
    QFile::remove(QString::fromStdString(folder + "b.mp4"));
    form.SelectRow(0);
    form.mnDeleteFileClick();
    EXPECT_EQ(shown.toStdString(), folder + "b.mp4 either not exist or still being processed!");
    qunsetenv("XDG_DATA_HOME");
}

// Names with blanks, quotes, other scripts and bytes that are no UTF-8 list and play.
TEST_F(PlaylistTest, AwkwardNamesListAndPlay) {
    const std::string folder = Folder("films");
    const std::vector<std::string> names = {"with space.mp4", "quote \"it\" 'too'.mp4",
                                            "\xe6\x98\xa0\xe7\x94\xbb \xc3\xa9t\xc3\xa9.mp4",
                                            "bad\xff\xfe byte.mp4"};
    for (const std::string& name : names) CopyClip("short.mp4", folder + name);
    TFormQuelm& form = StartWithFolder(folder);
    ASSERT_EQ(form.RowCount(), 4);
    for (int row = 0; row < 4; ++row) {
        PlayerState.OverlayText.clear();
        ClickRow(row);
        EXPECT_TRUE(form.FG.Active()) << form.RowCaption(row);
        EXPECT_TRUE(PlayerState.OverlayText.empty()) << PlayerState.OverlayText;
    }
    std::remove((folder + names.back()).c_str());  // a name QTemporaryDir cannot remove
}

// A big folder with damaged files among good ones: every damaged row shows the message, none
// hangs the player, and a good row still plays afterwards.
TEST_F(PlaylistTest, ClickingThroughDamagedRowsOfABigFolder) {
    const std::string folder = Folder("big");
    const std::vector<std::string> damaged = {"empty.avi", "truncated.mp4", "random.mkv",
                                              "text.avi"};
    for (int i = 0; i < 2000; ++i) {
        const std::string number = QString::asprintf("%04d", i).toStdString();
        if (i % 10 == 0) {
            const std::string& clip = damaged[i / 10 % damaged.size()];
            CopyClip(clip, folder + "bad" + number + clip.substr(clip.rfind('.')));
        } else if (i % 10 == 1) {
            CopyClip("short.mp4", folder + "good" + number + ".mp4");
        } else {
            WriteFile(folder + "notes" + number + ".txt", "x");
        }
    }
    TFormQuelm& form = StartWithFolder(folder);
    ASSERT_EQ(form.RowCount(), 400);
    QElapsedTimer clock;
    clock.start();
    for (int row = 0; row < 200; ++row) {
        ClickRow(row);
        ASSERT_EQ(PlayerState.OverlayText, "Media file: \r\n" + folder + form.RowFileName(row) +
                                               "\r\nwrong format or does not exist!");
    }
    RecordProperty("ms per damaged row", static_cast<int>(clock.elapsed() / 200));
    ClickRow(200);
    EXPECT_TRUE(form.FG.Active());
    EXPECT_EQ(PlayerState.MediaName, "good0001.mp4");
}

}  // namespace
