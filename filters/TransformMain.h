#pragma once
// Our own video transform filter: copies each 32-bit RGB frame (GStreamer's BGRx, the memory
// layout of RGB32) and on the way inverts it or changes its brightness, then its contrast.
// It is the GStreamer element "vexlobrightness" (pads "sink" and "src", the filter's pins
// "XForm In" and "XForm Out"), registered in process by RegisterBrightnessFilter and also
// built as the loadable plugin libgstvexlobrightness.so. Its class factory creates it by
// CLSID_BrightnessFilter; its settings page is CLSID_BrightnessPage.
#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "filters/PixelPasses.h"
#include "platform/Com.h"

extern const CLSID CLSID_BrightnessFilter;
extern const CLSID CLSID_BrightnessPage;
extern const CLSID CLSID_LegacyAmFilterCategory;
extern const IID IID_IZorozuDeveduControl;

constexpr const char* kBrightnessFilterName = "Quelm Brightness Filter";
constexpr const char* kBrightnessElementName = "vexlobrightness";
// MERIT_DO_NOT_USE: never picked by automatic graph building (GStreamer rank "none").
constexpr uint32_t kBrightnessFilterMerit = 0x00200000;
constexpr const char* kInputPinName = "XForm In";
constexpr const char* kOutputPinName = "XForm Out";

// Process-wide switches, shared by every brightness filter in the process.
extern std::atomic<bool> BrightnessEnabled;  // starts true
extern std::atomic<bool> InvertEnabled;      // starts false
extern std::atomic<bool> BrightnessOffMark;  // set once brightness was switched off; read by no one
// "Connected" once any brightness filter pad has linked, else empty.
std::string ConnectionStatus();
// Empties ConnectionStatus, as at program end.
void ClearConnectionStatus();

// The control interface of the filter, used by its page and by the element's properties.
class IZorozuDeveduControl {
  public:
    virtual HRESULT GetBrightness(int32_t& value) = 0;
    // Clamped to -255..255.
    virtual HRESULT SetBrightness(int32_t value) = 0;
    virtual HRESULT GetContrast(int16_t& value) = 0;
    // In 1/64 units, 64 = unchanged; not range-checked.
    virtual HRESULT SetContrast(int16_t value) = 0;
    virtual HRESULT SetBrightnessEnabled(bool enabled) = 0;
    virtual HRESULT SetInvert(bool invert) = 0;
    virtual HRESULT MarkBrightnessOff() = 0;

  protected:
    ~IZorozuDeveduControl() = default;
};

// A filter that names the class ids of its settings pages.
class ISpecifyPropertyPages {
  public:
    virtual HRESULT GetPages(std::vector<CLSID>& pages) = 0;

  protected:
    ~ISpecifyPropertyPages() = default;
};

// The filter's own part of the element; the element owns it and calls these from its hooks.
class TBrightnessControlFilter final : public IZorozuDeveduControl, public ISpecifyPropertyPages {
  public:
    TBrightnessControlFilter() noexcept;
    TBrightnessControlFilter(const TBrightnessControlFilter&) = delete;
    TBrightnessControlFilter& operator=(const TBrightnessControlFilter&) = delete;

    HRESULT GetBrightness(int32_t& value) override;
    HRESULT SetBrightness(int32_t value) override;
    HRESULT GetContrast(int16_t& value) override;
    HRESULT SetContrast(int16_t value) override;
    HRESULT SetBrightnessEnabled(bool enabled) override;
    HRESULT SetInvert(bool invert) override;
    HRESULT MarkBrightnessOff() override;
    HRESULT GetPages(std::vector<CLSID>& pages) override;
    HRESULT GetClassID(CLSID& id) const;
    // The element's "brightness" property: SetBrightness, and later connections keep the value
    // instead of reloading "bfilter.ini" (gst-launch-1.0 sets properties before it links).
    HRESULT PinBrightness(int32_t value);

    // 1 for the first filter of the process, counting up.
    int32_t InstanceNumber() const { return FInstanceNumber; }
    // kBrightnessFilterName immediately followed by the instance number.
    std::string ObjectName() const;
    // The processor's widest packed form, probed at construction.
    TPackedBytes HasPackedBytes() const { return FHasPackedBytes; }
    // Narrows the packed form (tests and benchmarks compare the forms); never widens past
    // what the processor offers.
    void UsePackedBytes(TPackedBytes width);

    // S_OK for fixed BGRx system-memory video caps with a complete video description, else
    // E_FAIL.
    HRESULT CheckInputType(const GstCaps* caps) const;
    // The input must pass CheckInputType; output caps that are not raw system-memory video give
    // E_INVALIDARG, as do any difference in size, format or frame size; unreadable output
    // caps E_FAIL.
    HRESULT CheckTransform(const GstCaps* input, const GstCaps* output) const;
    // One frame: CopyMediaSample, any failure reported as E_FAIL.
    HRESULT Transform(GstBuffer* input, GstBuffer* output);
    // Carries timestamps, offsets and flags over, then runs the pixel passes from the input's
    // bytes into the output (writable, at least as large); an empty input leaves the output's
    // bytes untouched.
    HRESULT CopyMediaSample(GstBuffer* input, GstBuffer* output);
    // After a pad has linked: brightness from "bfilter.ini" (unless pinned), ConnectionStatus
    // "Connected".
    HRESULT CompleteConnect();

  private:
    TPixelSettings FrameSettings();

    const int32_t FInstanceNumber;
    int32_t FBrightness = 0;
    bool FBrightnessPinned = false;
    int16_t FContrastFactor = 64;
    std::mutex FLock;  // the brightness and contrast, between the streaming and control threads
    TPackedBytes FHasPackedBytes;
};

// The filter part of an element of ours, null for any other element.
TBrightnessControlFilter* BrightnessControlFilter(GstElement* element);
IZorozuDeveduControl* QueryZorozuDeveduControl(GstElement* element);
ISpecifyPropertyPages* QuerySpecifyPropertyPages(GstElement* element);
// "XForm In" for the element's sink pad, "XForm Out" for its source pad, else the pad's name.
std::string BrightnessPinName(GstPad* pad);

// The plugin's entry: registers the element factory "vexlobrightness" in the plugin.
gboolean BrightnessPluginInit(GstPlugin* plugin);
// Once per process (initialises GStreamer when needed): the element as a static plugin and
// its class factory under CLSID_BrightnessFilter.
void RegisterBrightnessFilter();
