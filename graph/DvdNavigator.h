#pragma once
// The DVD side of a live graph: which volume a path names, what a render's outcome means, and
// the navigator that carries the DVD commands to the pipeline (navigation events and seeks)
// and reports the title, the chapter and the time once a second.

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "graph/FilterGraph.h"

class TGraphPipeline;
struct _GstEvent;
struct _GstMessage;

// The dvd:// URI of the volume a path names: its VIDEO_TS folder, a folder holding one, or a
// file in it. S_OK with the URI; S_FALSE with status saying why there is no volume to play
// (none given, none there, or one without title sets); E_INVALIDARG for a relative path.
HRESULT DvdVolumeUri(const std::string& path, std::string& uri, AM_DVD_RENDERSTATUS& status);

// The render result for the outcome of the wait for preroll and the number of streams no
// decoder was found for.
HRESULT DvdRenderResult(HRESULT preroll, int missingDecoders, AM_DVD_RENDERSTATUS& status);

// Hours, minutes, seconds and frames packed into one value, hours in the lowest byte.
uint32_t PackHMSF(const DVD_HMSF_TIMECODE& time);
// The same time as binary-coded decimal digits, hours in the highest byte.
uint32_t PackTimeCode(const DVD_HMSF_TIMECODE& time);

class TDvdNavigator : public IDvdControl2 {
  public:
    using TDispatch = std::function<void(int32_t code, intptr_t param1, intptr_t param2)>;
    // Reports through dispatch while the pipeline plays; it must outlive the navigator.
    TDvdNavigator(TGraphPipeline& graph, TDispatch dispatch);
    ~TDvdNavigator() override;
    TDvdNavigator(const TDvdNavigator&) = delete;
    TDvdNavigator& operator=(const TDvdNavigator&) = delete;

    HRESULT PlayForwards(double speed, uint32_t flags) override;
    HRESULT PlayBackwards(double speed, uint32_t flags) override;
    HRESULT PlayNextChapter(uint32_t flags) override;
    HRESULT PlayPrevChapter(uint32_t flags) override;
    HRESULT ShowMenu(int32_t menu, uint32_t flags) override;
    HRESULT SelectRelativeButton(DVD_RELATIVE_BUTTON direction) override;
    HRESULT ActivateButton() override;
    HRESULT PlayAtTime(const DVD_HMSF_TIMECODE& time, uint32_t flags) override;
    HRESULT ActivateAtPosition(DVD_POINT point) override;
    HRESULT SelectAtPosition(DVD_POINT point) override;
    HRESULT SetOption(int32_t option, bool value) override;

    // A tag message of the pipeline: those that come with the picture's codec name the title
    // and chapter shown ("Title 2, Chapter 1", "DVD Menu"); the others run ahead of it.
    void Tags(_GstMessage* message);

  private:
    void Tick();
    // False (and the rewind over) once the start is reached or the seek fails.
    bool RewindStep();
    HRESULT Navigate(_GstEvent* event);
    HRESULT SeekChapter(int64_t step);
    void FollowPlayingRate();
    // The rate of the stream reaching the renderer.
    bool PlayingRate(double& rate) const;
    // Shows a title, as the picture says and as the source (which reads ahead) agrees.
    bool InTitle() const;

    TGraphPipeline& FGraph;
    TDispatch FDispatch;
    QTimer FClock;
    QTimer FRewind;
    double FRewindSpeed = 0;
    bool FTimeEvents = false;
    int FTitle = 0;  // 0 in menus
    int FChapter = 0;
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};
