#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "adjust/FilterSettings.h"
#include "graph/ExternalFilters.h"
#include "platform/RegistryStore.h"

namespace {

const char* const kXvid = "Software\\GNU\\Xvid";
const char* const kHaali = "Software\\Haali\\Matroska Splitter";
const char* const kFfdshow = "Software\\GNU\\ffdshow\\default";
const char* const kFfdshowRaw = "Software\\GNU\\ffdshow_raw\\default";
const char* const kEqualizer = "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter";

class FilterSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Home.isValid());
        qputenv("VEXLO_HOME", (Home.path() + "/").toUtf8());
    }
    void TearDown() override { qunsetenv("VEXLO_HOME"); }

    std::optional<uint32_t> Value(const char* key, const char* name) const {
        return RegistryStore().Dword(HKEY_CURRENT_USER, key, name);
    }

    QTemporaryDir Home;
};

TEST_F(FilterSettingsTest, StartUpSettingsCreateTheFourKeysWithTheirValues) {
    RegistryStore store;
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, kFfdshow));
    ASSERT_TRUE(store.SetDword(HKEY_CURRENT_USER, kFfdshow, "isPictProp", 0));
    ASSERT_TRUE(store.SetDword(HKEY_CURRENT_USER, kFfdshow, "xsharpen", 7));

    DisableFilterTrayUi();
    SetFfdshowPictureProps(1);
    EXPECT_EQ(Value(kXvid, "display_status"), 0u);
    EXPECT_EQ(Value(kHaali, "ui.trayicon"), 0u);
    EXPECT_EQ(Value(kFfdshow, "isPictProp"), 1u);
    EXPECT_EQ(Value(kFfdshowRaw, "isPictProp"), 1u);
    EXPECT_EQ(Value(kFfdshow, "xsharpen"), 7u) << "other values stay";
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, kEqualizer));
}

TEST_F(FilterSettingsTest, SharpenSwitchGoesToBothDecodersAtEachCall) {
    SetFfdshowSharpen(0);
    EXPECT_EQ(Value(kFfdshow, "xsharpen"), 0u);
    EXPECT_EQ(Value(kFfdshowRaw, "xsharpen"), 0u);
    SetFfdshowSharpen(1);
    EXPECT_EQ(Value(kFfdshow, "xsharpen"), 1u);
    EXPECT_EQ(Value(kFfdshowRaw, "xsharpen"), 1u);
}

TEST_F(FilterSettingsTest, PresenceFollowsTheStandInsAndTheirElements) {
    RegisterExternalFilters();
    RegistryStore store;
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, kEqualizer));
    // On this system every stand-in's elements are installed.
    EXPECT_TRUE(IsEqualizerRegistered());
    EXPECT_FALSE(Value(kEqualizer, "Enabled")) << "a present equaliser is left as it is";
    EXPECT_TRUE(IsEvrRegistered());
    EXPECT_TRUE(IsVideoDecoderRegistered());
}

}  // namespace
