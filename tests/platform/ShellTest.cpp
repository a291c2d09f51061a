// The desktop side of an association: where the files go, the Exec quoting, the entry's
// accumulated types, mimeapps.list edits that leave the user's lines alone, the errors of
// files that cannot be written, and telling the desktop.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include "platform/Shell.h"
#include "tests/platform/ShellSupport.h"

namespace {

// The entry's lines with the given key.
std::vector<std::string> EntryLines(const std::string& entry, const std::string& key) {
    std::vector<std::string> found;
    for (const QString& line : QString::fromStdString(entry).split('\n'))
        if (line.startsWith(QString::fromStdString(key + "="))) found.push_back(line.toStdString());
    return found;
}

}  // namespace

TEST(ShellTest, FoldersFollowTheXdgVariablesAndIgnoreRelativeOnes) {
    TDesktopSandbox sandbox;
    EXPECT_EQ(ApplicationsFolder(), sandbox.Path("data/applications/").toStdString());
    EXPECT_EQ(MimeAppsListPath(), sandbox.Path("config/mimeapps.list").toStdString());
    const std::string home = qEnvironmentVariable("HOME").toStdString();
    qputenv("XDG_DATA_HOME", "relative/data");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ApplicationsFolder(), home + "/.local/share/applications/");
    EXPECT_EQ(MimeAppsListPath(), home + "/.config/mimeapps.list");
}

TEST(ShellTest, ExecQuotesAndEscapesThePathOnlyWhenItMust) {
    EXPECT_EQ(DesktopExecCommand("/usr/bin/vexlo"), "/usr/bin/vexlo %f");
    EXPECT_EQ(DesktopExecCommand("/opt/100%/vexlo"), "/opt/100%%/vexlo %f");
    EXPECT_EQ(DesktopExecCommand("/opt/Vexlo Player/vexlo"), "\"/opt/Vexlo Player/vexlo\" %f");
    // Inside quotes " ` $ \ get a backslash; then every backslash is doubled for the string.
    EXPECT_EQ(DesktopExecCommand("/opt/a$b\"c`d\\e/vexlo"),
              "\"/opt/a\\\\$b\\\\\"c\\\\`d\\\\\\\\e/vexlo\" %f");
    EXPECT_EQ(DesktopExecCommand("/opt/a\tb/vexlo"), "\"/opt/a\\tb/vexlo\" %f");
}

TEST(ShellTest, MimeTypesComeFromTheNameAndUnknownOnesAreEmpty) {
    EXPECT_EQ(MimeTypeOfExtension("mkv"), "video/x-matroska");
    EXPECT_EQ(MimeTypeOfExtension("MKV"), "video/x-matroska");
    EXPECT_EQ(MimeTypeOfExtension("webm"), "video/webm");
    EXPECT_EQ(MimeTypeOfExtension("zzvexlo"), "");
    EXPECT_EQ(MimeTypeOfExtension(""), "");
}

TEST(ShellTest, TheEntryStartsTheProgramAndCollectsItsTypes) {
    TDesktopSandbox sandbox;
    RegisterDesktopEntry("/opt/old/vexlo", "video/x-vexlo-test");
    RegisterDesktopEntry("/opt/Vexlo Player/vexlo", "video/x-matroska");
    RegisterDesktopEntry("/opt/Vexlo Player/vexlo", "video/x-vexlo-test");
    const std::string entry = sandbox.Entry();
    // Every type the player handles (the entry hides an installed one), the extra one once.
    const std::vector<std::string> types = EntryLines(entry, "MimeType");
    ASSERT_EQ(types.size(), 1u);
    EXPECT_TRUE(types[0].starts_with("MimeType=video/x-ms-wmv;video/mpeg;")) << types[0];
    EXPECT_TRUE(types[0].ends_with(";audio/ac3;video/x-vexlo-test;")) << types[0];
    EXPECT_EQ(types[0].find("video/x-matroska;"), types[0].rfind("video/x-matroska;"));
    EXPECT_EQ(EntryLines(entry, "Exec"),
              std::vector<std::string>{"Exec=\"/opt/Vexlo Player/vexlo\" %f"});
    EXPECT_EQ(EntryLines(entry, "Icon"), std::vector<std::string>{"Icon=vexlo"});
    EXPECT_EQ(entry.find('@'), std::string::npos);

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed";
    QProcess check;
    check.start(validator, {sandbox.Path("data/applications/vexlo.desktop")});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
    EXPECT_TRUE(check.readAllStandardOutput().isEmpty());
}

TEST(ShellTest, DefaultsReplaceOnlyTheirOwnLine) {
    TDesktopSandbox sandbox;
    SetDefaultApplication("video/x-msvideo");
    EXPECT_EQ(sandbox.MimeApps(), "[Default Applications]\nvideo/x-msvideo=vexlo.desktop\n");

    // Comments, other groups (with the same key), CR LF lines and a missing last line end stay.
    const std::string before =
        "# mine\n[Added Associations]\nvideo/x-msvideo=vlc.desktop;\n\n"
        "[Default Applications]\r\ntext/plain=gedit.desktop\r\n video/x-msvideo = vlc.desktop\r\n"
        "image/png=eog.desktop\n\n[Removed Associations]\nvideo/mp4=totem.desktop";
    sandbox.Write("config/mimeapps.list", before);
    SetDefaultApplication("video/x-msvideo");
    std::string expected = before;
    expected.replace(expected.find(" video/x-msvideo = vlc.desktop"), 30,
                     "video/x-msvideo=vexlo.desktop");
    EXPECT_EQ(sandbox.MimeApps(), expected);
    SetDefaultApplication("video/x-matroska");
    expected.insert(expected.find("\n[Removed"), "video/x-matroska=vexlo.desktop\n");
    EXPECT_EQ(sandbox.MimeApps(), expected);

    // Without the group: added at the end, after a blank line.
    sandbox.Write("config/mimeapps.list", "[Added Associations]\nvideo/mp4=totem.desktop;");
    SetDefaultApplication("video/webm");
    EXPECT_EQ(sandbox.MimeApps(),
              "[Added Associations]\nvideo/mp4=totem.desktop;\n\n"
              "[Default Applications]\nvideo/webm=vexlo.desktop\n");
}

TEST(ShellTest, FilesThatCannotBeWrittenRaiseAndStayAsTheyWere) {
    TDesktopSandbox sandbox;
    sandbox.Write("config/mimeapps.list", "[Default Applications]\n");
    QFile::setPermissions(sandbox.Path("config/mimeapps.list"), QFile::ReadOwner);
    try {
        SetDefaultApplication("video/webm");
        ADD_FAILURE() << "a read-only mimeapps.list was replaced";
    } catch (const EShellError& error) {
        EXPECT_NE(std::string(error.what()).find(MimeAppsListPath()), std::string::npos);
    }
    EXPECT_EQ(sandbox.MimeApps(), "[Default Applications]\n");

    QDir().mkpath(sandbox.Path("data/applications/vexlo.desktop"));
    EXPECT_THROW(RegisterDesktopEntry("/usr/bin/vexlo", "video/webm"), EShellError);
    sandbox.Write("data2", "a file where a folder should be");
    qputenv("XDG_DATA_HOME", sandbox.Path("data2").toUtf8());
    EXPECT_THROW(RegisterDesktopEntry("/usr/bin/vexlo", "video/webm"), EShellError);
}

TEST(ShellTest, AnExtensionWithoutAKnownTypeWritesNothing) {
    TDesktopSandbox sandbox;
    AssociateExtension("zzvexlo", "/usr/bin/vexlo");
    EXPECT_FALSE(QFile::exists(sandbox.Path("data/applications/vexlo.desktop")));
    EXPECT_FALSE(QFile::exists(sandbox.Path("config/mimeapps.list")));
}

TEST(ShellTest, TheDesktopIsToldWithTheApplicationsFolderWhenTheToolIsThere) {
    TDesktopSandbox sandbox;
    NotifyAssociationsChanged();
    NotifyAssociationsChanged();
    const QString folder = QString::fromStdString(ApplicationsFolder());
    EXPECT_EQ(sandbox.NotificationsAfterWaiting(2), QStringList({folder, folder}));

    qputenv("PATH", sandbox.Path("nowhere").toUtf8());
    NotifyAssociationsChanged();
    PumpFor(300);
    EXPECT_EQ(sandbox.Notifications().size(), 2);
}
