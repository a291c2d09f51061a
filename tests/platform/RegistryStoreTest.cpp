#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <random>

#include "platform/RegistryStore.h"

namespace {

class RegistryStoreTest : public ::testing::Test {
  protected:
    std::string StorePath() const { return (FTemp.path() + "/Registry.reg").toStdString(); }

    std::string FileText() const {
        QFile file(QString::fromStdString(StorePath()));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    void WriteFile(const std::string& text) {
        QFile file(QString::fromStdString(StorePath()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qint64>(text.size()));
    }

    QTemporaryDir FTemp;
};

TEST_F(RegistryStoreTest, ValuesRoundTripWithCaseInsensitiveKeysAndNames) {
    RegistryStore store(StorePath());
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default"));
    EXPECT_TRUE(store.KeyExists(HKEY_CURRENT_USER, "software\\gnu"));
    ASSERT_TRUE(
        store.SetDword(HKEY_CURRENT_USER, "SOFTWARE\\gnu\\FFDSHOW\\Default", "isPictProp", 1));
    ASSERT_TRUE(
        store.SetDword(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", "ISPICTPROP", 7));
    ASSERT_TRUE(store.SetString(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", "", "dflt"));

    RegistryStore again(StorePath());  // nothing is cached: a new object reads the file
    EXPECT_EQ(again.Dword(HKEY_CURRENT_USER, "software\\gnu\\ffdshow\\default", "IsPictProp"), 7u);
    EXPECT_EQ(again.String(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", ""), "dflt");
    EXPECT_FALSE(again.Dword(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", "").has_value());
    EXPECT_FALSE(again.String(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", "isPictProp"));
    EXPECT_FALSE(again.KeyExists(HKEY_CLASSES_ROOT, "Software\\GNU"));
    ASSERT_TRUE(again.SetDword(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", "", 2));
    EXPECT_EQ(again.Dword(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", ""), 2u)
        << "a value changes type when rewritten";
    // The key keeps the case it was created with; the name the case it was first written with.
    EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Software\\GNU\\ffdshow\\default]\n"
                              "\"isPictProp\"=dword:00000007\n@=dword:00000002\n"),
              std::string::npos)
        << FileText();
}

TEST_F(RegistryStoreTest, WritesNeedAnExistingKeyAndAKnownRoot) {
    RegistryStore store(StorePath());
    EXPECT_FALSE(store.SetDword(HKEY_CURRENT_USER, "Software\\Missing", "x", 1));
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, "Software\\Missing"));
    EXPECT_FALSE(store.CreateKey(0x80000005u, "Software"));
    EXPECT_FALSE(store.KeyExists(0x80000005u, ""));
    EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, ""));
    EXPECT_TRUE(store.SetString(HKEY_CLASSES_ROOT, "", "at root", "yes"));
    EXPECT_EQ(store.String(HKEY_CLASSES_ROOT, "", "At Root"), "yes");
    EXPECT_FALSE(store.CreateKey(HKEY_CURRENT_USER, "Bad\nName")) << "would break the file";
}

TEST_F(RegistryStoreTest, QuotesBackslashesAndLineBreaksSurviveTheFile) {
    RegistryStore store(StorePath());
    const std::string command = "\"C:\\Tools\\Vexlo.exe\" \"%1\"";
    const std::string multiLine = "one\r\ntwo\\n";
    ASSERT_TRUE(store.CreateKey(HKEY_CLASSES_ROOT, "avifile\\shell\\open\\command"));
    ASSERT_TRUE(store.SetString(HKEY_CLASSES_ROOT, "avifile\\shell\\open\\command", "", command));
    ASSERT_TRUE(store.SetString(HKEY_CLASSES_ROOT, "avifile", "a \"quoted\" name", multiLine));
    EXPECT_EQ(store.String(HKEY_CLASSES_ROOT, "avifile\\shell\\open\\command", ""), command);
    EXPECT_EQ(store.String(HKEY_CLASSES_ROOT, "avifile", "A \"QUOTED\" NAME"), multiLine);
    EXPECT_NE(FileText().find("@=\"\\\"C:\\\\Tools\\\\Vexlo.exe\\\" \\\"%1\\\"\"\n"),
              std::string::npos)
        << FileText();
}

TEST_F(RegistryStoreTest, ReadsAHandWrittenFile) {
    WriteFile(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[hkey_current_user\\Software\\Haali\\Matroska Splitter]\r\n"
        "\"ui.trayicon\"=dword:0000000A\r\n"
        "; a comment\r\n"
        "\"bin\"=hex:01,02\r\n"
        "  @=\"x\"  \r\n"
        "[HKEY_LOCAL_MACHINE\\Software]\r\n"
        "\"lost\"=dword:00000001\r\n");
    RegistryStore store(StorePath());
    EXPECT_EQ(store.Dword(HKEY_CURRENT_USER, "Software\\Haali\\Matroska Splitter", "ui.trayicon"),
              10u);
    EXPECT_EQ(store.String(HKEY_CURRENT_USER, "Software\\Haali\\Matroska Splitter", ""), "x");
    EXPECT_FALSE(store.String(HKEY_CURRENT_USER, "Software\\Haali\\Matroska Splitter", "bin"));
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, "Software\\lost"));
}

TEST_F(RegistryStoreTest, GarbageReadsAsEmptyAndIsReplacedByTheNextWrite) {
    std::mt19937 random(7);
    std::string garbage(4096, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    WriteFile(garbage);
    RegistryStore store(StorePath());
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, "Software"));
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "Software\\GNU\\Xvid"));
    ASSERT_TRUE(store.SetDword(HKEY_CURRENT_USER, "Software\\GNU\\Xvid", "display_status", 0));
    EXPECT_EQ(RegistryStore(StorePath())
                  .Dword(HKEY_CURRENT_USER, "Software\\GNU\\Xvid", "display_status"),
              0u);
}

// Damaged copies of a valid file (bytes changed, cut short) must read without
// crashing, and whatever they still say must survive a rewrite unchanged.
TEST_F(RegistryStoreTest, DamagedFilesNeverCrashTheReader) {
    RegistryStore store(StorePath());
    ASSERT_TRUE(store.CreateKey(HKEY_CLASSES_ROOT, ".avi"));
    ASSERT_TRUE(store.SetString(HKEY_CLASSES_ROOT, ".avi", "", "avi\"file\\"));
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow"));
    ASSERT_TRUE(store.SetDword(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow", "isPictProp", 1));
    const std::string valid = FileText();
    const char pool[] = "[]\\\"@=:\n\r dword0123456789abcdefHKEY_\x01\xff";
    std::mt19937 random(11);
    for (int round = 0; round < 120; ++round) {
        std::string damaged = valid;
        for (int i = 0; i < 4; ++i)
            damaged[random() % damaged.size()] = pool[random() % (sizeof pool - 1)];
        damaged.resize(random() % (damaged.size() + 1));
        WriteFile(damaged);
        auto before = store.String(HKEY_CLASSES_ROOT, ".avi", "");
        ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "Touch"));  // forces a rewrite
        EXPECT_EQ(store.String(HKEY_CLASSES_ROOT, ".avi", ""), before) << damaged;
    }
}

TEST_F(RegistryStoreTest, AnUnwritableStoreFailsAndNoTemporaryFileRemains) {
    RegistryStore missingFolder((FTemp.path() + "/no/such/folder/Registry.reg").toStdString());
    EXPECT_FALSE(missingFolder.CreateKey(HKEY_CURRENT_USER, "Software"));
    RegistryStore store(StorePath());
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(QDir(FTemp.path()).entryList(QDir::Files), QStringList{"Registry.reg"})
        << "no temporary file is left behind";
}

TEST_F(RegistryStoreTest, NamesThatAreNotUtf8StayDistinct) {
    RegistryStore store(StorePath());
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "K\xE9"));
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "K\xE8"));
    ASSERT_TRUE(store.SetString(HKEY_CURRENT_USER, "K\xE8", "", "grave"));
    ASSERT_TRUE(store.SetString(HKEY_CURRENT_USER, "k\xE9", "", "acute"));
    EXPECT_EQ(store.String(HKEY_CURRENT_USER, "K\xE8", ""), "grave");
    EXPECT_EQ(store.String(HKEY_CURRENT_USER, "K\xE9", ""), "acute");
    // Valid UTF-8 still folds as text.
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, "\xC3\x89t\xC3\xA9"));  // "Été"
    EXPECT_TRUE(store.KeyExists(HKEY_CURRENT_USER, "\xC3\xA9T\xC3\x89"));  // "éTÉ"
}

TEST_F(RegistryStoreTest, APipeInPlaceOfTheFileIsNeitherReadNorReplaced) {
    ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);
    RegistryStore store(StorePath());
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, "Software"));  // returns, no hang
    EXPECT_FALSE(store.CreateKey(HKEY_CURRENT_USER, "Software"));
    EXPECT_FALSE(QFileInfo(QString::fromStdString(StorePath())).isFile());
}

}  // namespace
