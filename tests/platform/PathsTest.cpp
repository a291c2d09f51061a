#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/Paths.h"

namespace {

// Restores an environment variable when the test ends.
class ScopedEnv {
  public:
    explicit ScopedEnv(const char* name)
        : FName(name), FOld(qgetenv(name)), FWasSet(qEnvironmentVariableIsSet(name)) {}
    ~ScopedEnv() { FWasSet ? qputenv(FName, FOld) : qunsetenv(FName); }
    void Set(const QString& value) { qputenv(FName, value.toUtf8()); }
    void Unset() { qunsetenv(FName); }

  private:
    const char* FName;
    QByteArray FOld;
    bool FWasSet;
};

TEST(ProgramFolderPath, VexloHomeWinsAndIsCreatedWithOneTrailingSlash) {
    QTemporaryDir temp;
    ScopedEnv home("VEXLO_HOME");
    home.Set(temp.path() + "/new/home");
    EXPECT_EQ(ProgramFolderPath(), (temp.path() + "/new/home/").toStdString());
    EXPECT_TRUE(QDir(temp.path() + "/new/home").exists());
    home.Set(temp.path() + "/");
    EXPECT_EQ(ProgramFolderPath(), (temp.path() + "/").toStdString());
}

TEST(ProgramFolderPath, IsTheWritableExecutableFolderWithoutOverride) {
    ScopedEnv home("VEXLO_HOME");
    home.Unset();
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    ASSERT_GT(length, 0);
    std::string exe(buffer, static_cast<size_t>(length));
    std::string folder = exe.substr(0, exe.rfind('/') + 1);
    ASSERT_EQ(access(folder.c_str(), W_OK), 0) << "the build folder is writable";
    EXPECT_EQ(ProgramFolderPath(), folder);
}

TEST(ProvideProgramImages, CopiesTheInstalledImagesOnceAndNeverOverTheUsersOwn) {
    QTemporaryDir prefix, config;
    ASSERT_TRUE(QDir().mkpath(prefix.path() + "/bin"));
    ASSERT_TRUE(QDir().mkpath(prefix.path() + "/share/vexlo/BackGround"));
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(prefix.path() + "/share/vexlo/BackGround/Pause.bmp", "installed");
    const std::string program = (config.path() + "/vexlo/").toStdString();
    const std::string executable = (prefix.path() + "/bin/").toStdString();
    ProvideProgramImages(program, executable);
    const QString copied = config.path() + "/vexlo/BackGround/Pause.bmp";
    QFile first(copied);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), "installed");

    write(copied, "the user's own");
    ProvideProgramImages(program, executable);
    QFile again(copied);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), "the user's own");
}

TEST(DriveRootPath, MapsDrivePathsOntoTheRoot) {
    ScopedEnv root("VEXLO_DRIVE_ROOT");
    root.Unset();
    EXPECT_EQ(DriveRootPath("c:\\imhome.txt"), "/imhome.txt");
    EXPECT_EQ(DriveRootPath("c:\\build\\FolderLocation.txt"), "/build/FolderLocation.txt");
    EXPECT_EQ(DriveRootPath("C:\\"), "/");
    root.Set("/tmp/drive");
    EXPECT_EQ(DriveRootPath("c:\\imatwork.txt"), "/tmp/drive/imatwork.txt");
    EXPECT_EQ(DriveRootPath("C:\\build\\FolderLocation.txt"),
              "/tmp/drive/build/FolderLocation.txt");
    root.Set("/tmp/drive/");
    EXPECT_EQ(DriveRootPath("c:\\imhome.txt"), "/tmp/drive/imhome.txt");
}

TEST(DriveRootPath, LeavesPathsWithoutDriveInPlace) {
    ScopedEnv root("VEXLO_DRIVE_ROOT");
    root.Set("/tmp/drive");
    EXPECT_EQ(DriveRootPath("build\\a.txt"), "build/a.txt");
    EXPECT_EQ(DriveRootPath("/home/u/a.txt"), "/home/u/a.txt");
    EXPECT_EQ(DriveRootPath(""), "");
    EXPECT_EQ(DriveRootPath("1:\\a"), "1:/a");
}

}  // namespace
