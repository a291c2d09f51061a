#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "desktop/LiteRegistry.h"

namespace {

// Every test works on a registry file of its own program folder.
class LiteRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { qputenv("VEXLO_HOME", FHome.path().toUtf8()); }
    void TearDown() override { qunsetenv("VEXLO_HOME"); }

    QTemporaryDir FHome;
};

TEST_F(LiteRegistryTest, OpenGivesZeroForAMissingKeyAndCreateMakesIt) {
    EXPECT_EQ(OpenRegKey(HKEY_CURRENT_USER, "Software\\GNU\\Xvid", KEY_ALL_ACCESS), 0u);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\GNU\\Xvid"));
    HKEY key = CreateRegKey(HKEY_CURRENT_USER, "Software\\GNU\\Xvid", KEY_ALL_ACCESS);
    ASSERT_NE(key, 0u);
    EXPECT_TRUE(WriteRegDword(key, "display_status", 0));
    CloseRegKey(key);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "software\\gnu\\xvid"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\GNU"));
    EXPECT_EQ(RegistryStore().Dword(HKEY_CURRENT_USER, "Software\\GNU\\Xvid", "display_status"),
              0u);
}

TEST_F(LiteRegistryTest, KeysOpenRelativeToAnOpenedKey) {
    const std::string clsid = "{FA10746C-9B63-4B6C-BC49-FC300EA5F256}";
    CloseRegKey(CreateRegKey(HKEY_CLASSES_ROOT, "CLSID\\" + clsid, KEY_ALL_ACCESS));
    HKEY classes = OpenRegKey(HKEY_CLASSES_ROOT, "CLSID", KEY_READ);
    ASSERT_NE(classes, 0u);
    HKEY entry = OpenRegKey(classes, clsid, KEY_READ);
    EXPECT_NE(entry, 0u);
    EXPECT_EQ(OpenRegKey(classes, "{516F1EFA-42F4-436E-801C-B752EB9343EB}", KEY_READ), 0u);
    CloseRegKey(entry);
    CloseRegKey(classes);
    EXPECT_EQ(OpenRegKey(classes, clsid, KEY_READ), 0u) << "a closed handle opens nothing";
}

TEST_F(LiteRegistryTest, DwordBoolAndStringValuesRoundTrip) {
    HKEY key = CreateRegKey(HKEY_CURRENT_USER, "Software\\GNU\\ffdshow\\default", KEY_ALL_ACCESS);
    ASSERT_NE(key, 0u);
    EXPECT_TRUE(WriteRegBool(key, "isPictProp", true));
    EXPECT_TRUE(WriteRegDword(key, "xsharpen", 0x12345678u));
    EXPECT_TRUE(WriteRegString(key, "", "default text"));
    EXPECT_EQ(ReadRegDword(key, "ISPICTPROP"), 1u);
    EXPECT_TRUE(WriteRegBool(key, "isPictProp", false));
    EXPECT_EQ(ReadRegDword(key, "isPictProp"), 0u);
    EXPECT_EQ(ReadRegDword(key, "xsharpen"), 0x12345678u);
    EXPECT_EQ(ReadRegString(key, ""), "default text");
    EXPECT_FALSE(ReadRegDword(key, "missing"));
    CloseRegKey(key);
    EXPECT_FALSE(WriteRegDword(key, "xsharpen", 1)) << "a closed handle writes nothing";
    EXPECT_FALSE(WriteRegDword(0, "xsharpen", 1));
}

TEST_F(LiteRegistryTest, AccessRightsOfTheHandleApply) {
    CloseRegKey(
        CreateRegKey(HKEY_CURRENT_USER, "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter", KEY_WRITE));
    HKEY readOnly =
        OpenRegKey(HKEY_CURRENT_USER, "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter", KEY_READ);
    ASSERT_NE(readOnly, 0u);
    EXPECT_FALSE(WriteRegDword(readOnly, "Enabled", 1));
    CloseRegKey(readOnly);
    HKEY writeOnly =
        OpenRegKey(HKEY_CURRENT_USER, "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter", KEY_WRITE);
    EXPECT_TRUE(WriteRegDword(writeOnly, "Enabled", 1));
    EXPECT_FALSE(ReadRegDword(writeOnly, "Enabled"));
    CloseRegKey(writeOnly);
    HKEY full =
        OpenRegKey(HKEY_CURRENT_USER, "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter", KEY_ALL_ACCESS);
    EXPECT_EQ(ReadRegDword(full, "Enabled"), 1u);
    CloseRegKey(full);
}

// The layout a file association writes, with its quoted command, byte for byte.
TEST_F(LiteRegistryTest, AssociationValuesKeepEveryByte) {
    const std::string exe = "/opt/vexlo dir/vexlo";
    const std::string command = "\"" + exe + "\" \"%1\"";
    HKEY key = CreateRegKey(HKEY_CLASSES_ROOT, "avifile\\shell\\open\\command", KEY_ALL_ACCESS);
    ASSERT_TRUE(WriteRegString(key, "", command));
    CloseRegKey(key);
    key = CreateRegKey(HKEY_CLASSES_ROOT, "avifile\\shell\\open\\command", KEY_ALL_ACCESS);
    ASSERT_TRUE(WriteRegString(key, "", command));  // twice gives the same content
    EXPECT_EQ(ReadRegString(key, ""), command);
    CloseRegKey(key);
    EXPECT_EQ(RegistryStore().String(HKEY_CLASSES_ROOT, "AVIFILE\\Shell\\Open\\Command", ""),
              command);
}

}  // namespace
