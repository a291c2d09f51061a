#include "graph/ExternalFilters.h"

#include <gst/gst.h>

#include <QObject>
#include <QPointer>
#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "graph/ShownSize.h"
#include "platform/RegistryStore.h"

const CLSID CLSID_ffdshowVideoDecoder = StringToGUID("{04FE9017-F873-410E-871E-AB91661A4EF7}");
const CLSID CLSID_ffdshowRawVideoFilter = StringToGUID("{0B390488-D80F-4A68-8408-48DC199F0E97}");
const CLSID CLSID_ffdshowAudioProcessor = StringToGUID("{B86F6BEE-E7C0-4D03-8D52-5B4430CF6C88}");
const CLSID CLSID_GraphicEqualizer = StringToGUID("{E4DCD60C-F449-4C78-895B-1FE9F85C7EDD}");
const CLSID CLSID_ClvsdVideoDecoder = StringToGUID("{516F1EFA-42F4-436E-801C-B752EB9343EB}");
const CLSID CLSID_EnhancedVideoRenderer = StringToGUID("{FA10746C-9B63-4B6C-BC49-FC300EA5F256}");
const IID IID_IffDecoder = StringToGUID("{00F99063-70D5-4BCC-9D88-3801F3E3881B}");
const CLSID CLSID_GraphicEqualizerPage = StringToGUID("{9C1D5A30-7E2B-4F61-A0C4-3B8E52D17F06}");

namespace {

constexpr const char* kFfdshowKey = "Software\\GNU\\ffdshow\\default";
constexpr const char* kFfdshowRawKey = "Software\\GNU\\ffdshow_raw\\default";
constexpr const char* kEqualizerKey = "SOFTWARE\\DSP-worx\\DC-ParamEQ Filter";
const std::vector<std::string> kPictureElements = {"videoconvertscale", "videobalance",
                                                   "gaussianblur", "videoconvert"};
const std::vector<std::string> kEqualizerElements = {"audioconvert", "equalizer-10bands"};

}  // namespace

const std::vector<TExternalFilter>& ExternalFilters() {
    static const std::vector<TExternalFilter> filters = {
        {CLSID_ffdshowVideoDecoder, "ffdshow Video Decoder", "", kFfdshowKey, kPictureElements,
         true},
        {CLSID_ffdshowRawVideoFilter, "ffdshow raw video filter", "", kFfdshowRawKey,
         kPictureElements, true},
        {CLSID_ffdshowAudioProcessor, "ffdshow Audio Processor", "", "", {"audioconvert"}, true},
        {CLSID_GraphicEqualizer, "DC-GraphicEQ", "DCGraphicEQ.ax", kEqualizerKey,
         kEqualizerElements, true},
        // The DVD's MPEG-2 pictures are decoded by GStreamer's own choice of decoder.
        {CLSID_ClvsdVideoDecoder, "CLVSD Video Decoder", "CLVSD.ax", "", {"avdec_mpeg2video"}},
        // The EVR window makes its renderer from the element directly.
        {CLSID_EnhancedVideoRenderer, "Enhanced Video Renderer", "evr.dll", "", {"glimagesink"}},
    };
    return filters;
}

const TExternalFilter* FindExternalFilter(const CLSID& classId) {
    const auto& filters = ExternalFilters();
    const auto found = std::find_if(filters.begin(), filters.end(),
                                    [&](const TExternalFilter& f) { return f.ClassId == classId; });
    return found == filters.end() ? nullptr : &*found;
}

namespace {

// A stored switch of an external filter's settings; on when the value is missing.
bool SettingOn(const char* key, const char* name) {
    return RegistryStore().Dword(HKEY_CURRENT_USER, key, name).value_or(1) != 0;
}

TFilterDialogs& Dialogs() {
    static TFilterDialogs dialogs;
    return dialogs;
}

constexpr TPictureSetting kPictureSettings[] = {
    {IDFF_contrast, "Contrast", 56, 200, 128, IDFF_filterPictProp},
    {IDFF_brightness, "Brightness", -100, 100, 0, IDFF_filterPictProp},
    {IDFF_hue, "Hue", -180, 180, 0, IDFF_filterPictProp},
    {IDFF_saturation, "Saturation", 0, 128, 64, IDFF_filterPictProp},
    {IDFF_sharpness, "Sharpness", 0, 126, 20, IDFF_filterSharpen},
};

const TPictureSetting* FindSetting(unsigned id) {
    for (const TPictureSetting& setting : kPictureSettings)
        if (setting.Id == id) return &setting;
    return nullptr;
}

// The ffdshow stand-in: videobalance for the picture values, gaussianblur with a negative
// sigma for sharpening. Its elements belong to the bin, which owns this object.
class TffdshowPicture : public IffDecoder {
  public:
    TffdshowPicture(GstElement* balance, GstElement* sharpen, const char* registryKey)
        : FBalance(balance),
          FSharpen(sharpen),
          FPictureOn(SettingOn(registryKey, "isPictProp")),
          FSharpenOn(SettingOn(registryKey, "xsharpen")) {
        for (const TPictureSetting& setting : kPictureSettings)
            FValues[setting.Id] = setting.Neutral;
    }
    ~TffdshowPicture() override {
        if (FDialog) FDialog->deleteLater();
    }

    HRESULT PutParam(unsigned paramId, int value) override {
        const TPictureSetting* setting = FindSetting(paramId);
        if (!setting) return E_INVALIDARG;
        {
            std::lock_guard guard(FLock);
            FValues[paramId] = std::clamp(value, setting->Minimum, setting->Maximum);
        }
        Apply();
        return S_OK;
    }

    int GetParam(unsigned paramId) const override {
        std::lock_guard guard(FLock);
        const auto found = FValues.find(paramId);
        return found == FValues.end() ? 0 : found->second;
    }

    HRESULT ShowCfgDlg(QWidget* owner) override;

    HRESULT ResetFilter(unsigned groupId) override {
        if (groupId != IDFF_filterPictProp && groupId != IDFF_filterSharpen &&
            groupId != IDFF_filterRest)
            return S_FALSE;
        {
            std::lock_guard guard(FLock);
            for (const TPictureSetting& setting : kPictureSettings)
                if (setting.Group == groupId) FValues[setting.Id] = setting.Neutral;
        }
        Apply();
        return S_OK;
    }

  private:
    // GObject properties are safe to set while the stream runs.
    void Apply() {
        std::unique_lock guard(FLock);
        const bool picture = FPictureOn;
        const double contrast = picture ? FValues[IDFF_contrast] / 128.0 : 1.0;
        const double brightness = picture ? FValues[IDFF_brightness] / 200.0 : 0.0;
        const double hue = picture ? FValues[IDFF_hue] / 180.0 : 0.0;
        const double saturation = picture ? FValues[IDFF_saturation] / 64.0 : 1.0;
        // 20 leaves the picture as it is; above sharpens, below softens.
        const double sigma = FSharpenOn ? -(FValues[IDFF_sharpness] - 20) / 20.0 : 0.0;
        guard.unlock();
        g_object_set(FBalance, "contrast", contrast, "brightness", brightness, "hue", hue,
                     "saturation", saturation, nullptr);
        g_object_set(FSharpen, "sigma", sigma, nullptr);
    }

    GstElement* FBalance;
    GstElement* FSharpen;
    const bool FPictureOn;
    const bool FSharpenOn;
    mutable std::mutex FLock;
    std::map<unsigned, int> FValues;
    QPointer<QObject> FDialog;
};

HRESULT TffdshowPicture::ShowCfgDlg(QWidget* owner) {
    if (!Dialogs().ShowDecoderDialog) return E_NOTIMPL;
    FDialog = Dialogs().ShowDecoderDialog(*this, FDialog.data(), owner);
    return FDialog ? S_OK : E_FAIL;
}

const GQuark& DecoderQuark() {
    static const GQuark quark = g_quark_from_static_string("vexlo-iffdecoder");
    return quark;
}

// Elements in a chain inside a bin with the outer pads; null when any factory is missing.
GstElement* MakeBin(const std::vector<const char*>& factories) {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* previous = nullptr;
    for (const char* factory : factories) {
        GstElement* element = gst_element_factory_make(factory, nullptr);
        if (!element || !gst_bin_add(GST_BIN(bin), element) ||
            (previous && !gst_element_link(previous, element))) {
            if (element && !GST_OBJECT_PARENT(element)) gst_object_unref(element);
            gst_object_unref(bin);
            return nullptr;
        }
        if (!previous) {
            GstPad* pad = gst_element_get_static_pad(element, "sink");
            gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
            gst_object_unref(pad);
        }
        previous = element;
    }
    GstPad* pad = gst_element_get_static_pad(previous, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("src", pad));
    gst_object_unref(pad);
    return bin;
}

GstElement* ChildByFactory(GstElement* bin, const char* factory) {
    GstElement* found = nullptr;
    GST_OBJECT_LOCK(bin);
    for (GList* item = GST_BIN_CHILDREN(bin); item && !found; item = item->next) {
        GstElementFactory* made = gst_element_get_factory(GST_ELEMENT(item->data));
        if (made && g_strcmp0(GST_OBJECT_NAME(made), factory) == 0) found = GST_ELEMENT(item->data);
    }
    GST_OBJECT_UNLOCK(bin);
    return found;
}

GstElement* MakePictureFilter(const char* registryKey) {
    // The blur takes AYUV only; the balance takes it too, so one conversion feeds both, and it
    // scales to the size the picture is shown at on the way.
    GstElement* bin = MakeBin(
        {"videoconvertscale", "capsfilter", "videobalance", "gaussianblur", "videoconvert"});
    if (!bin) return nullptr;
    UseFastScaling(ChildByFactory(bin, "videoconvertscale"));
    ScaleToShownSize(bin, ChildByFactory(bin, "capsfilter"));
    auto* decoder = new TffdshowPicture(ChildByFactory(bin, "videobalance"),
                                        ChildByFactory(bin, "gaussianblur"), registryKey);
    decoder->ResetFilter(IDFF_filterSharpen);  // the blur's own default is not neutral
    g_object_set_qdata_full(G_OBJECT(bin), DecoderQuark(), static_cast<IffDecoder*>(decoder),
                            [](gpointer data) { delete static_cast<IffDecoder*>(data); });
    return bin;
}

constexpr std::array<int, IGraphicEqualizer::kBands> kBandFrequencies = {
    29, 59, 119, 237, 474, 947, 1889, 3770, 7523, 15011};

// The equaliser stand-in's bands over equalizer-10bands. Its element belongs to the bin, which
// owns this object.
class TGraphicEqualizer : public IGraphicEqualizer {
  public:
    TGraphicEqualizer(GstElement* bands, bool enabled) : FBands(bands), FEnabled(enabled) {}

    int BandFrequency(int band) const override {
        return band >= 0 && band < kBands ? kBandFrequencies[band] : 0;
    }
    double Band(int band) const override {
        std::lock_guard guard(FLock);
        return band >= 0 && band < kBands ? FGains[band] : 0.0;
    }
    void SetBand(int band, double gain) override {
        if (band < 0 || band >= kBands) return;
        gain = std::clamp(gain, -24.0, 12.0);
        {
            std::lock_guard guard(FLock);
            FGains[band] = gain;
        }
        if (FEnabled) g_object_set(FBands, ("band" + std::to_string(band)).c_str(), gain, nullptr);
    }
    bool Enabled() const override { return FEnabled; }

  private:
    GstElement* FBands;
    const bool FEnabled;
    mutable std::mutex FLock;
    std::array<double, kBands> FGains{};
};

const GQuark& EqualizerQuark() {
    static const GQuark quark = g_quark_from_static_string("vexlo-graphic-equalizer");
    return quark;
}

GstElement* MakeEqualizer() {
    GstElement* bin = MakeBin({"audioconvert", "equalizer-10bands", "audioconvert"});
    if (!bin) return nullptr;
    auto* equalizer = new TGraphicEqualizer(ChildByFactory(bin, "equalizer-10bands"),
                                            SettingOn(kEqualizerKey, "Enabled"));
    g_object_set_qdata_full(G_OBJECT(bin), EqualizerQuark(),
                            static_cast<IGraphicEqualizer*>(equalizer),
                            [](gpointer data) { delete static_cast<IGraphicEqualizer*>(data); });
    return bin;
}

// What a quark names on the element itself or, in a bin, on the first element inside it.
void* AttachedData(GstElement* filter, GQuark quark) {
    if (!filter) return nullptr;
    if (void* data = g_object_get_qdata(G_OBJECT(filter), quark)) return data;
    if (!GST_IS_BIN(filter)) return nullptr;
    void* data = nullptr;
    GstIterator* children = gst_bin_iterate_recurse(GST_BIN(filter));
    GValue item = G_VALUE_INIT;
    while (!data && gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        data = g_object_get_qdata(G_OBJECT(g_value_get_object(&item)), quark);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
    return data;
}

}  // namespace

IffDecoder* QueryffDecoder(_GstElement* filter) {
    return static_cast<IffDecoder*>(AttachedData(filter, DecoderQuark()));
}

IGraphicEqualizer* QueryGraphicEqualizer(_GstElement* filter) {
    return static_cast<IGraphicEqualizer*>(AttachedData(filter, EqualizerQuark()));
}

std::span<const TPictureSetting> PictureSettings() {
    return kPictureSettings;
}

void SetFilterDialogs(TFilterDialogs dialogs) {
    Dialogs() = std::move(dialogs);
}

std::vector<CLSID> FilterPages(_GstElement* filter) {
    if (QueryGraphicEqualizer(filter)) return {CLSID_GraphicEqualizerPage};
    return {};
}

void RegisterExternalFilters() {
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    const auto named = [](const CLSID& id) { return FindExternalFilter(id)->Name; };
    RegisterClassFactory({CLSID_ffdshowVideoDecoder, named(CLSID_ffdshowVideoDecoder),
                          [] { return MakePictureFilter(kFfdshowKey); }, nullptr});
    RegisterClassFactory({CLSID_ffdshowRawVideoFilter, named(CLSID_ffdshowRawVideoFilter),
                          [] { return MakePictureFilter(kFfdshowRawKey); }, nullptr});
    RegisterClassFactory({CLSID_ffdshowAudioProcessor, named(CLSID_ffdshowAudioProcessor),
                          [] { return MakeBin({"audioconvert"}); }, nullptr});
    RegisterClassFactory(
        {CLSID_GraphicEqualizer, named(CLSID_GraphicEqualizer), MakeEqualizer, nullptr});
    RegisterClassFactory({CLSID_GraphicEqualizerPage, "Graphic EQ", nullptr,
                          [](GstElement* filter, QWidget* parent) -> QWidget* {
                              IGraphicEqualizer* equalizer = QueryGraphicEqualizer(filter);
                              if (!equalizer || !Dialogs().MakeEqualizerPage) return nullptr;
                              return Dialogs().MakeEqualizerPage(filter, *equalizer, parent);
                          }});
}
