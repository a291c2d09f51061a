// A file source whose first bytes come kSlowFirstBytesMs late, as from a sleeping drive or a
// slow share: filesrc with its fill delayed once per element. Chosen for file: URIs only while
// its rank is raised; the rank counts when a pipeline makes its source, as its render starts.
#pragma once

#include <gst/base/gstbasesrc.h>
#include <gst/gst.h>

#include <chrono>
#include <thread>

inline constexpr int kSlowFirstBytesMs = 3000;

namespace slow_file_source {

inline GstFlowReturn (*gFileSourceFill)(GstBaseSrc*, guint64, guint, GstBuffer*) = nullptr;

inline GstFlowReturn FillLate(GstBaseSrc* source, guint64 offset, guint size, GstBuffer* buffer) {
    if (!g_object_get_data(G_OBJECT(source), "vexlo-delayed")) {
        g_object_set_data(G_OBJECT(source), "vexlo-delayed", source);
        std::this_thread::sleep_for(std::chrono::milliseconds(kSlowFirstBytesMs));
    }
    return gFileSourceFill(source, offset, size, buffer);
}

inline void ClassInit(gpointer type, gpointer) {
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(type);
    gFileSourceFill = base->fill;
    base->fill = FillLate;
}

}  // namespace slow_file_source

inline void SetSlowSourceRank(guint rank) {
    static GstPluginFeature* feature = []() -> GstPluginFeature* {
        GstElementFactory* file = gst_element_factory_find("filesrc");
        if (!file) return nullptr;
        GstElementFactory* loaded =
            GST_ELEMENT_FACTORY(gst_plugin_feature_load(GST_PLUGIN_FEATURE(file)));
        gst_object_unref(file);
        if (!loaded) return nullptr;
        const GType parent = gst_element_factory_get_element_type(loaded);
        gst_object_unref(loaded);
        GTypeQuery query;
        g_type_query(parent, &query);
        const GType slow = g_type_register_static_simple(
            parent, "VexloSlowFileSrc", query.class_size, slow_file_source::ClassInit,
            query.instance_size, nullptr, GTypeFlags(0));
        if (!gst_element_register(nullptr, "vexloslowfilesrc", GST_RANK_NONE, slow)) return nullptr;
        return GST_PLUGIN_FEATURE(gst_element_factory_find("vexloslowfilesrc"));
    }();
    if (feature) gst_plugin_feature_set_rank(feature, rank);
}
