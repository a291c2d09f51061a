#include "graph/FfmpegDemuxers.h"

#include <cstring>

#include "graph/DirectShowErrors.h"

namespace {

bool IsFfmpegDemuxer(const GValue* value) {
    auto* factory = GST_PLUGIN_FEATURE(g_value_get_object(value));
    return std::strncmp(gst_plugin_feature_get_name(factory), "avdemux_", 8) == 0;
}

// The decoding bin's candidates for one stream, FFmpeg's demuxers first; null keeps the bin's
// own order. GValueArray is what the signal carries, deprecated or not.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
GValueArray* SortFfmpegFirst(GstElement*, GstPad*, GstCaps*, GValueArray* factories,
                             gpointer data) {
    auto* choice = static_cast<TDemuxerChoice*>(data);
    bool offered = false;
    for (guint index = 0; index < factories->n_values; ++index)
        offered |= IsFfmpegDemuxer(g_value_array_get_nth(factories, index));
    if (offered) choice->FfmpegOffered = true;
    if (!offered || !choice->FfmpegFirst) return nullptr;
    GValueArray* sorted = g_value_array_new(factories->n_values);
    for (bool ffmpeg : {true, false})
        for (guint index = 0; index < factories->n_values; ++index) {
            const GValue* value = g_value_array_get_nth(factories, index);
            if (IsFfmpegDemuxer(value) == ffmpeg) g_value_array_append(sorted, value);
        }
    return sorted;
}
G_GNUC_END_IGNORE_DEPRECATIONS

// Runs on whichever thread adds the element.
void WatchAddedBin(GstBin*, GstBin*, GstElement* element, gpointer choice) {
    if (g_signal_lookup("autoplug-sort", G_OBJECT_TYPE(element)) == 0) return;
    g_signal_connect(element, "autoplug-sort", G_CALLBACK(SortFfmpegFirst), choice);
}

}  // namespace

void WatchDemuxerChoice(GstElement* playbin, TDemuxerChoice* choice) {
    g_signal_connect(playbin, "deep-element-added", G_CALLBACK(WatchAddedBin), choice);
}

bool IsDemuxerFailure(HRESULT code) {
    return code == VFW_E_INVALID_FILE_FORMAT;
}
