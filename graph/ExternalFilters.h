#pragma once
// The external filters the player works with: their identities, the ffdshow control
// interface, and our stand-ins for them (GStreamer bins made through the class-factory table
// under the external class ids).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/Com.h"

struct _GstElement;
class QObject;
class QWidget;

struct TExternalFilter {
    CLSID ClassId;
    std::string Name;
    std::string FileName;     // the filter file, empty when none is named
    std::string RegistryKey;  // under HKEY_CURRENT_USER, empty when none
    // The GStreamer elements that stand in for it, and whether the class-factory table makes
    // it (the others are used through those elements directly, or not at all).
    std::vector<std::string> Elements;
    bool InClassTable = false;
};

extern const CLSID CLSID_ffdshowVideoDecoder;    // {04FE9017-F873-410E-871E-AB91661A4EF7}
extern const CLSID CLSID_ffdshowRawVideoFilter;  // {0B390488-D80F-4A68-8408-48DC199F0E97}
extern const CLSID CLSID_ffdshowAudioProcessor;  // {B86F6BEE-E7C0-4D03-8D52-5B4430CF6C88}
extern const CLSID CLSID_GraphicEqualizer;       // {E4DCD60C-F449-4C78-895B-1FE9F85C7EDD}
extern const CLSID CLSID_ClvsdVideoDecoder;      // {516F1EFA-42F4-436E-801C-B752EB9343EB}
extern const CLSID CLSID_EnhancedVideoRenderer;  // {FA10746C-9B63-4B6C-BC49-FC300EA5F256}
extern const IID IID_IffDecoder;                 // {00F99063-70D5-4BCC-9D88-3801F3E3881B}
// The graphic equaliser's ten-band settings page (our own class).
extern const CLSID CLSID_GraphicEqualizerPage;  // {9C1D5A30-7E2B-4F61-A0C4-3B8E52D17F06}

// Every external filter the player knows, in a fixed order.
const std::vector<TExternalFilter>& ExternalFilters();
// The entry for a class id, or null.
const TExternalFilter* FindExternalFilter(const CLSID& classId);

// Parameter ids of the ffdshow picture settings, in the colour panel's ranges.
inline constexpr unsigned IDFF_contrast = 201;    // 56..200, neutral 128
inline constexpr unsigned IDFF_brightness = 202;  // -100..100, neutral 0
inline constexpr unsigned IDFF_hue = 203;         // -180..180, neutral 0
inline constexpr unsigned IDFF_saturation = 204;  // 0..128, neutral 64
inline constexpr unsigned IDFF_sharpness = 402;   // 0..126, neutral 20
// Settings groups a reset applies to.
inline constexpr unsigned IDFF_filterPictProp = 200;
inline constexpr unsigned IDFF_filterSharpen = 400;
inline constexpr unsigned IDFF_filterRest = 500;

// One picture setting of the ffdshow stand-ins: its range, neutral value and reset group.
struct TPictureSetting {
    unsigned Id;
    const char* Label;
    int Minimum, Maximum, Neutral;
    unsigned Group;
};
// Contrast, brightness, hue, saturation and sharpness, in that order.
std::span<const TPictureSetting> PictureSettings();

// The ffdshow decoders' control interface; the comments give each call's slot.
class IffDecoder {
  public:
    virtual ~IffDecoder() = default;
    // Slot 5: one setting. E_INVALIDARG for an unknown id.
    virtual HRESULT PutParam(unsigned paramId, int value) = 0;
    // The value a setting has now (not a slot of the original interface).
    virtual int GetParam(unsigned paramId) const = 0;
    // Slot 35: the filter's own video-adjustment dialog, on the UI thread; E_NOTIMPL while no
    // dialogs are registered (SetFilterDialogs).
    virtual HRESULT ShowCfgDlg(QWidget* owner) = 0;
    // Slot 95: back to the neutral values of a group; S_FALSE for an unknown group.
    virtual HRESULT ResetFilter(unsigned groupId) = 0;
};

// The ffdshow interface of a live filter: the element itself or, for a bin (the pipeline),
// the first ffdshow stand-in inside it. Null when there is none. Valid while the element lives.
IffDecoder* QueryffDecoder(_GstElement* filter);

// The graphic equaliser's bands; changes reach the running element at once. While its stored
// "Enabled" is 0 the bands are kept but the sound stays flat.
class IGraphicEqualizer {
  public:
    static constexpr int kBands = 10;
    virtual ~IGraphicEqualizer() = default;
    virtual int BandFrequency(int band) const = 0;  // Hz
    virtual double Band(int band) const = 0;        // gain in dB
    // Clamped to -24..12 dB; bands outside 0..9 are ignored.
    virtual void SetBand(int band, double gain) = 0;
    virtual bool Enabled() const = 0;
};

// The equaliser interface of a live filter (the element itself or a bin holding it), or null.
IGraphicEqualizer* QueryGraphicEqualizer(_GstElement* filter);
// The class ids of the settings pages a filter offers (empty for a filter without any).
std::vector<CLSID> FilterPages(_GstElement* filter);

// The stand-ins' dialogs are widgets, made above the engine; whoever shows them (the program at
// start-up, a test) registers them here first. UI thread only.
struct TFilterDialogs {
    // Shows a decoder's video-adjustment dialog, owned by owner: open when the decoder's
    // dialog is still open, else a new one. Returns the dialog shown; the decoder closes it
    // when it goes.
    std::function<QObject*(IffDecoder& decoder, QObject* open, QWidget* owner)> ShowDecoderDialog;
    // The equaliser's ten-band page over its filter.
    std::function<QWidget*(_GstElement* filter, IGraphicEqualizer& equalizer, QWidget* parent)>
        MakeEqualizerPage;
};
void SetFilterDialogs(TFilterDialogs dialogs);

// Puts our stand-ins into the class-factory table under the external class ids. Once, at
// program start; a stand-in whose GStreamer elements are missing makes no filter.
void RegisterExternalFilters();
