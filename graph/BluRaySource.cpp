#include "graph/BluRaySource.h"

#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "graph/BluRayPlaylist.h"
#include "graph/BluRayTimeline.h"
#include "pattern/Pattern.h"

namespace {

constexpr const char* kBluRayRule = "(?i).mpls$";
constexpr const char* kScheme = "vexlo-bluray";
constexpr const char* kElementName = "vexlobluraysrc";
// Units per buffer: 192 KB, about 30 ms at a disc's highest rate.
constexpr size_t kUnitsPerBuffer = 32;

// What the element keeps from start to stop. Reads and seeks run under the stream lock, so
// never at once; queries from other threads take the object lock, as start and stop do when
// they set the pointer.
struct TReading {
    explicit TReading(const std::string& location) : Location(location), Playlist(location) {}
    const std::string Location;
    TBluRayPlaylist Playlist;
    std::vector<uint8_t> Pending;  // a unit of the next clip, read ahead
    size_t PendingClip = 0;
    size_t Clip = 0;
    bool AtStart = true;
};

struct TBluRaySrc {
    GstPushSrc Parent;
    std::string* Location;  // set through the URI, under the object lock
    TReading* Reading;
};

struct TBluRaySrcClass {
    GstPushSrcClass ParentClass;
};

GType gSourceType = 0;
GstPushSrcClass* gParentClass = nullptr;

TBluRaySrc* Source(gpointer object) {
    return reinterpret_cast<TBluRaySrc*>(object);
}

// ---- The URI handler ----

GstURIType UriType(GType) {
    return GST_URI_SRC;
}

const gchar* const* UriProtocols(GType) {
    static const gchar* const protocols[] = {kScheme, nullptr};
    return protocols;
}

gchar* GetUri(GstURIHandler* handler) {
    TBluRaySrc* self = Source(handler);
    GST_OBJECT_LOCK(self);
    const std::string location = *self->Location;
    GST_OBJECT_UNLOCK(self);
    return location.empty() ? nullptr : g_strdup(BluRayPlaylistUri(location).c_str());
}

gboolean SetUri(GstURIHandler* handler, const gchar* uri, GError** error) {
    TBluRaySrc* self = Source(handler);
    gchar* location = gst_uri_get_location(uri);
    if (!location) {
        g_set_error(error, GST_URI_ERROR, GST_URI_ERROR_BAD_URI, "Not a Blu-ray playlist: %s", uri);
        return FALSE;
    }
    GST_OBJECT_LOCK(self);
    *self->Location = location;
    GST_OBJECT_UNLOCK(self);
    g_free(location);
    return TRUE;
}

void UriHandlerInit(gpointer iface, gpointer) {
    auto* handler = static_cast<GstURIHandlerInterface*>(iface);
    handler->get_type = UriType;
    handler->get_protocols = UriProtocols;
    handler->get_uri = GetUri;
    handler->set_uri = SetUri;
}

// ---- Start and stop ----

// The fault as a pipeline error, in the domain the graph maps onto its status codes.
void PostFault(TBluRaySrc* self, TBluRayFault fault, const std::string& location) {
    const std::string text = BluRayFaultText(fault);
    const std::string debug = "playlist " + location;
    if (fault == TBluRayFault::Encrypted)
        GST_ELEMENT_ERROR(self, STREAM, DECRYPT_NOKEY, ("%s", text.c_str()), ("%s", debug.c_str()));
    else if (fault == TBluRayFault::NotADisc || fault == TBluRayFault::MissingClip)
        GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("%s", text.c_str()), ("%s", debug.c_str()));
    else
        GST_ELEMENT_ERROR(self, STREAM, FORMAT, ("%s", text.c_str()), ("%s", debug.c_str()));
}

gboolean Stop(GstBaseSrc* base) {
    TBluRaySrc* self = Source(base);
    GST_OBJECT_LOCK(self);
    TReading* reading = std::exchange(self->Reading, nullptr);
    GST_OBJECT_UNLOCK(self);
    delete reading;
    return TRUE;
}

gboolean Start(GstBaseSrc* base) {
    TBluRaySrc* self = Source(base);
    GST_OBJECT_LOCK(self);
    const std::string location = *self->Location;
    GST_OBJECT_UNLOCK(self);
    Stop(base);
    auto reading = std::make_unique<TReading>(location);
    if (const TBluRayFault fault = reading->Playlist.Fault(); fault != TBluRayFault::None) {
        PostFault(self, fault, location);
        return FALSE;
    }
    GST_OBJECT_LOCK(self);
    self->Reading = reading.release();
    GST_OBJECT_UNLOCK(self);
    return TRUE;
}

// ---- Time ----

// Queries come from any thread, while a state change may start or stop the reading.
gboolean IsSeekable(GstBaseSrc* base) {
    TBluRaySrc* self = Source(base);
    GST_OBJECT_LOCK(self);
    const bool seekable = self->Reading && self->Reading->Playlist.Seekable();
    GST_OBJECT_UNLOCK(self);
    return seekable;
}

// The title reads forwards only: a backward rate is refused before anything is flushed.
gboolean Event(GstBaseSrc* base, GstEvent* event) {
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEEK) {
        gdouble rate = 1.0;
        gst_event_parse_seek(event, &rate, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (rate < 0) return FALSE;
    }
    return GST_BASE_SRC_CLASS(gParentClass)->event(base, event);
}

gboolean DoSeek(GstBaseSrc* base, GstSegment* segment) {
    TReading* reading = Source(base)->Reading;
    if (!reading || segment->format != GST_FORMAT_TIME) return FALSE;
    const uint64_t time = segment->start;
    if (time == 0 && reading->AtStart) return TRUE;
    uint64_t landed = 0;
    size_t clip = 0;
    if (!reading->Playlist.SeekTime(time, landed, clip)) return FALSE;
    reading->Pending.clear();
    reading->Clip = clip;
    reading->AtStart = landed == 0;
    // The demuxer takes the first data after a seek for the segment's start: the entry point.
    segment->start = segment->time = segment->position = landed;
    return TRUE;
}

gboolean Query(GstBaseSrc* base, GstQuery* query) {
    TBluRaySrc* self = Source(base);
    GstFormat format = GST_FORMAT_UNDEFINED;
    if (GST_QUERY_TYPE(query) == GST_QUERY_DURATION)
        gst_query_parse_duration(query, &format, nullptr);
    if (format == GST_FORMAT_TIME) {
        GST_OBJECT_LOCK(self);
        const gint64 duration =
            self->Reading ? static_cast<gint64>(self->Reading->Playlist.Duration()) : -1;
        GST_OBJECT_UNLOCK(self);
        if (duration >= 0) {
            gst_query_set_duration(query, GST_FORMAT_TIME, duration);
            return TRUE;
        }
    }
    return GST_BASE_SRC_CLASS(gParentClass)->query(base, query);
}

// ---- Reading ----

// Fills the buffer with whole units of one clip, its time stamps moved onto the title's
// timeline; a unit of the next clip waits for the next buffer. The number of bytes, or -1 on
// a read error.
long FillUnits(TReading& reading, uint8_t* data, size_t capacity) {
    size_t filled = 0;
    if (!reading.Pending.empty()) {
        std::memcpy(data, reading.Pending.data(), reading.Pending.size());
        filled = reading.Pending.size();
        reading.Pending.clear();
        reading.Clip = reading.PendingClip;
    }
    while (filled + TBluRayPlaylist::kUnitSize <= capacity) {
        size_t clip = reading.Clip;
        const int read = reading.Playlist.ReadUnit(data + filled, clip);
        if (read < 0) return -1;
        if (read == 0) break;
        if (clip != reading.Clip && filled > 0) {
            reading.Pending.assign(data + filled, data + filled + read);
            reading.PendingClip = clip;
            break;
        }
        reading.Clip = clip;
        filled += static_cast<size_t>(read);
    }
    ShiftTransportTimes(data, filled, reading.Playlist.ClipShift(reading.Clip));
    return static_cast<long>(filled);
}

GstFlowReturn Create(GstPushSrc* base, GstBuffer** out) {
    TBluRaySrc* self = Source(base);
    TReading* reading = self->Reading;
    if (!reading) return GST_FLOW_FLUSHING;
    GstBuffer* buffer =
        gst_buffer_new_allocate(nullptr, kUnitsPerBuffer * TBluRayPlaylist::kUnitSize, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    const long filled = FillUnits(*reading, map.data, map.size);
    gst_buffer_unmap(buffer, &map);
    if (filled <= 0) {
        gst_buffer_unref(buffer);
        if (filled == 0) return GST_FLOW_EOS;
        GST_ELEMENT_ERROR(self, RESOURCE, READ, ("A clip of the Blu-ray playlist cannot be read."),
                          ("playlist %s", reading->Location.c_str()));
        return GST_FLOW_ERROR;
    }
    gst_buffer_set_size(buffer, filled);
    reading->AtStart = false;
    *out = buffer;
    return GST_FLOW_OK;
}

// ---- The type ----

void Finalize(GObject* object) {
    TBluRaySrc* self = Source(object);
    delete self->Reading;
    delete self->Location;
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    TBluRaySrc* self = Source(instance);
    self->Location = new std::string;
    self->Reading = nullptr;
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

void ClassInit(gpointer klass, gpointer) {
    gParentClass = static_cast<GstPushSrcClass*>(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    auto* element = GST_ELEMENT_CLASS(klass);
    static GstStaticPadTemplate src = GST_STATIC_PAD_TEMPLATE(
        "src", GST_PAD_SRC, GST_PAD_ALWAYS,
        GST_STATIC_CAPS("video/mpegts, systemstream=(boolean)true, packetsize=(int)192"));
    gst_element_class_add_static_pad_template(element, &src);
    gst_element_class_set_static_metadata(element, "Vexlo Blu-ray playlist source", "Source/File",
                                          "Reads the title of a Blu-ray playlist", "Vexlo Player");
    auto* base = GST_BASE_SRC_CLASS(klass);
    base->start = Start;
    base->stop = Stop;
    base->is_seekable = IsSeekable;
    base->event = Event;
    base->do_seek = DoSeek;
    base->query = Query;
    GST_PUSH_SRC_CLASS(klass)->create = Create;
}

GType SourceType() {
    if (gSourceType) return gSourceType;
    GTypeInfo info{};
    info.class_size = sizeof(TBluRaySrcClass);
    info.class_init = ClassInit;
    info.instance_size = sizeof(TBluRaySrc);
    info.instance_init = InstanceInit;
    gSourceType = g_type_register_static(GST_TYPE_PUSH_SRC, "TVexloBluRaySrc", &info,
                                         static_cast<GTypeFlags>(0));
    static const GInterfaceInfo handler = {UriHandlerInit, nullptr, nullptr};
    g_type_add_interface_static(gSourceType, GST_TYPE_URI_HANDLER, &handler);
    return gSourceType;
}

gboolean PluginInit(GstPlugin* plugin) {
    return gst_element_register(plugin, kElementName, GST_RANK_PRIMARY, SourceType());
}

void RegisterSource() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized()) gst_init(nullptr, nullptr);
        gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, kElementName,
                                   "Vexlo Player's Blu-ray playlist source", PluginInit,
                                   VEXLO_VERSION, GST_LICENSE_UNKNOWN, "vexlo", "Vexlo Player",
                                   "Vexlo Player");
    });
}

}  // namespace

bool IsBluRayPlaylistPath(const std::string& path) {
    return MatchesPattern(kBluRayRule, path);
}

std::string BluRayPlaylistUri(const std::string& path) {
    if (!IsBluRayPlaylistPath(path)) return {};
    RegisterSource();
    gchar* fileUri = gst_filename_to_uri(path.c_str(), nullptr);
    if (!fileUri) return {};
    std::string uri = fileUri;
    g_free(fileUri);
    // "file:///..." becomes "vexlo-bluray:///...", with the path escaped as for a file.
    return kScheme + uri.substr(uri.find(':'));
}
