// The stand-in filters' dialogs, reached through the engine's hook as the player reaches them.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QDialog>
#include <QSlider>
#include <QTemporaryDir>
#include <memory>

#include "graph/ExternalFilters.h"
#include "tests/graph/ToneLevels.h"
#include "video/FilterDialogs.h"

namespace {

class FilterDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("VEXLO_HOME", (home.path() + "/").toUtf8());
        RegisterExternalFilters();
        RegisterFilterDialogs();
    }
    void TearDown() override { qunsetenv("VEXLO_HOME"); }
    QTemporaryDir home;
};

GstElement* NewPictureFilter() {
    return CreateFilterInstance(CLSID_ffdshowVideoDecoder);
}

TEST_F(FilterDialogsTest, DecoderDialogDrivesTheSameSettings) {
    GstElement* filter = GST_ELEMENT(gst_object_ref_sink(NewPictureFilter()));
    IffDecoder* decoder = QueryffDecoder(filter);
    decoder->PutParam(IDFF_hue, 30);
    QWidget owner;
    EXPECT_EQ(decoder->ShowCfgDlg(&owner), S_OK);
    auto* dialog = owner.findChild<QDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    const auto sliders = dialog->findChildren<QSlider*>();
    ASSERT_EQ(sliders.size(), 5);
    EXPECT_EQ(sliders[2]->value(), 30) << "opens on the values in force";
    sliders[0]->setValue(180);
    EXPECT_EQ(decoder->GetParam(IDFF_contrast), 180);
    EXPECT_EQ(decoder->ShowCfgDlg(&owner), S_OK);
    EXPECT_EQ(owner.findChildren<QDialog*>().size(), 1) << "one dialog, shown again";
    gst_object_unref(filter);
}

TEST_F(FilterDialogsTest, EqualizerPageCutsItsBandOnTheRunningSound) {
    GstElement* equalizer = CreateFilterInstance(CLSID_GraphicEqualizer);
    ASSERT_EQ(FilterPages(equalizer), std::vector<CLSID>{CLSID_GraphicEqualizerPage});
    std::unique_ptr<QWidget> page(
        CreatePropertyPage(CLSID_GraphicEqualizerPage, equalizer, nullptr));
    ASSERT_NE(page, nullptr);
    IGraphicEqualizer* bands = QueryGraphicEqualizer(equalizer);
    ASSERT_NE(bands, nullptr);
    EXPECT_EQ(bands->BandFrequency(5), 947);
    auto* oneKilohertz = page->findChild<QSlider*>("band5");
    ASSERT_NE(oneKilohertz, nullptr);

    const ToneLevels levels = PlayTone(equalizer, [&] { oneKilohertz->setValue(-24); });
    EXPECT_GT(levels.Early, -30) << "the tone plays";
    EXPECT_LT(levels.Late, levels.Early - 12) << "the 1 kHz band is cut while it plays";
    EXPECT_EQ(bands->Band(5), -24);

    // A band far from the tone leaves it as it was.
    GstElement* lowCut = CreateFilterInstance(CLSID_GraphicEqualizer);
    QueryGraphicEqualizer(lowCut)->SetBand(0, -24);
    const ToneLevels low = PlayTone(lowCut);
    EXPECT_NEAR(low.Early, levels.Early, 1.5);
}

}  // namespace
