#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>
#include <climits>
#include <memory>
#include <set>

#include "desktop/FunctionMix.h"

namespace {

class FunctionMixTest : public ::testing::Test {
  protected:
    std::string Path(const QString& name) const {
        return (FTemp.path() + "/" + name).toStdString();
    }

    void MakeFile(const QString& name, qint64 size) {
        QFile file(FTemp.path() + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
    }

    QTemporaryDir FTemp;
};

TEST(PathRoutines, CutAndJoinPaths) {
    EXPECT_EQ(FileNameOf("/Video/a.avi"), "a.avi");
    // A colon is part of a Linux name.
    EXPECT_EQ(FileNameOf("/Films/Night Train: Part 2.mkv"), "Night Train: Part 2.mkv");
    EXPECT_EQ(FileNameOf("a.avi"), "a.avi");
    EXPECT_EQ(FileNameOf("/Video/"), "");
    EXPECT_EQ(FolderOf("/Video/a.avi"), "/Video/");
    EXPECT_EQ(FolderOf("C:a.avi"), "");
    EXPECT_EQ(FolderOf("a.avi"), "");
    EXPECT_EQ(AddBackslash("/usr/lib"), "/usr/lib/");
    EXPECT_EQ(AddBackslash("/usr/lib/"), "/usr/lib/");
    EXPECT_EQ(AddBackslash(""), "/");
}

TEST(TextRoutines, FindTextPosAndNumberText) {
    EXPECT_EQ(FindTextPos("OpenFolder", "xOpenFolder", true), 2);
    EXPECT_EQ(FindTextPos("OpenFolderX", "OpenFolder", true), 0);
    EXPECT_EQ(FindTextPos("", "abc", true), 0);
    EXPECT_EQ(FindTextPos("abc", "", true), 0);
    EXPECT_EQ(FindTextPos("openfolder", "xOpenFolder", false), 2);
    EXPECT_EQ(NumberText(-5), "-5");
    EXPECT_EQ(NumberText(300), "300");
    EXPECT_EQ(NumberText(INT_MIN), "-2147483648");
}

TEST_F(FunctionMixTest, SystemRoutinesAnswerWithTheLinuxStandIns) {
    EXPECT_EQ(SystemFolderPath(), "/usr/lib/");
    EXPECT_EQ(ShellFolder(CSIDL_PROFILE | 0x8000), QDir::homePath().toStdString())
        << "flags ignored";
    EXPECT_EQ(ShellFolder(0x0024), "");  // CSIDL_WINDOWS: no counterpart
    qputenv("VEXLO_HOME", FTemp.path().toUtf8());
    EXPECT_EQ(ProgramFolder(), Path(""));
    qunsetenv("VEXLO_HOME");
}

TEST(FormIsOpen, MatchesTheExactObjectNameOfATopLevelWindow) {
    EXPECT_FALSE(FormIsOpen("ErrorForm"));
    auto form = std::make_unique<QWidget>();
    form->setObjectName("ErrorForm");
    auto* child = new QWidget(form.get());  // owned by the form
    child->setObjectName("ChildForm");
    EXPECT_TRUE(FormIsOpen("ErrorForm")) << "hidden windows count, as they exist";
    EXPECT_FALSE(FormIsOpen("errorform"));
    EXPECT_FALSE(FormIsOpen("ChildForm"));
    form.reset();
    EXPECT_FALSE(FormIsOpen("ErrorForm"));
}

TEST_F(FunctionMixTest, FileSizesOfFilesFoldersAndMissingPaths) {
    MakeFile("clip.avi", 1340);
    EXPECT_EQ(FileSizeOf(Path("clip.avi")), 1340u);
    EXPECT_EQ(FileSizeText(Path("clip.avi")), "1.30 KB");
    EXPECT_EQ(FileSizeOf(Path("missing.avi")), 0u);
    EXPECT_EQ(FileSizeText(Path("missing.avi")), "0 bytes");
    EXPECT_EQ(FileSizeOf(FTemp.path().toStdString()), 0u);
}

TEST_F(FunctionMixTest, ANamedPipeDoesNotHangTheSize) {
    ASSERT_EQ(mkfifo(Path("pipe.mp3").c_str(), 0600), 0);
    EXPECT_EQ(FileSizeOf(Path("pipe.mp3")), 0u);
}

// A socket file exists but cannot be opened, not even by root.
TEST_F(FunctionMixTest, AFileThatCannotBeOpenedThrows) {
    std::string path = Path("s.mp4");
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    try {
        FileSizeOf(path);
        ADD_FAILURE() << "no error raised";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Cannot open file \"" + path + "\". ", 0), 0u)
            << error.what();
    }
    close(fd);
}

TEST(ByteSizeText, ThreeTruncatedDigitsInStepsOf1024) {
    EXPECT_EQ(ByteSizeText(0), "0 bytes");
    EXPECT_EQ(ByteSizeText(1023), "1023 bytes");
    EXPECT_EQ(ByteSizeText(1024), "1.00 KB");
    EXPECT_EQ(ByteSizeText(1340), "1.30 KB");
    EXPECT_EQ(ByteSizeText(23506), "22.9 KB");
    EXPECT_EQ(ByteSizeText(10 * 1024 - 1), "9.99 KB");
    EXPECT_EQ(ByteSizeText(999 * 1024 + 1023), "999 KB");
    EXPECT_EQ(ByteSizeText(1000 * 1024), "0.97 MB");
    EXPECT_EQ(ByteSizeText(1ull << 50), "1.00 PB");
    EXPECT_EQ(ByteSizeText(UINT64_MAX), "15.9 EB");
}

TEST(HideCaptionAndTaskbarButton, MakesTheWindowFramelessAndShorter) {
    QWidget form;
    form.resize(400, 300);
    HideCaptionAndTaskbarButton(&form);
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.windowType(), Qt::Window) << "a normal window keeps its taskbar entry";
    EXPECT_EQ(form.size(), QSize(400, 282));
    HideCaptionAndTaskbarButton(&form);
    EXPECT_EQ(form.size(), QSize(400, 282)) << "a frameless window is left alone";
    QWidget child(&form);
    child.resize(50, 50);
    HideCaptionAndTaskbarButton(&child);
    EXPECT_EQ(child.size(), QSize(50, 50));
    EXPECT_FALSE(child.windowFlags() & Qt::FramelessWindowHint);
}

TEST(HideCaptionAndTaskbarButton, ShownWindowStaysShownAndOffersResizeAtItsEdges) {
    QWidget form;
    form.resize(400, 300);
    form.show();
    HideCaptionAndTaskbarButton(&form);
    ASSERT_TRUE(form.isVisible());
    QWindow* window = form.windowHandle();
    ASSERT_NE(window, nullptr);
    auto moveTo = [](QWindow* over, QPointF point) {
        QMouseEvent move(QEvent::MouseMove, point, over->mapToGlobal(point), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(over, &move);
    };
    const int height = window->height();
    moveTo(window, QPointF(1, height / 2));
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::SizeHorCursor);
    moveTo(window, QPointF(399, height - 1));
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::SizeFDiagCursor);
    moveTo(window, QPointF(200, height / 2));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // A native child over the window (as the picture's renderer window is) has the same edges.
    QWidget picture(&form);
    picture.setAttribute(Qt::WA_NativeWindow);
    picture.setGeometry(0, 0, 400, height);
    picture.show();
    ASSERT_NE(picture.windowHandle(), nullptr);
    moveTo(picture.windowHandle(), QPointF(398, 1));
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::SizeBDiagCursor);
    moveTo(picture.windowHandle(), QPointF(200, height / 2));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(FunctionMixTest, FindEntriesHonoursTheAttributeExclusion) {
    MakeFile("a.AVI", 1);
    MakeFile("b.txt", 1);
    MakeFile(".hidden.mp4", 1);
    ASSERT_TRUE(QDir(FTemp.path()).mkdir("d.mkv"));
    ASSERT_TRUE(QFile::link(FTemp.path() + "/d.mkv", FTemp.path() + "/link"));
    auto scan = [this](const std::string& mask, int attributes) {
        std::set<std::string> names;
        TSearchRec rec;
        for (int result = FindFirstEntry(Path("") + mask, attributes, rec); result == 0;
             result = FindNextEntry(rec)) {
            bool directory = rec.Attr & faDirectory, hidden = rec.Attr & faHidden;
            names.insert(rec.Name + (directory ? "/" : "") + (hidden ? "~" : ""));
        }
        FindCloseEntry(rec);
        return names;
    };
    using Names = std::set<std::string>;
    EXPECT_EQ(scan("*.*", faAnyFile),
              (Names{"./", "../", "a.AVI", "b.txt", ".hidden.mp4~", "d.mkv/", "link/"}));
    EXPECT_EQ(scan("*", 0), (Names{"a.AVI", "b.txt"}));
    EXPECT_EQ(scan("*", faDirectory), (Names{"./", "../", "a.AVI", "b.txt", "d.mkv/", "link/"}));
    EXPECT_EQ(scan("*", faHidden), (Names{"a.AVI", "b.txt", ".hidden.mp4~"}));
    EXPECT_EQ(scan("*.avi", faAnyFile), (Names{"a.AVI"}));
    EXPECT_EQ(scan("?.*", faAnyFile), (Names{"../", "a.AVI", "b.txt", "d.mkv/"}));
}

TEST_F(FunctionMixTest, FindEntriesReportsErrorsAndReleasesTheFolder) {
    TSearchRec rec;
    EXPECT_EQ(FindFirstEntry(Path("missing/*.*"), faAnyFile, rec), ENOENT);
    EXPECT_EQ(FindFirstEntry(Path("*.*"), 0, rec), ERROR_NO_MORE_FILES);
    EXPECT_EQ(FindNextEntry(rec), ERROR_NO_MORE_FILES);
    FindCloseEntry(rec);

    auto openFiles = [] { return QDir("/proc/self/fd").entryList(QDir::AllEntries).size(); };
    const auto before = openFiles();
    {
        TSearchRec abandoned;
        ASSERT_EQ(FindFirstEntry(Path("*.*"), faAnyFile, abandoned), 0);
        EXPECT_GT(openFiles(), before);
    }
    EXPECT_EQ(openFiles(), before) << "a search left open is closed with its record";
}

}  // namespace
