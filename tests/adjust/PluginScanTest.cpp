// A system without the equaliser: GStreamer starts from an empty plugin path and a registry of
// its own, and the program folder holds the plugin files the start-up should pick up.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "adjust/FilterSettings.h"
#include "graph/ExternalFilters.h"
#include "platform/RegistryStore.h"
#include "tests/support/EventPump.h"

namespace {

const char* const kEqualizer = "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter";

QString SystemPluginFolder() {
    QProcess query;
    query.start("pkg-config", {"--variable=pluginsdir", "gstreamer-1.0"});
    query.waitForFinished();
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

bool FeatureKnown(const char* name) {
    GstPluginFeature* feature = gst_registry_lookup_feature(gst_registry_get(), name);
    if (feature) gst_object_unref(feature);
    return feature != nullptr;
}

TEST(PluginScanTest, MissingEqualizerIsSwitchedOnAndItsPluginsScannedFromTheProgramFolder) {
    QTemporaryDir sandbox;
    ASSERT_TRUE(sandbox.isValid());
    const QString home = sandbox.filePath("home/"), system = sandbox.filePath("system");
    ASSERT_TRUE(QDir().mkpath(home) && QDir().mkpath(system));
    const QString plugins = SystemPluginFolder();
    for (const char* file : {"libgstequalizer.so", "libgstaudioconvert.so"})
        ASSERT_TRUE(QFile::copy(plugins + "/" + file, home + file)) << file;
    qputenv("VEXLO_HOME", home.toUtf8());
    qputenv("GST_PLUGIN_SYSTEM_PATH_1_0", system.toUtf8());
    qputenv("GST_REGISTRY_1_0", sandbox.filePath("registry.bin").toUtf8());
    qunsetenv("GST_PLUGIN_PATH_1_0");
    qunsetenv("GST_PLUGIN_PATH");
    RegisterExternalFilters();  // starts GStreamer, which finds no plugins
    ASSERT_FALSE(FeatureKnown("equalizer-10bands"));

    RegistryStore store;
    EXPECT_FALSE(IsEqualizerRegistered());
    EXPECT_FALSE(store.KeyExists(HKEY_CURRENT_USER, kEqualizer)) << "the key is never created";
    ASSERT_TRUE(store.CreateKey(HKEY_CURRENT_USER, kEqualizer));
    EXPECT_FALSE(IsEqualizerRegistered());
    EXPECT_EQ(store.Dword(HKEY_CURRENT_USER, kEqualizer, "Enabled"), 1u);

    RegisterMissingFilters();
    // The scan registers the folder's plugins one by one; the stand-in needs both.
    EXPECT_TRUE(PumpUntil(
        [] { return FeatureKnown("equalizer-10bands") && FeatureKnown("audioconvert"); }, 20000));
    ASSERT_TRUE(store.SetDword(HKEY_CURRENT_USER, kEqualizer, "Enabled", 7));
    EXPECT_TRUE(IsEqualizerRegistered());
    EXPECT_EQ(store.Dword(HKEY_CURRENT_USER, kEqualizer, "Enabled"), 7u);
    GstElement* equalizer = CreateFilterInstance(CLSID_GraphicEqualizer);
    ASSERT_NE(equalizer, nullptr) << "the scanned plugins make the stand-in";
    gst_object_unref(gst_object_ref_sink(equalizer));
    EXPECT_FALSE(IsEvrRegistered()) << "only what the folder held";
}

}  // namespace
