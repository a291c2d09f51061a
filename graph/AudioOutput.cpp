#include "graph/AudioOutput.h"

#include <mutex>
#include <string>

namespace {

std::mutex gChoiceLock;
std::string gChosenFactory;  // empty until chosen

std::string FirstOutputThatOpens() {
    GList* factories = gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_SINK | GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO, GST_RANK_MARGINAL);
    factories = g_list_sort(factories, gst_plugin_feature_rank_compare_func);
    std::string chosen = "fakesink";
    for (GList* item = factories; item; item = item->next) {
        GstElementFactory* factory = GST_ELEMENT_FACTORY(item->data);
        if (ElementReachesReady(GST_OBJECT_NAME(factory))) {
            chosen = GST_OBJECT_NAME(factory);
            break;
        }
    }
    gst_plugin_feature_list_free(factories);
    return chosen;
}

}  // namespace

bool ElementReachesReady(const char* factory) {
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (!element) return false;
    gst_object_ref_sink(element);
    const bool ready = gst_element_set_state(element, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(element, GST_STATE_NULL);
    gst_object_unref(element);
    return ready;
}

void ChooseAudioOutput() {
    static std::once_flag once;
    std::call_once(once, [] {
        const std::string chosen = FirstOutputThatOpens();
        const std::lock_guard lock(gChoiceLock);
        gChosenFactory = chosen;
    });
}

GstElement* MakeAudioOutput(const char* name) {
    std::string factory;
    {
        const std::lock_guard lock(gChoiceLock);
        factory = gChosenFactory.empty() ? "autoaudiosink" : gChosenFactory;
    }
    GstElement* output = gst_element_factory_make(factory.c_str(), name);
    if (output && factory == "fakesink") g_object_set(output, "sync", TRUE, nullptr);
    return output;
}
