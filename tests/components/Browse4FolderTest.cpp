#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "components/Browse4Folder.h"

namespace {

using TOption = TBrowse4Folder::TOption;
using TWinPaths = TBrowse4Folder::TWinPaths;

// Acts on the folder dialog as a user would, once it is up.
void WhenDialogShows(std::function<void(QFileDialog&)> act) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(*dialog);
    });
    poll->start();
}

// The OK button's path (QFileDialog hides accept() from outside callers).
void Accept(QFileDialog& dialog) {
    static_cast<QDialog&>(dialog).accept();
}

struct Browse4FolderTest : ::testing::Test {
    QTemporaryDir Folder;
    QWidget Owner;
    TBrowse4Folder Browser{&Owner};

    void SetUp() override {
        ASSERT_TRUE(QDir(Folder.path()).mkpath("Movies"));
        Browser.Title = "Choose a folder with video files";
        Browser.InitialDir = Folder.path();
    }
};

TEST_F(Browse4FolderTest, CancelReportsSuccessWithNoFolder) {
    QString shownAt;
    WhenDialogShows([&](QFileDialog& dialog) {
        shownAt = dialog.directory().absolutePath();
        dialog.reject();
    });
    EXPECT_TRUE(Browser.Execute());
    EXPECT_TRUE(Browser.SelectedFolder().isEmpty());
    EXPECT_EQ(shownAt, QDir(Folder.path()).absolutePath());
}

TEST_F(Browse4FolderTest, ChosenFolderIsSelected) {
    QString title;
    WhenDialogShows([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        dialog.setDirectory(Folder.filePath("Movies"));
        Accept(dialog);
    });
    EXPECT_TRUE(Browser.Execute());
    EXPECT_EQ(Browser.SelectedFolder(), QDir(Folder.filePath("Movies")).absolutePath());
    EXPECT_EQ(title, "Choose a folder with video files");

    // Accepting straight away takes the initial folder; an earlier choice does not linger.
    WhenDialogShows([](QFileDialog& dialog) { Accept(dialog); });
    EXPECT_TRUE(Browser.Execute());
    EXPECT_EQ(Browser.SelectedFolder(), QDir(Folder.path()).absolutePath());
}

TEST_F(Browse4FolderTest, PlayersDialogStaysAboveItsOwnerAndMakesNoFolders) {
    Owner.setWindowFlag(Qt::WindowStaysOnTopHint);
    Owner.show();
    Browser.Options.insert(TOption::HideNewFolderButton);
    bool onTop = false, readOnly = false, dirsOnly = false;
    QWidget* parent = nullptr;
    WhenDialogShows([&](QFileDialog& dialog) {
        onTop = dialog.windowFlags() & Qt::WindowStaysOnTopHint;
        readOnly = dialog.testOption(QFileDialog::ReadOnly);
        dirsOnly = dialog.testOption(QFileDialog::ShowDirsOnly);
        parent = dialog.parentWidget();
        dialog.reject();
    });
    Browser.Execute();
    EXPECT_TRUE(onTop);
    EXPECT_TRUE(readOnly);
    EXPECT_TRUE(dirsOnly);
    EXPECT_EQ(parent, &Owner);
}

TEST_F(Browse4FolderTest, EmptyInitialDirBecomesTheRootFolderOnLoad) {
    Browser.InitialDir.clear();
    Browser.Root = TWinPaths::TempFolder;
    Browser.Loaded();
    EXPECT_EQ(Browser.InitialDir, QDir::tempPath() + "/");

    Browser.Root = TWinPaths::Desktop;
    Browser.Loaded();  // a set folder stays
    EXPECT_EQ(Browser.InitialDir, QDir::tempPath() + "/");
    for (TWinPaths root : {TWinPaths::Desktop, TWinPaths::SendTo, TWinPaths::Startup})
        EXPECT_TRUE(TBrowse4Folder::RootFolder(root).endsWith('/'));
    qputenv("VEXLO_DRIVE_ROOT", Folder.path().toUtf8());
    EXPECT_EQ(TBrowse4Folder::RootFolder(TWinPaths::PCRootDrive), Folder.path() + "/");
    qunsetenv("VEXLO_DRIVE_ROOT");
}

TEST_F(Browse4FolderTest, OptionsCarryTheirDialogFlags) {
    EXPECT_EQ(Browser.Flags(), 0x50u);
    Browser.Options = {TOption::ShowEditBox, TOption::UseNewDialogStyle,
                       TOption::HideNewFolderButton};
    EXPECT_EQ(Browser.Flags(), 0x250u);
    Browser.Options = {TOption::HideNewUserInterface, TOption::ShowShareableRes};
    EXPECT_EQ(Browser.Flags(), 0x8050u);
}

}  // namespace
