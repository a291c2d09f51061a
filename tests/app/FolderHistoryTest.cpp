// The folder history at start-up: which file, which folders stay, what is written back.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"
#include "tests/app/PlayerSupport.h"

namespace {

QStringList Items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

}  // namespace

class FolderHistoryTest : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        for (const char* name : {"beta", "Alpha", "gamma"})
            QDir().mkpath(QString::fromStdString(Home(name)));
    }
    QByteArray Folder(const char* name) { return QByteArray::fromStdString(Home(name)); }
};

TEST_F(FolderHistoryTest, VanishedFoldersAreDroppedAndTheFileIsSorted) {
    WriteFile(Home("FolderLocation.txt"),
              Folder("gamma") + "\r\n" + Folder("gone") + "\r\n" + Folder("Alpha") + "\r\n");
    TFormQuelm& form = Start();
    const QByteArray expected = Folder("Alpha") + "\r\n" + Folder("gamma") + "\r\n";
    EXPECT_EQ(ReadFile(Home("FolderLocation.txt")), expected);
    EXPECT_EQ(Items(*form.BigDirComboBox),
              QStringList({QString(Folder("Alpha")), QString(Folder("gamma"))}));
    EXPECT_EQ(form.FolderLinkMemo->toPlainText(), QString(expected).replace("\r\n", "\n"));
    EXPECT_EQ(form.lbTemp->count(), 3);
    // The text the settings gave stays shown.
    EXPECT_EQ(form.BigDirComboBox->currentText(), "Click the Folder Icon to open file");
    EXPECT_EQ(PlayerState.FolderListFile, Home("FolderLocation.txt"));
}

TEST_F(FolderHistoryTest, WithoutAFileNothingIsCreated) {
    TFormQuelm& form = Start();
    EXPECT_EQ(form.BigDirComboBox->count(), 0);
    EXPECT_TRUE(form.FolderLinkMemo->toPlainText().isEmpty());
    EXPECT_TRUE(ReadFile(Home("FolderLocation.txt")).isNull());
}

TEST_F(FolderHistoryTest, AtHomeTheProgramFolderCopyIsCopiedOnceAndNeverOverwritten) {
    WriteFile(Drive("imhome.txt"), "");
    QDir().mkpath(QString::fromStdString(Drive("build")));
    WriteFile(Home("FolderLocation.txt"), Folder("beta") + "\r\n");
    TFormQuelm& form = Start();
    EXPECT_EQ(PlayerState.FolderListFile, Drive("build/FolderLocation.txt"));
    EXPECT_EQ(ReadFile(Drive("build/FolderLocation.txt")), Folder("beta") + "\r\n");
    EXPECT_EQ(form.BigDirComboBox->count(), 1);
    Close();

    WriteFile(Home("FolderLocation.txt"), Folder("gamma") + "\r\n");
    Start();
    EXPECT_EQ(ReadFile(Drive("build/FolderLocation.txt")), Folder("beta") + "\r\n");
}

TEST_F(FolderHistoryTest, DamagedFilesKeepOnlyRealFolders) {
    QByteArray lines = Folder("beta") + "\0/tmp\r\n";              // a NUL inside
    lines += Folder("beta") + "\xff\xfe\r\n";                      // not UTF-8
    lines += QByteArray::fromStdString(Home("Quelm.ini")) + "\n";  // a file, not a folder
    WriteFile(Home("Quelm.ini"), "");
    lines += Folder("gamma") + "\r";  // a bare CR ends a line too
    for (int i = 0; i < 10000; ++i) lines += "/no/such/folder/" + QByteArray::number(i) + "\r\n";
    lines += Folder("Alpha");  // no line end at all
    WriteFile(Home("FolderLocation.txt"), lines);
    TFormQuelm& form = Start();
    EXPECT_EQ(Items(*form.BigDirComboBox),
              QStringList({QString(Folder("Alpha")), QString(Folder("gamma"))}));
    EXPECT_EQ(ReadFile(Home("FolderLocation.txt")),
              Folder("Alpha") + "\r\n" + Folder("gamma") + "\r\n");
}

TEST_F(FolderHistoryTest, AnUnwritableHistoryIsReportedAndTheStartGoesOn) {
    WriteFile(Home("testing.log"), "");
    // A history that leads into /proc can be read but never replaced, even by root.
    ASSERT_TRUE(QFile::link("/proc/version", QString::fromStdString(Home("FolderLocation.txt"))));
    Start();
    EXPECT_TRUE(Form->ReadyTimer.Enabled());
    ASSERT_NE(ErrorForm, nullptr);
    EXPECT_TRUE(ErrorForm->MemoError->toPlainText().startsWith("Cannot create file"));
}
