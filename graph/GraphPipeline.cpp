#include "graph/GraphPipeline.h"

#include <gst/tag/tag.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "graph/AudioOutput.h"
#include "graph/BluRaySource.h"
#include "graph/DecoderThreads.h"
#include "graph/SubtitleFiles.h"

namespace {

constexpr const char* kVideoSizeMessage = "vexlo-video-size";
constexpr const char* kSubtitleMessage = "vexlo-subtitle";

GstElement* Owned(GstElement* element) {
    return element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr;
}

GstElement* MakeOwned(const char* factory, const char* name) {
    return Owned(gst_element_factory_make(factory, name));
}

// The media of an element's "sink" pad: "video/...", "audio/..." or empty.
std::string SinkMedia(GstElement* element) {
    GstPad* pad = gst_element_get_static_pad(element, "sink");
    if (!pad) return {};
    std::string media;
    GstCaps* caps = gst_pad_query_caps(pad, nullptr);
    if (caps && !gst_caps_is_any(caps) && !gst_caps_is_empty(caps)) {
        const std::string name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
        if (name.rfind("video/", 0) == 0 || name.rfind("audio/", 0) == 0) media = name;
    }
    if (caps) gst_caps_unref(caps);
    gst_object_unref(pad);
    return media;
}

void AddGhostPad(GstElement* bin, GstElement* element, const char* name) {
    GstPad* target = gst_element_get_static_pad(element, name);
    if (!target) return;
    gst_element_add_pad(bin, gst_ghost_pad_new(name, target));
    gst_object_unref(target);
}

// A bin holding the elements linked in order; an element that does not link to the one
// before it stays out, as an unconnectable filter would. Null for no elements.
GstElement* MakeChain(const char* name, const std::vector<GstElement*>& elements) {
    if (elements.empty()) return nullptr;
    // Ours as well as the pipeline's: playbin may let go of a chain it was given while we
    // still list and empty it.
    GstElement* bin = GST_ELEMENT(gst_object_ref_sink(gst_bin_new(name)));
    GstElement* last = nullptr;
    for (GstElement* element : elements) {
        if (!gst_bin_add(GST_BIN(bin), element)) continue;
        if (last && !gst_element_link(last, element)) {
            gst_bin_remove(GST_BIN(bin), element);
            continue;
        }
        if (!last) AddGhostPad(bin, element, "sink");
        last = element;
    }
    if (last) AddGhostPad(bin, last, "src");
    return bin;
}

// Takes every child out of the bin; the children live on through their owners' references.
void EmptyBin(GstElement* bin) {
    std::vector<GstElement*> children;
    GST_OBJECT_LOCK(bin);
    for (GList* item = GST_BIN_CHILDREN(bin); item; item = item->next)
        children.push_back(GST_ELEMENT(gst_object_ref(item->data)));
    GST_OBJECT_UNLOCK(bin);
    for (GstElement* child : children) {
        gst_bin_remove(GST_BIN(bin), child);
        gst_object_unref(child);
    }
}

GstPadProbeReturn WatchCaps(GstPad*, GstPadProbeInfo* info, gpointer renderer) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    int width = 0, height = 0;
    const GstStructure* format = gst_caps_get_structure(caps, 0);
    if (gst_structure_get_int(format, "width", &width) &&
        gst_structure_get_int(format, "height", &height)) {
        GstStructure* size = gst_structure_new(kVideoSizeMessage, "width", G_TYPE_INT, width,
                                               "height", G_TYPE_INT, height, nullptr);
        gst_element_post_message(GST_ELEMENT(renderer),
                                 gst_message_new_application(GST_OBJECT(renderer), size));
    }
    return GST_PAD_PROBE_OK;
}

// Phone videos carry their orientation as a tag; this stage turns the picture upright before
// the filters, so the renderer, its size and the zoom all see the upright picture.
GstElement* MakeOrientationStage() {
    GstElement* flip = MakeOwned("videoflip", "Orientation");
    if (flip) gst_util_set_object_arg(G_OBJECT(flip), "video-direction", "auto");
    return flip;
}

// Pango markup (what the subtitle parser gives) as the words it shows.
std::string WithoutMarkup(const std::string& markup) {
    static const std::pair<std::string, std::string> kEntities[] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}};
    std::string text;
    bool inTag = false;
    for (size_t at = 0; at < markup.size(); ++at) {
        const char c = markup[at];
        if (inTag || c == '<') {
            inTag = c != '>';
            continue;
        }
        const auto entity =
            std::find_if(std::begin(kEntities), std::end(kEntities), [&](const auto& entry) {
                return markup.compare(at, entry.first.size(), entry.first) == 0;
            });
        if (entity == std::end(kEntities)) {
            text += c;
            continue;
        }
        text += entity->second;
        at += entity->first.size() - 1;
    }
    return text;
}

// An SSA/ASS event as a demuxer hands it on ("ReadOrder,Layer,Style,Name,MarginL,MarginR,
// MarginV,Effect,Text"): its text without the {\...} override blocks, "\N" a line break.
std::string AssEventText(const std::string& event) {
    size_t start = 0;
    for (int field = 0; field < 8 && start != std::string::npos; ++field) {
        const size_t comma = event.find(',', start);
        start = comma == std::string::npos ? comma : comma + 1;
    }
    if (start == std::string::npos) return {};
    std::string text;
    bool inBlock = false;
    for (size_t at = start; at < event.size(); ++at) {
        const char c = event[at];
        if (inBlock || c == '{') {
            inBlock = c != '}';
        } else if (c == '\\' && at + 1 < event.size() && (event[at + 1] | 0x20) == 'n') {
            text += '\n';
            ++at;
        } else {
            text += c;
        }
    }
    return text;
}

// The plain text of a cue in the stream's format; none for pictures of subtitles (a film's
// DVD or Blu-ray tracks), which this renderer cannot show.
std::string CueText(const std::string& data, GstPad* pad) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps) return {};
    const GstStructure* format = gst_caps_get_structure(caps, 0);
    const std::string media = gst_structure_get_name(format);
    const char* textFormat = gst_structure_get_string(format, "format");
    const bool markup = textFormat && std::strcmp(textFormat, "pango-markup") == 0;
    gst_caps_unref(caps);
    if (media == "application/x-ass" || media == "application/x-ssa") return AssEventText(data);
    if (media != "text/x-raw") return {};
    return markup ? WithoutMarkup(data) : data;
}

// The text renderer's hand-off, on the streaming thread as each cue comes due: the cue goes to
// the bus, which the UI thread reads.
void PostCue(GstElement* sink, GstBuffer* buffer, GstPad* pad, gpointer) {
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return;
    std::string data(reinterpret_cast<const char*>(map.data), map.size);
    gst_buffer_unmap(buffer, &map);
    data.erase(std::find(data.begin(), data.end(), '\0'), data.end());
    const GstClockTime duration = GST_BUFFER_DURATION(buffer);
    const gint64 durationMs =
        GST_CLOCK_TIME_IS_VALID(duration) ? static_cast<gint64>(duration / GST_MSECOND) : -1;
    GstStructure* cue =
        gst_structure_new(kSubtitleMessage, "text", G_TYPE_STRING, CueText(data, pad).c_str(),
                          "duration", G_TYPE_INT64, durationMs, nullptr);
    gst_element_post_message(sink, gst_message_new_application(GST_OBJECT(sink), cue));
}

// "English - Commentary", "English", "Commentary" or "Track 2".
std::string TrackName(const GstTagList* tags, int index) {
    std::string language, title;
    gchar* value = nullptr;
    if (tags && gst_tag_list_get_string(tags, GST_TAG_LANGUAGE_CODE, &value)) {
        const gchar* name = gst_tag_get_language_name(value);
        language = name ? name : value;
        g_free(value);
    }
    if (tags && gst_tag_list_get_string(tags, GST_TAG_TITLE, &value)) {
        title = value;
        g_free(value);
    }
    if (language.empty() && title.empty()) return "Track " + std::to_string(index + 1);
    if (language.empty() || title.empty()) return language + title;
    return language + " - " + title;
}

}  // namespace

bool ParseSubtitleMessage(GstMessage* message, std::string& text, int64_t& durationMs) {
    const GstStructure* cue = gst_message_get_structure(message);
    if (!cue || !gst_structure_has_name(cue, kSubtitleMessage)) return false;
    const gchar* words = gst_structure_get_string(cue, "text");
    gint64 duration = -1;
    gst_structure_get_int64(cue, "duration", &duration);
    text = words ? words : "";
    durationMs = duration;
    return true;
}

bool ParseVideoSizeMessage(GstMessage* message, int& width, int& height) {
    const GstStructure* size = gst_message_get_structure(message);
    return size && gst_structure_has_name(size, kVideoSizeMessage) &&
           gst_structure_get_int(size, "width", &width) &&
           gst_structure_get_int(size, "height", &height);
}

namespace {

TPipelineCounts& Counts() {
    static TPipelineCounts counts;
    return counts;
}

}  // namespace

TPipelineCounts PipelineCounts() {
    return Counts();
}

std::unique_ptr<TGraphPipeline> TGraphPipeline::Create(const std::string& name) {
    GstElement* pipeline = MakeOwned("playbin", name.c_str());
    if (!pipeline) return nullptr;
    // The picture filters balance the colours themselves; playbin's own balance stage would only
    // slow the start of every file.
    constexpr guint kSoftColorBalance = 1u << 10;
    guint flags = 0;
    g_object_get(pipeline, "flags", &flags, nullptr);
    g_object_set(pipeline, "flags", flags & ~kSoftColorBalance, nullptr);
    return std::unique_ptr<TGraphPipeline>(new TGraphPipeline(pipeline));
}

TGraphPipeline::TGraphPipeline(GstElement* pipeline) : FPipeline(pipeline) {
    // Tempo keeps the pitch at other rates; panorama carries the balance. The audio filters
    // and this tail end in the sound output itself: placed after playbin's second of queued
    // sound, a change to a filter (an equaliser band) is heard at once rather than a second
    // later.
    FAudioTail = {MakeOwned("audioconvert", nullptr), MakeOwned("audiopanorama", nullptr),
                  MakeOwned("scaletempo", nullptr), MakeOwned("audioconvert", nullptr),
                  Owned(MakeAudioOutput("Audio Renderer"))};
    FPanorama = FAudioTail[1];
    std::erase(FAudioTail, nullptr);
    FNullRenderer = MakeOwned("fakesink", "Null Renderer");
    if (FNullRenderer) g_object_set(FNullRenderer, "sync", TRUE, nullptr);
    FOrientation = MakeOrientationStage();
    WatchDemuxerChoice(FPipeline, &FDemuxers);
    ThreadDecodersByRate(FPipeline);
    // A file's text subtitles are drawn by the player over the picture, not into it: each cue
    // reaches the bus at its time. It takes no part in preroll, so a subtitle stream that is slow
    // to start never holds up the open.
    FTextRenderer = MakeOwned("fakesink", "Subtitle Renderer");
    if (FTextRenderer) {
        g_object_set(FTextRenderer, "sync", TRUE, "async", FALSE, "signal-handoffs", TRUE, nullptr);
        g_signal_connect(FTextRenderer, "handoff", G_CALLBACK(PostCue), nullptr);
    }
    ++Counts().Pipelines;
    FStale = true;  // composed once its members are in
}

TGraphPipeline::~TGraphPipeline() {
    gst_element_set_state(FPipeline, GST_STATE_NULL);
    WatchRenderer(nullptr);
    for (GstElement* bin : {FVideoFilterBin, FAudioFilterBin, FRendererBin})
        if (bin) EmptyBin(bin);
    gst_object_unref(FPipeline);
    for (GstElement* bin : {FVideoFilterBin, FAudioFilterBin, FRendererBin})
        if (bin) gst_object_unref(bin);
    for (GstElement* element : FAudioTail) gst_object_unref(element);
    if (FNullRenderer) gst_object_unref(FNullRenderer);
    if (FOrientation) gst_object_unref(FOrientation);
    if (FTextRenderer) gst_object_unref(FTextRenderer);
}

void TGraphPipeline::AddFilter(GstElement* filter, const std::string& name) {
    if (!GST_OBJECT_PARENT(filter)) gst_element_set_name(filter, name.c_str());
    TKind kind = TKind::Other;
    const std::string media = SinkMedia(filter);
    if (GST_OBJECT_FLAG_IS_SET(filter, GST_ELEMENT_FLAG_SINK))
        kind = media.rfind("audio/", 0) == 0 ? TKind::Other : TKind::Renderer;
    else if (media.rfind("video/", 0) == 0)
        kind = TKind::VideoFilter;
    else if (media.rfind("audio/", 0) == 0)
        kind = TKind::AudioFilter;
    FPlaced.push_back({filter, kind});
    FStale = true;
}

void TGraphPipeline::Refresh() {
    if (FStale && IsIdle()) Rebuild();
}

void TGraphPipeline::RemoveFilter(GstElement* filter) {
    std::erase_if(FPlaced, [filter](const TPlaced& placed) { return placed.Element == filter; });
    Idle();
    Rebuild();
}

void TGraphPipeline::Idle() {
    if (!IsIdle()) gst_element_set_state(FPipeline, GST_STATE_NULL);
    Rewound();
    if (FStale) Rebuild();
}

void TGraphPipeline::Rewound() {
    FRate = 1.0;
    FStop = -1;
}

bool TGraphPipeline::SetFile(const std::string& path) {
    if (const std::string playlist = BluRayPlaylistUri(path); !playlist.empty()) {
        SetUri(playlist);
        return true;
    }
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    if (!uri) return false;
    SetUri(uri);
    g_free(uri);
    SetSubtitleFile(FindSubtitleFile(path));
    g_object_set(FPipeline, "text-sink", FTextRenderer, nullptr);
    return true;
}

// Other sources (a DVD's menus and subpictures, a Blu-ray's) keep playbin's own overlay, which
// draws their pictures of subtitles into the picture.
void TGraphPipeline::SetUri(const std::string& uri) {
    g_object_set(FPipeline, "uri", uri.c_str(), "text-sink", nullptr, nullptr);
    SetSubtitleFile({});
    FRendered = true;
    FDemuxers.FfmpegFirst = false;
    FDemuxers.FfmpegOffered = false;
}

bool TGraphPipeline::PreferFfmpegDemuxers() {
    return FDemuxers.FfmpegOffered && !FDemuxers.FfmpegFirst.exchange(true);
}

void TGraphPipeline::SetSubtitleFile(const std::string& path) {
    gchar* uri = path.empty() ? nullptr : gst_filename_to_uri(path.c_str(), nullptr);
    const std::string encoding = uri ? SubtitleFileEncoding(path) : std::string();
    g_object_set(FPipeline, "suburi", uri, "subtitle-encoding",
                 encoding.empty() ? nullptr : encoding.c_str(), nullptr);
    g_free(uri);
}

void TGraphPipeline::Disconnect() {
    Idle();
    g_object_set(FPipeline, "uri", nullptr, nullptr);
    SetSubtitleFile({});
    FRendered = false;
}

bool TGraphPipeline::HasStreams() const {
    gint video = 0, audio = 0;
    g_object_get(FPipeline, "n-video", &video, "n-audio", &audio, nullptr);
    return video + audio > 0;
}

void TGraphPipeline::Rebuild() {
    std::vector<GstElement*> video, audio, renderer;
    if (FOrientation) video.push_back(FOrientation);
    for (const TPlaced& placed : FPlaced) {
        if (placed.Kind == TKind::VideoFilter) video.push_back(placed.Element);
        if (placed.Kind == TKind::AudioFilter) audio.push_back(placed.Element);
        if (placed.Kind == TKind::Renderer && renderer.empty()) renderer.push_back(placed.Element);
    }
    audio.insert(audio.end(), FAudioTail.begin(), FAudioTail.end());
    if (renderer.empty() && FNullRenderer) renderer.push_back(FNullRenderer);
    WatchRenderer(nullptr);
    ReplaceChain(FVideoFilterBin, "Video Filters", video, "video-filter");
    const bool audioOutput =
        !audio.empty() && GST_OBJECT_FLAG_IS_SET(audio.back(), GST_ELEMENT_FLAG_SINK);
    ReplaceChain(FAudioFilterBin, "Audio Filters", audio,
                 audioOutput ? "audio-sink" : "audio-filter");
    ReplaceChain(FRendererBin, "Video Renderer", renderer, "video-sink");
    WatchRenderer(renderer.empty() ? nullptr : renderer.front());
    FStale = false;
    ++Counts().Compositions;
}

void TGraphPipeline::ReplaceChain(GstElement*& bin, const char* name,
                                  const std::vector<GstElement*>& chain, const char* property) {
    // Emptied first: an element belongs to one bin at a time.
    if (bin) EmptyBin(bin);
    GstElement* previous = std::exchange(bin, MakeChain(name, chain));
    g_object_set(FPipeline, property, bin, nullptr);
    if (previous) gst_object_unref(previous);
}

// Watches the caps of the upright picture, for the renderer's video-size event: behind the
// orientation stage, as the filters after it may scale the picture to its shown size.
void TGraphPipeline::WatchRenderer(GstElement* renderer) {
    if (FWatchedPad) {
        gst_pad_remove_probe(FWatchedPad, FWatchId);
        gst_object_unref(FWatchedPad);
        FWatchedPad = nullptr;
    }
    if (!renderer) return;
    FWatchedPad = FOrientation ? gst_element_get_static_pad(FOrientation, "src")
                               : gst_element_get_static_pad(renderer, "sink");
    if (FWatchedPad)
        FWatchId = gst_pad_add_probe(FWatchedPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, WatchCaps,
                                     renderer, nullptr);
}

bool TGraphPipeline::IsIdle() const {
    GstState state = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(FPipeline, &state, &pending, 0);
    return state == GST_STATE_NULL && pending == GST_STATE_VOID_PENDING;
}

bool TGraphPipeline::Position(int64_t& position) const {
    gint64 value = 0;
    if (!gst_element_query_position(FPipeline, GST_FORMAT_TIME, &value)) return false;
    position = value / 100;
    return true;
}

bool TGraphPipeline::Duration(int64_t& duration) const {
    gint64 value = 0;
    if (!gst_element_query_duration(FPipeline, GST_FORMAT_TIME, &value) || value < 0) return false;
    duration = value / 100;
    return true;
}

bool TGraphPipeline::StopPosition(int64_t& stop) const {
    if (FStop < 0) return Duration(stop);
    stop = FStop;
    return true;
}

bool TGraphPipeline::Seek(int64_t current, int64_t stop) {
    const bool done = gst_element_seek(
        FPipeline, FRate, GST_FORMAT_TIME,
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
        std::max<int64_t>(current, 0) * 100, stop < 0 ? GST_SEEK_TYPE_NONE : GST_SEEK_TYPE_SET,
        stop < 0 ? -1 : stop * 100);
    if (done && stop >= 0) FStop = stop;
    return done;
}

bool TGraphPipeline::SetRate(double rate) {
    if (rate == FRate) return true;
    if (rate == 0 || !std::isfinite(rate)) return false;
    // Right after another flushing seek the position may not be known yet: the new rate
    // then starts where the stream is.
    gint64 position = -1;
    const bool known = gst_element_query_position(FPipeline, GST_FORMAT_TIME, &position);
    const GstSeekType here = known ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE;
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    // Backwards play runs from the current position down to the start.
    const bool done = rate > 0 ? gst_element_seek(FPipeline, rate, GST_FORMAT_TIME, flags, here,
                                                  position, GST_SEEK_TYPE_NONE, -1)
                               : gst_element_seek(FPipeline, rate, GST_FORMAT_TIME, flags,
                                                  GST_SEEK_TYPE_SET, 0, here, position);
    if (done) FRate = rate;
    return done;
}

void TGraphPipeline::SetVolume(int32_t volume) {
    FVolume = volume;
    g_object_set(FPipeline, "volume", volume <= -10000 ? 0.0 : std::pow(10.0, volume / 2000.0),
                 nullptr);
}

void TGraphPipeline::SetBalance(int32_t balance) {
    FBalance = balance;
    if (FPanorama)
        g_object_set(FPanorama, "panorama", static_cast<float>(balance / 10000.0), nullptr);
}

bool TGraphPipeline::VideoSize(int& width, int& height) const {
    if (!FWatchedPad) return false;
    GstCaps* caps = gst_pad_get_current_caps(FWatchedPad);
    if (!caps) return false;
    const GstStructure* format = gst_caps_get_structure(caps, 0);
    const bool known = gst_structure_get_int(format, "width", &width) &&
                       gst_structure_get_int(format, "height", &height);
    gst_caps_unref(caps);
    return known;
}

bool TGraphPipeline::FrameRate(double& rate) const {
    if (!FWatchedPad) return false;
    GstCaps* caps = gst_pad_get_current_caps(FWatchedPad);
    if (!caps) return false;
    int numerator = 0, denominator = 1;
    const bool known = gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate",
                                                  &numerator, &denominator) &&
                       numerator > 0 && denominator > 0;
    gst_caps_unref(caps);
    if (known) rate = static_cast<double>(numerator) / denominator;
    return known;
}

bool TGraphPipeline::Playing() const {
    GstState state = GST_STATE_NULL;
    gst_element_get_state(FPipeline, &state, nullptr, 0);
    return state == GST_STATE_PLAYING;
}

bool TGraphPipeline::SendNavigation(GstEvent* event) {
    if (!FWatchedPad) {
        gst_event_unref(event);
        return false;
    }
    // Behind the orientation stage the event enters as from downstream, where the picture is
    // still its decoded, upright size; from the renderer's own input it goes upstream.
    return GST_PAD_IS_SRC(FWatchedPad) ? gst_pad_send_event(FWatchedPad, event)
                                       : gst_pad_push_event(FWatchedPad, event);
}

bool TGraphPipeline::FormatPosition(const char* nick, int64_t& value) const {
    const GstFormat format = gst_format_get_by_nick(nick);
    gint64 position = 0;
    if (format == GST_FORMAT_UNDEFINED || !gst_element_query_position(FPipeline, format, &position))
        return false;
    value = position;
    return true;
}

bool TGraphPipeline::SeekFormat(const char* nick, int64_t value) {
    const GstFormat format = gst_format_get_by_nick(nick);
    return format != GST_FORMAT_UNDEFINED &&
           gst_element_seek_simple(
               FPipeline, format,
               static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), value);
}

std::vector<std::string> TGraphPipeline::TrackNames(bool text) const {
    gint count = 0;
    g_object_get(FPipeline, text ? "n-text" : "n-audio", &count, nullptr);
    std::vector<std::string> names;
    for (gint index = 0; index < count; ++index) {
        GstTagList* tags = nullptr;
        g_signal_emit_by_name(FPipeline, text ? "get-text-tags" : "get-audio-tags", index, &tags);
        names.push_back(TrackName(tags, index));
        if (tags) gst_tag_list_unref(tags);
    }
    return names;
}

int TGraphPipeline::CurrentTrack(bool text) const {
    gint current = -1;
    g_object_get(FPipeline, text ? "current-text" : "current-audio", &current, nullptr);
    return current;
}

void TGraphPipeline::SetCurrentTrack(bool text, int index) {
    g_object_set(FPipeline, text ? "current-text" : "current-audio", index, nullptr);
}

std::vector<std::string> TGraphPipeline::FilterNames() const {
    std::vector<std::string> names;
    ListNames(GST_BIN(FPipeline), names);
    // Until the pipeline first leaves NULL the chains are in none of playbin's bins.
    for (GstElement* bin : {FVideoFilterBin, FAudioFilterBin, FRendererBin}) {
        if (!bin || GST_OBJECT_PARENT(bin)) continue;
        names.emplace_back(GST_OBJECT_NAME(bin));
        ListNames(GST_BIN(bin), names);
    }
    return names;
}

void TGraphPipeline::ListNames(GstBin* bin, std::vector<std::string>& names) const {
    std::vector<GstElement*> children;
    GST_OBJECT_LOCK(bin);
    for (GList* item = GST_BIN_CHILDREN(bin); item; item = item->next)
        children.insert(children.begin(), GST_ELEMENT(gst_object_ref(item->data)));
    GST_OBJECT_UNLOCK(bin);
    for (GstElement* child : children) {
        gchar* name = gst_element_get_name(child);
        names.emplace_back(name);
        g_free(name);
        const bool member = std::any_of(FPlaced.begin(), FPlaced.end(),
                                        [child](const TPlaced& p) { return p.Element == child; });
        if (GST_IS_BIN(child) && !member) ListNames(GST_BIN(child), names);
        gst_object_unref(child);
    }
}
