#include "filters/TransformMain.h"

#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>

#include "filters/BrightnessSettings.h"
#include "platform/DebugOutput.h"

// Constant-initialised, so other units may use them during their own static initialisation.
const CLSID CLSID_BrightnessFilter{
    0x440352CD, 0x2644, 0x44F8, {0x97, 0x8B, 0xC6, 0x7C, 0x84, 0x04, 0x29, 0xD8}};
const CLSID CLSID_BrightnessPage{
    0x55FC213A, 0x4FF3, 0x4FAD, {0xAA, 0xB7, 0xB4, 0xA9, 0x5F, 0x44, 0xDD, 0x34}};
const CLSID CLSID_LegacyAmFilterCategory{
    0x083863F1, 0x70DE, 0x11D0, {0xBD, 0x40, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
const IID IID_IZorozuDeveduControl{
    0xEA6589CF, 0x961F, 0x4701, {0xAA, 0x53, 0xF0, 0x45, 0x64, 0x9C, 0x7C, 0x19}};

std::atomic<bool> BrightnessEnabled{true};
std::atomic<bool> InvertEnabled{false};
std::atomic<bool> BrightnessOffMark{false};

namespace {

std::atomic<int32_t> FilterInstanceCounter{0};

std::mutex& ConnectionStatusLock() {
    static std::mutex lock;
    return lock;
}
std::string& ConnectionStatusText() {
    static std::string text;
    return text;
}

void SetConnectionStatus(std::string text) {
    std::lock_guard guard(ConnectionStatusLock());
    ConnectionStatusText() = std::move(text);
}

// Runs one operation; an exception leaves it with its fixed debug text and the given status.
template <class Body>
HRESULT Guarded(const char* operation, HRESULT failure, Body&& body) {
    try {
        return body();
    } catch (...) {
        OutputDebugString(std::string("dov: Error in TBrightnessControlFilter.") + operation +
                          " call...");
        return failure;
    }
}

// A buffer mapped for the length of one frame.
class TMappedBuffer {
  public:
    TMappedBuffer(GstBuffer* buffer, GstMapFlags flags) : FBuffer(buffer) {
        if (!gst_buffer_map(buffer, &FInfo, flags)) throw std::runtime_error("buffer not mapped");
    }
    ~TMappedBuffer() { gst_buffer_unmap(FBuffer, &FInfo); }
    TMappedBuffer(const TMappedBuffer&) = delete;
    TMappedBuffer& operator=(const TMappedBuffer&) = delete;
    uint8_t* Data() const { return FInfo.data; }
    size_t Size() const { return FInfo.size; }

  private:
    GstBuffer* FBuffer;
    GstMapInfo FInfo;
};

// The type checks' "video in a video-info format": raw video, fixed, in system memory.
bool IsRawVideo(const GstCaps* caps) {
    if (!caps || !gst_caps_is_fixed(caps)) return false;
    const GstCapsFeatures* features = gst_caps_get_features(caps, 0);
    if (features && !gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY))
        return false;
    return gst_structure_has_name(gst_caps_get_structure(caps, 0), "video/x-raw");
}

}  // namespace

std::string ConnectionStatus() {
    std::lock_guard guard(ConnectionStatusLock());
    return ConnectionStatusText();
}

void ClearConnectionStatus() {
    SetConnectionStatus({});
}

// ---- TBrightnessControlFilter

TBrightnessControlFilter::TBrightnessControlFilter() noexcept
    : FInstanceNumber(++FilterInstanceCounter), FHasPackedBytes(ProbePackedBytes()) {}

std::string TBrightnessControlFilter::ObjectName() const {
    return kBrightnessFilterName + std::to_string(FInstanceNumber);
}

void TBrightnessControlFilter::UsePackedBytes(TPackedBytes width) {
    FHasPackedBytes = std::min(width, ProbePackedBytes());
}

HRESULT TBrightnessControlFilter::GetBrightness(int32_t& value) {
    return Guarded("GetBrightness", E_FAIL, [&] {
        std::lock_guard guard(FLock);
        value = FBrightness;
        return S_OK;
    });
}

HRESULT TBrightnessControlFilter::SetBrightness(int32_t value) {
    return Guarded("SetBrightness", E_FAIL, [&] {
        std::lock_guard guard(FLock);
        FBrightness = std::clamp(value, -255, 255);
        return S_OK;
    });
}

HRESULT TBrightnessControlFilter::PinBrightness(int32_t value) {
    const HRESULT status = SetBrightness(value);
    std::lock_guard guard(FLock);
    FBrightnessPinned = true;
    return status;
}

HRESULT TBrightnessControlFilter::GetContrast(int16_t& value) {
    std::lock_guard guard(FLock);
    value = FContrastFactor;
    return S_OK;
}

HRESULT TBrightnessControlFilter::SetContrast(int16_t value) {
    std::lock_guard guard(FLock);
    FContrastFactor = value;
    return S_OK;
}

HRESULT TBrightnessControlFilter::SetBrightnessEnabled(bool enabled) {
    BrightnessEnabled = enabled;
    return S_OK;
}

HRESULT TBrightnessControlFilter::SetInvert(bool invert) {
    InvertEnabled = invert;
    return S_OK;
}

HRESULT TBrightnessControlFilter::MarkBrightnessOff() {
    BrightnessOffMark = true;
    return S_OK;
}

HRESULT TBrightnessControlFilter::GetPages(std::vector<CLSID>& pages) {
    return Guarded("GetPages", E_FAIL, [&] {
        try {
            pages.assign(1, CLSID_BrightnessPage);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    });
}

HRESULT TBrightnessControlFilter::GetClassID(CLSID& id) const {
    id = CLSID_BrightnessFilter;
    return S_OK;
}

HRESULT TBrightnessControlFilter::CheckInputType(const GstCaps* caps) const {
    GstVideoInfo info;
    if (!IsRawVideo(caps) || !gst_video_info_from_caps(&info, caps)) return E_FAIL;
    return GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGRx ? S_OK : E_FAIL;
}

HRESULT TBrightnessControlFilter::CheckTransform(const GstCaps* input,
                                                 const GstCaps* output) const {
    const HRESULT status = CheckInputType(input);
    if (FAILED(status)) return status;
    return Guarded("CheckTransform", E_FAIL, [&] {
        if (!IsRawVideo(output)) return E_INVALIDARG;
        GstVideoInfo in, out;
        gst_video_info_from_caps(&in, input);
        if (!gst_video_info_from_caps(&out, output))
            throw std::invalid_argument("output type without a frame description");
        const bool same = in.width == out.width && in.height == out.height &&
                          GST_VIDEO_INFO_FORMAT(&in) == GST_VIDEO_INFO_FORMAT(&out) &&
                          in.size == out.size;
        return same ? S_OK : E_INVALIDARG;
    });
}

TPixelSettings TBrightnessControlFilter::FrameSettings() {
    TPixelSettings settings;
    settings.Invert = InvertEnabled;
    std::lock_guard guard(FLock);
    if (!settings.Invert && BrightnessEnabled) settings.Brightness = FBrightness;
    settings.ContrastFactor = FContrastFactor;
    return settings;
}

HRESULT TBrightnessControlFilter::Transform(GstBuffer* input, GstBuffer* output) {
    return Guarded("Transform", E_FAIL, [&] { return CopyMediaSample(input, output); });
}

HRESULT TBrightnessControlFilter::CopyMediaSample(GstBuffer* input, GstBuffer* output) {
    const auto carried =
        static_cast<GstBufferCopyFlags>(GST_BUFFER_COPY_FLAGS | GST_BUFFER_COPY_TIMESTAMPS);
    if (!gst_buffer_copy_into(output, input, carried, 0, -1))
        throw std::runtime_error("sample properties not carried over");
    return Guarded("CopyMediaSample", E_FAIL, [&] {
        TMappedBuffer source(input, GST_MAP_READ);
        if (source.Size() == 0) return S_OK;
        TMappedBuffer target(output, GST_MAP_WRITE);
        // Never write past the output, whatever size the input came with.
        if (target.Size() < source.Size()) throw std::length_error("output smaller than input");
        RunPixelPasses(source.Data(), target.Data(), source.Size(), FrameSettings(),
                       FHasPackedBytes);
        return S_OK;
    });
}

HRESULT TBrightnessControlFilter::CompleteConnect() {
    return Guarded("CompleteConnect", E_FAIL, [&] {
        bool pinned = false;
        {
            std::lock_guard guard(FLock);
            pinned = FBrightnessPinned;
        }
        if (!pinned) SetBrightness(ReadBrightnessSetting());
        SetConnectionStatus("Connected");
        return S_OK;
    });
}

// ---- The GStreamer element around the filter

namespace {

struct GstVexloBrightness {
    GstBaseTransform parent;
    TBrightnessControlFilter filter;  // built in place at instance init, destroyed at finalize
};
struct GstVexloBrightnessClass {
    GstBaseTransformClass parent_class;
};

constexpr const char* kElementTypeName = "GstVexloBrightness";
enum { PROP_0, PROP_BRIGHTNESS, PROP_CONTRAST, PROP_INVERT, PROP_ENABLED };

GstStaticPadTemplate gSinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("BGRx")));
GstStaticPadTemplate gSourceTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("BGRx")));

GType gElementType = 0;
gpointer gParentClass = nullptr;

TBrightnessControlFilter& FilterOf(gpointer object) {
    return reinterpret_cast<GstVexloBrightness*>(object)->filter;
}

void PadLinked(GstPad*, GstPad*, gpointer self) {
    FilterOf(self).CompleteConnect();
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    new (&FilterOf(instance)) TBrightnessControlFilter();
    auto* transform = reinterpret_cast<GstBaseTransform*>(instance);
    g_signal_connect(transform->sinkpad, "linked", G_CALLBACK(PadLinked), instance);
    g_signal_connect(transform->srcpad, "linked", G_CALLBACK(PadLinked), instance);
}

void Finalize(GObject* object) {
    FilterOf(object).~TBrightnessControlFilter();
    G_OBJECT_CLASS(gParentClass)->finalize(object);
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* property) {
    TBrightnessControlFilter& filter = FilterOf(object);
    switch (id) {
        case PROP_BRIGHTNESS:
            filter.PinBrightness(g_value_get_int(value));
            break;
        case PROP_CONTRAST:
            filter.SetContrast(static_cast<int16_t>(g_value_get_int(value)));
            break;
        case PROP_INVERT:
            filter.SetInvert(g_value_get_boolean(value));
            break;
        case PROP_ENABLED:
            filter.SetBrightnessEnabled(g_value_get_boolean(value));
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property);
    }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* property) {
    TBrightnessControlFilter& filter = FilterOf(object);
    int32_t brightness = 0;
    int16_t contrast = 64;
    switch (id) {
        case PROP_BRIGHTNESS:
            filter.GetBrightness(brightness);
            g_value_set_int(value, brightness);
            break;
        case PROP_CONTRAST:
            filter.GetContrast(contrast);
            g_value_set_int(value, contrast);
            break;
        case PROP_INVERT:
            g_value_set_boolean(value, InvertEnabled);
            break;
        case PROP_ENABLED:
            g_value_set_boolean(value, BrightnessEnabled);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property);
    }
}

gboolean SetCaps(GstBaseTransform* transform, GstCaps* input, GstCaps* output) {
    return SUCCEEDED(FilterOf(transform).CheckTransform(input, output));
}

GstFlowReturn TransformFrame(GstBaseTransform* transform, GstBuffer* input, GstBuffer* output) {
    if (SUCCEEDED(FilterOf(transform).Transform(input, output))) return GST_FLOW_OK;
    GST_ELEMENT_ERROR(transform, STREAM, FAILED, ("Could not process a video frame."), (nullptr));
    return GST_FLOW_ERROR;
}

void InstallProperties(GObjectClass* objectClass) {
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        objectClass, PROP_BRIGHTNESS,
        g_param_spec_int("brightness", "Brightness", "Added to (subtracted from) every byte", -255,
                         255, 0, flags));
    g_object_class_install_property(
        objectClass, PROP_CONTRAST,
        g_param_spec_int("contrast", "Contrast", "Gain around 128 in 1/64 units, 64 = unchanged",
                         G_MININT16, G_MAXINT16, 64, flags));
    g_object_class_install_property(
        objectClass, PROP_INVERT,
        g_param_spec_boolean("invert", "Invert",
                             "Invert every byte instead of the brightness (every filter of the "
                             "process)",
                             FALSE, flags));
    g_object_class_install_property(
        objectClass, PROP_ENABLED,
        g_param_spec_boolean("enabled", "Enabled",
                             "Apply the brightness (every filter of the process)", TRUE, flags));
}

void ClassInit(gpointer klass, gpointer) {
    gParentClass = g_type_class_peek_parent(klass);
    auto* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = SetProperty;
    objectClass->get_property = GetProperty;
    objectClass->finalize = Finalize;
    InstallProperties(objectClass);
    auto* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        elementClass, kBrightnessFilterName, "Filter/Effect/Video",
        "Brightness, invert and contrast of 32-bit RGB video", "Vexlo Player");
    gst_element_class_add_static_pad_template(elementClass, &gSinkTemplate);
    gst_element_class_add_static_pad_template(elementClass, &gSourceTemplate);
    auto* transformClass = GST_BASE_TRANSFORM_CLASS(klass);
    transformClass->set_caps = SetCaps;
    transformClass->transform = TransformFrame;
}

// One type per process: the in-process registration and the loadable plugin share it.
GType ElementType() {
    static std::once_flag once;
    std::call_once(once, [] {
        gElementType = g_type_from_name(kElementTypeName);
        if (gElementType) return;
        GTypeInfo info{};
        info.class_size = sizeof(GstVexloBrightnessClass);
        info.class_init = ClassInit;
        info.instance_size = sizeof(GstVexloBrightness);
        info.instance_init = InstanceInit;
        gElementType = g_type_register_static(GST_TYPE_BASE_TRANSFORM, kElementTypeName, &info,
                                              static_cast<GTypeFlags>(0));
    });
    return gElementType;
}

GstElement* CreateFromFactory() {
    GstElement* element = nullptr;
    Guarded("CreateFromFactory", E_FAIL, [&] {
        element = gst_element_factory_make(kBrightnessElementName, nullptr);
        if (element)
            gst_object_set_name(GST_OBJECT(element), FilterOf(element).ObjectName().c_str());
        return S_OK;
    });
    return element;
}

}  // namespace

TBrightnessControlFilter* BrightnessControlFilter(GstElement* element) {
    if (!element || !gElementType || !G_TYPE_CHECK_INSTANCE_TYPE(element, gElementType))
        return nullptr;
    return &FilterOf(element);
}

IZorozuDeveduControl* QueryZorozuDeveduControl(GstElement* element) {
    return BrightnessControlFilter(element);
}

ISpecifyPropertyPages* QuerySpecifyPropertyPages(GstElement* element) {
    return BrightnessControlFilter(element);
}

std::string BrightnessPinName(GstPad* pad) {
    GstElement* element = GST_ELEMENT_CAST(GST_PAD_PARENT(pad));
    if (BrightnessControlFilter(element)) {
        auto* transform = reinterpret_cast<GstBaseTransform*>(element);
        if (pad == transform->sinkpad) return kInputPinName;
        if (pad == transform->srcpad) return kOutputPinName;
    }
    gchar* name = gst_pad_get_name(pad);
    std::string text = name ? name : "";
    g_free(name);
    return text;
}

gboolean BrightnessPluginInit(GstPlugin* plugin) {
    return gst_element_register(plugin, kBrightnessElementName, GST_RANK_NONE, ElementType());
}

void RegisterBrightnessFilter() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized()) gst_init(nullptr, nullptr);
        gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, kBrightnessElementName,
                                   "Vexlo Player's brightness, invert and contrast filter",
                                   BrightnessPluginInit, VEXLO_VERSION, GST_LICENSE_UNKNOWN,
                                   "vexlo", "Vexlo Player", "Vexlo Player");
        RegisterClassFactory(
            {CLSID_BrightnessFilter, kBrightnessFilterName, CreateFromFactory, {}});
    });
}
