// The brightness filter's settings page: its file round-trip, the controls driving the filter
// it is connected to, and the host that shows it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <memory>

#include "filters/BrightnessSettings.h"
#include "filters/PropEdit.h"
#include "filters/PropertyFrame.h"
#include "tests/filters/FilterSupport.h"
#include "tests/support/EventPump.h"

namespace {

using Bytes = std::vector<uint8_t>;

class PropEditTest : public FilterTest {
  protected:
    void SetUp() override {
        FilterTest::SetUp();
        Element = NewBrightnessFilter();
        Filter = BrightnessControlFilter(Element);
    }
    void TearDown() override {
        TFormPropEdit().OnDisconnect();  // no page stays connected into the next test
        gst_object_unref(Element);
        FilterTest::TearDown();
    }
    int32_t Brightness() {
        int32_t value = 12345;
        Filter->GetBrightness(value);
        return value;
    }
    QByteArray StoredFile() {
        QFile file(Home.path() + "/bfilter.ini");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
    }

    GstElement* Element = nullptr;
    TBrightnessControlFilter* Filter = nullptr;
};

TEST_F(PropEditTest, WithoutAFileThePageOpensAtZeroAndClosingWritesTheSlider) {
    auto page = std::make_unique<TFormPropEdit>();
    EXPECT_EQ(page->windowTitle(), "Brightness");
    EXPECT_EQ(page->size(), QSize(344, 190));
    EXPECT_EQ(page->TrackBar1->value(), 0);
    EXPECT_EQ(page->TrackBar1->minimum(), -100);
    EXPECT_EQ(page->TrackBar1->maximum(), 100);
    EXPECT_EQ(page->TrackBar2->value(), 64);
    EXPECT_EQ(page->TrackBar2->maximum(), 128);
    EXPECT_EQ(page->Label1->text(), "Status");
    EXPECT_EQ(page->chkboxEnableBrightness->text(), "Enable Brightness");
    EXPECT_TRUE(page->chkboxEnableBrightness->isChecked());
    EXPECT_EQ(page->chkboxEnableInvert->text(), "Enable Invert");
    EXPECT_FALSE(page->chkboxEnableInvert->isChecked());
    EXPECT_EQ(StoredFile(), "<absent>");
    page->TrackBar1->setValue(-30);
    page.reset();
    EXPECT_EQ(ReadBrightnessSetting(), -30);
    EXPECT_EQ(TFormPropEdit().TrackBar1->value(), -30);
}

TEST_F(PropEditTest, AStoredValueBeyondTheSliderLimitsTheSliderNotTheFilter) {
    StoreBrightness("150");
    Filter->CompleteConnect();
    EXPECT_EQ(Brightness(), 150);
    TFormPropEdit page;
    EXPECT_EQ(page.TrackBar1->value(), 100);
    EXPECT_EQ(page.OnConnect(Element), S_OK);  // pushes the slider's position
    EXPECT_EQ(Brightness(), 100);
    EXPECT_EQ(page.PageUpdating, 0);
    EXPECT_EQ(page.OnApplyChanges(), S_OK);
}

TEST_F(PropEditTest, TheSlidersDriveTheConnectedFilter) {
    TFormPropEdit page;
    page.TrackBar1->setValue(25);  // not connected yet: nothing reaches the filter
    EXPECT_EQ(Brightness(), 0);
    ASSERT_EQ(page.OnConnect(Element), S_OK);
    EXPECT_EQ(PageFilterControl(), QueryZorozuDeveduControl(Element));
    EXPECT_EQ(Brightness(), 25);
    Filter->CompleteConnect();  // a pad linked: the status reads "Connected"
    page.TrackBar1->setValue(-60);
    EXPECT_EQ(Brightness(), -60);
    EXPECT_EQ(page.Label1->text(), "Connected");

    page.TrackBar1->setValue(0);
    page.TrackBar2->setValue(128);  // twice the distance from 128
    EXPECT_EQ(RunFrame(*Filter, {100, 128, 150, 0}), (Bytes{72, 128, 172, 0}));
    page.TrackBar2->setValue(64);
    EXPECT_EQ(RunFrame(*Filter, {100, 128, 150, 0}), (Bytes{100, 128, 150, 0}));

    EXPECT_EQ(page.OnDisconnect(), S_OK);
    EXPECT_EQ(PageFilterControl(), nullptr);
    page.TrackBar1->setValue(90);
    EXPECT_EQ(Brightness(), 0);
}

TEST_F(PropEditTest, TheSwitchBoxesActOnEveryFilterAndAreNotReadBack) {
    {
        TFormPropEdit page;
        page.TrackBar1->setValue(30);
        page.OnConnect(Element);
        page.chkboxEnableBrightness->click();  // off: frames pass through, value kept
        EXPECT_FALSE(BrightnessEnabled);
        EXPECT_TRUE(BrightnessOffMark);
        EXPECT_EQ(RunFrame(*Filter, {10, 250}), (Bytes{10, 250}));
        EXPECT_EQ(Brightness(), 30);
        page.chkboxEnableBrightness->click();
        EXPECT_TRUE(BrightnessEnabled);
        EXPECT_EQ(RunFrame(*Filter, {10, 250}), (Bytes{40, 255}));
        page.chkboxEnableInvert->click();
        EXPECT_TRUE(InvertEnabled);
        page.chkboxEnableBrightness->click();
        page.OnDisconnect();
    }
    TFormPropEdit reopened;
    EXPECT_TRUE(reopened.chkboxEnableBrightness->isChecked());
    EXPECT_FALSE(reopened.chkboxEnableInvert->isChecked());
    EXPECT_TRUE(InvertEnabled);  // the switches stay as the last page left them
    EXPECT_FALSE(BrightnessEnabled);
    reopened.chkboxEnableInvert->click();  // unconnected: the switch handlers do nothing
    EXPECT_TRUE(InvertEnabled);
}

TEST_F(PropEditTest, AnElementWithoutTheControlIsRefused) {
    GstElement* other = gst_element_factory_make("identity", nullptr);
    gst_object_ref_sink(other);
    TFormPropEdit first;
    first.OnConnect(Element);
    TFormPropEdit page;
    EXPECT_EQ(page.OnConnect(other), E_FAIL);
    EXPECT_EQ(DebugLines(),
              std::vector<std::string>{"dov: Error - IZorozuDeveduControl not supported."});
    EXPECT_EQ(PageFilterControl(), QueryZorozuDeveduControl(Element));  // unchanged
    gst_object_unref(other);
}

// The connected filter stays alive while a page uses it, even after its owner let it go.
TEST_F(PropEditTest, ThePageKeepsItsFilterAlive) {
    GstElement* element = NewBrightnessFilter();
    TFormPropEdit page;
    page.OnConnect(element);
    gst_object_unref(element);
    page.TrackBar1->setValue(12);
    int32_t value = 0;
    EXPECT_EQ(PageFilterControl()->GetBrightness(value), S_OK);
    EXPECT_EQ(value, 12);
}

TEST_F(PropEditTest, TheHostShowsTheFiltersPageAndClosingDetachesAndSaves) {
    StoreBrightness("-20");
    QPointer<QWidget> page = ShowPropertyPage(Element);
    ASSERT_FALSE(page.isNull());
    auto* form = dynamic_cast<TFormPropEdit*>(page.data());
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(PageFilterControl(), QueryZorozuDeveduControl(Element));
    EXPECT_EQ(Brightness(), -20);
    form->TrackBar1->setValue(55);
    form->close();
    EXPECT_EQ(PageFilterControl(), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return page.isNull(); }, 2000));
    EXPECT_EQ(ReadBrightnessSetting(), 55);

    GstElement* other = gst_element_factory_make("identity", nullptr);
    gst_object_ref_sink(other);
    EXPECT_EQ(ShowPropertyPage(other), nullptr);
    gst_object_unref(other);
}

}  // namespace
