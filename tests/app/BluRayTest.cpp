// A Blu-ray playlist in the player window: opened from the playlist of the disc's PLAYLIST
// folder like any file, its length in the caption, no sharpening while it plays, and the next
// row after its end.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <filesystem>

#include "app/PlayerState.h"
#include "platform/RegistryStore.h"
#include "tests/app/PlayerSupport.h"
#include "tests/support/EventPump.h"
#include "tests/support/TestMedia.h"

namespace {

class BluRayTest : public PlayerTest {
  protected:
    // A copy of the generated two-clip disc under the drive root, with an ".avi" beside its
    // playlist so the playlist has a row after it; the PLAYLIST folder.
    std::string DiscWithAnAvi() {
        const std::string disc = Folder("disc");
        const std::filesystem::path playlist =
            TestMediaPath("bluray/main/BDMV/PLAYLIST/00000.mpls");
        std::filesystem::copy(playlist.parent_path().parent_path().parent_path(), disc,
                              std::filesystem::copy_options::recursive);
        const std::string folder = disc + "BDMV/PLAYLIST/";
        CopyClip("video.avi", folder + "z.avi");
        return folder;
    }
    // The stored sharpen switch of the ffdshow video decoder.
    static int Sharpen() {
        const auto value =
            RegistryStore().Dword(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", "xsharpen");
        return value ? static_cast<int>(*value) : -1;
    }
};

TEST_F(BluRayTest, ThePlaylistPlaysWithItsLengthUnsharpenedAndTheNextRowFollows) {
    const std::string folder = DiscWithAnAvi();
    TFormQuelm& form = StartWithFolder(folder);
    ASSERT_TRUE(form.rBtnLoopALL->isChecked());
    ClickRow(0);
    EXPECT_EQ(PlayerState.MediaPath, folder + "00000.mpls");
    EXPECT_EQ(Sharpen(), 0);
    const QRegularExpression counting(R"(^\d+\.\d% - 0:00:0\d \[0:00:04\] \[00000\.mpls\]$)");
    EXPECT_TRUE(PumpUntil([&] { return counting.match(form.windowTitle()).hasMatch(); }, 3000))
        << form.windowTitle().toStdString();

    // Both clips play to the title's end; Loop All goes on with the next row.
    EXPECT_TRUE(PumpUntil([&] { return PlayerState.MediaPath == folder + "z.avi"; }, 10000));
    EXPECT_EQ(form.SelectedRow(), 1);
    EXPECT_EQ(Sharpen(), 1);
}

}  // namespace
