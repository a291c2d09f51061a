#pragma once
// The graph component: one GStreamer pipeline at a time, the members whose filters go into
// every pipeline it builds, and the listeners that hear its events.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Com.h"

struct _GstElement;
struct TFilterGraphPrivate;

enum TFilterOperation { foAdding = 0, foAdded = 1, foRemoving = 2, foRemoved = 3, foRefresh = 4 };

enum TControlEvent {
    cePlay = 0,
    cePause = 1,
    ceStop = 2,
    ceFileRendering = 3,
    ceFileRendered = 4,
    ceDVDRendering = 5,
    ceDVDRendered = 6,
    ceActive = 7
};

// Graph event codes the component raises from the pipeline's messages.
inline constexpr int32_t EC_COMPLETE = 0x01;
inline constexpr int32_t EC_ERRORABORT = 0x03;
inline constexpr int32_t EC_VIDEO_SIZE_CHANGED = 0x0A;
inline constexpr int32_t EC_CLOCK_CHANGED = 0x0D;
inline constexpr int32_t EC_DVD_TITLE_CHANGE = 0x102;
inline constexpr int32_t EC_DVD_CHAPTER_START = 0x103;
inline constexpr int32_t EC_DVD_CURRENT_HMSF_TIME = 0x11A;

// A filter component or a video window: what it puts into each new pipeline.
class IGraphMember {
  public:
    virtual ~IGraphMember() = default;
    // The member's element (borrowed; the member keeps it alive while it is in a graph), or
    // null: a member without a filter is skipped.
    virtual _GstElement* GetFilter() = 0;
    virtual std::string GetName() = 0;
    virtual void NotifyFilter(TFilterOperation operation) = 0;
};

// Video windows and the progress slider: every raw graph event and the control events.
class IGraphListener {
  public:
    virtual ~IGraphListener() = default;
    virtual void GraphEvent(int32_t code, intptr_t param1, intptr_t param2) = 0;
    virtual void ControlEvent(TControlEvent event, intptr_t param) = 0;
};

enum TGraphMode { gmNormal = 0, gmCapture = 1, gmDVD = 2 };
// What was last asked of the live graph: stopped (also while inactive), paused or running.
enum TGraphState { gsStopped, gsPaused, gsRunning };
enum TTrackKind { tkAudio, tkSubtitle };

// Positions and durations in 100-ns units.
class IMediaSeeking {
  public:
    virtual ~IMediaSeeking() = default;
    virtual HRESULT GetCurrentPosition(int64_t& position) = 0;
    virtual HRESULT GetDuration(int64_t& duration) = 0;
    // The stop position set last, or the duration.
    virtual HRESULT GetStopPosition(int64_t& stop) = 0;
    // A negative stop leaves the stop position as it is.
    virtual HRESULT SetPositions(int64_t current, int64_t stop) = 0;
    virtual HRESULT SetRate(double rate) = 0;
    virtual HRESULT GetRate(double& rate) = 0;
};

// Volume in hundredths of a decibel (-10000 silence .. 0 full), balance -10000..10000.
class IBasicAudio {
  public:
    virtual ~IBasicAudio() = default;
    virtual HRESULT put_Volume(int32_t volume) = 0;
    virtual HRESULT get_Volume(int32_t& volume) = 0;
    virtual HRESULT put_Balance(int32_t balance) = 0;
    virtual HRESULT get_Balance(int32_t& balance) = 0;
};

// What rendering a DVD volume reports beside its result (AM_DVD_RENDERSTATUS).
struct AM_DVD_RENDERSTATUS {
    HRESULT hrVPEStatus = S_OK;     // the video port's result
    bool bDvdVolInvalid = false;    // the volume given does not exist (or is no DVD volume)
    bool bDvdVolUnknown = false;    // no volume given, or none found there
    bool bNoLine21In = false;       // no closed-caption data from the decoder
    bool bNoLine21Out = false;      // closed captions cannot be shown
    int32_t iNumStreamsFailed = 0;  // streams that could not be rendered
    uint32_t dwFailedStreamsFlag = 0;
};

// Render flags, navigator options, menus and command flags of the DVD calls.
inline constexpr uint32_t AM_DVD_HWDEC_PREFER = 1;
inline constexpr int32_t DVD_NotifyParentalLevelChange = 2;
inline constexpr int32_t DVD_HMSF_TimeCodeEvents = 3;
inline constexpr int32_t DVD_MENU_Title = 2;
inline constexpr int32_t DVD_MENU_Root = 3;
inline constexpr int32_t DVD_MENU_Chapter = 7;
inline constexpr uint32_t DVD_CMD_FLAG_None = 0;

struct DVD_HMSF_TIMECODE {
    uint8_t bHours = 0;
    uint8_t bMinutes = 0;
    uint8_t bSeconds = 0;
    uint8_t bFrames = 0;
};

enum DVD_RELATIVE_BUTTON {
    DVD_Relative_Upper = 1,
    DVD_Relative_Lower = 2,
    DVD_Relative_Left = 3,
    DVD_Relative_Right = 4
};

// A point of the picture as it reaches the renderer, in its pixels.
struct DVD_POINT {
    int32_t x = 0;
    int32_t y = 0;
};

// The DVD navigator's commands. Each returns S_OK when the navigator took it; what the
// current domain forbids (a seek in a menu, a menu the disc lacks) fails and changes nothing.
class IDvdControl2 {
  public:
    virtual ~IDvdControl2() = default;
    virtual HRESULT PlayForwards(double speed, uint32_t flags) = 0;
    virtual HRESULT PlayBackwards(double speed, uint32_t flags) = 0;
    virtual HRESULT PlayNextChapter(uint32_t flags) = 0;
    virtual HRESULT PlayPrevChapter(uint32_t flags) = 0;
    virtual HRESULT ShowMenu(int32_t menu, uint32_t flags) = 0;
    virtual HRESULT PlayAtTime(const DVD_HMSF_TIMECODE& time, uint32_t flags) = 0;
    // Presses (activate) or highlights (select) the menu button at the point.
    virtual HRESULT ActivateAtPosition(DVD_POINT point) = 0;
    virtual HRESULT SelectAtPosition(DVD_POINT point) = 0;
    // Moves the highlight to the neighbouring menu button, or presses the highlighted one.
    virtual HRESULT SelectRelativeButton(DVD_RELATIVE_BUTTON direction) = 0;
    virtual HRESULT ActivateButton() = 0;
    virtual HRESULT SetOption(int32_t option, bool value) = 0;
};

class IBasicVideo {
  public:
    virtual ~IBasicVideo() = default;
    // The native size of the picture; fails before the first frame's format is known.
    virtual HRESULT GetVideoSize(int& width, int& height) = 0;
};

// Where exceptions raised by graph event handlers go (the application's exception hook).
// Without a hook they are dropped.
void SetGraphExceptionHook(std::function<void(const std::exception&)> hook);

// The linear 0..10000 volume as the audio interface takes it: Round(ln(V + 1) * 1085.73) -
// 10000, ties to even, V clamped to 0..10000 first.
int32_t LinearToDecibelVolume(int32_t value);

class TFilterGraph {
  public:
    TFilterGraph();
    ~TFilterGraph();
    TFilterGraph(const TFilterGraph&) = delete;
    TFilterGraph& operator=(const TFilterGraph&) = delete;

    TGraphMode Mode() const;
    // A change on an active component yields a fresh, empty graph of the new kind.
    void SetMode(TGraphMode mode);
    bool Active() const;
    void SetActive(bool flag);

    void InsertFilter(IGraphMember* member);
    void RemoveFilter(IGraphMember* member);
    const std::vector<IGraphMember*>& Members() const;
    void InsertEventNotifier(IGraphListener* listener);
    void RemoveEventNotifier(IGraphListener* listener);

    // Renders start and return: the outcome follows as OnRendered, from the event loop, once
    // the preroll is done (S_OK) or has failed; an open under way ends without one when the
    // component deactivates (a newer open, a mode change, a Stop).
    // S_FALSE while inactive, S_OK once under way; raises EDirectShowException at once for a
    // path that is no readable file. Volume, balance and rate are applied and ceFileRendered
    // sent before a successful outcome.
    HRESULT RenderFile(const std::string& path);
    // Loads what rendering the file will need, away from the caller, for a file known before
    // its render (see RenderWarmUp.h).
    void PrepareRender(const std::string& path);
    // Renders the DVD volume of path (its VIDEO_TS folder or a file in it) in gmDVD mode:
    // S_OK once under way, or at once VFW_E_DVD_RENDERFAIL while no DVD graph exists,
    // E_INVALIDARG for a relative path, S_FALSE with DvdRenderStatus saying what failed for a
    // volume that is missing, unreadable or without titles. The outcome: S_OK; S_FALSE with
    // streams that could not be rendered; VFW_E_DVD_DECNOTENOUGH when no stream could be
    // decoded; VFW_E_DVD_RENDERFAIL for any other failure.
    HRESULT RenderDvd(const std::string& path, uint32_t flags);
    const AM_DVD_RENDERSTATUS& DvdRenderStatus() const;
    // Whether a render waits for its preroll.
    bool Rendering() const;
    // False while inactive; raise EDirectShowException on failure.
    bool Play();
    bool Pause();
    bool Stop();
    TGraphState State() const;
    void ClearGraph();
    void DisconnectFilters();
    // Pipelines of earlier activations are taken down away from the caller; this returns
    // once they all are, for an exit whose windows their renderers still draw into.
    void FinishTeardown();

    // On (the default): SetVolume takes the linear 0..10000 scale; off: V - 10000 decibel
    // hundredths.
    bool LinearVolume() const;
    void SetLinearVolume(bool flag);
    // Stored (they survive deactivation) and applied to the live graph after each render.
    void SetVolume(int32_t value);
    void SetBalance(int32_t value);
    void SetRate(double rate);
    int32_t Volume() const;
    int32_t Balance() const;
    double Rate() const;

    // The live pipeline (playbin) or null.
    _GstElement* Pipeline() const;
    // The live pipeline's elements in order, descending into bins (members' elements under
    // their member names plus what GStreamer added); empty while inactive.
    std::vector<std::string> FilterNames() const;

    // The file's audio or subtitle tracks by language and title ("Track N" for one with
    // neither; empty while inactive), the one playing (-1 for none), and a switch to another
    // while it plays.
    std::vector<std::string> TrackNames(TTrackKind kind) const;
    int CurrentTrack(TTrackKind kind) const;
    void SetCurrentTrack(TTrackKind kind, int index);

    // Interface queries: null while inactive.
    IMediaSeeking* MediaSeeking();
    IBasicAudio* BasicAudio();
    IBasicVideo* BasicVideo();
    // The navigator of an active DVD graph, else null.
    IDvdControl2* DvdControl2();

    std::function<void(HRESULT result)> OnRendered;
    std::function<void(HRESULT result, intptr_t renderer)> OnGraphComplete;
    std::function<void(int width, int height)> OnGraphVideoSizeChanged;
    std::function<void(int32_t code, intptr_t param1, intptr_t param2)> OnDSEvent;
    std::function<void()> OnActivate;
    std::function<void(int title)> OnDVDTitleChange;
    std::function<void(int chapter)> OnDVDChapterStart;
    std::function<void(uint32_t hmsfTimeCode, uint32_t timeCode)> OnDVDCurrentHMSFTime;
    // A subtitle cue comes due: its text and how long it shows (-1: until the next). An empty
    // text takes the last one away: on a stop, a seek and when the graph goes.
    std::function<void(const std::string& text, int64_t durationMs)> OnSubtitle;

  private:
    std::unique_ptr<TFilterGraphPrivate> D;
};

// The persisted device moniker of a legacy filter with the given class id: the byte block a
// filter component keeps as its identity (little-endian lengths, UTF-16LE display name).
std::vector<uint8_t> DeviceMonikerBlock(const CLSID& classId);
// The filter class id named by such a block; throws std::invalid_argument on a block that is
// not one.
CLSID MonikerBlockClassId(const std::vector<uint8_t>& block);

// A filter component: binds a fresh instance of its filter on each activation of the graph
// it belongs to, named in the pipeline after the component.
class TFilter : public IGraphMember {
  public:
    explicit TFilter(std::string name);
    ~TFilter() override;
    TFilter(const TFilter&) = delete;
    TFilter& operator=(const TFilter&) = delete;

    const std::string& Name() const { return FName; }
    TFilterGraph* FilterGraph() const { return FFilterGraph; }
    // Removes the component from the old graph component and inserts it into the new one.
    void SetFilterGraph(TFilterGraph* graph);
    const std::vector<uint8_t>& BaseFilter() const { return FBaseFilter; }
    void SetBaseFilter(std::vector<uint8_t> block) { FBaseFilter = std::move(block); }

    _GstElement* GetFilter() override;
    std::string GetName() override;
    void NotifyFilter(TFilterOperation operation) override;

  private:
    void Release();

    std::string FName;
    TFilterGraph* FFilterGraph = nullptr;
    std::vector<uint8_t> FBaseFilter;
    _GstElement* FFilter = nullptr;  // owned reference while bound
};
