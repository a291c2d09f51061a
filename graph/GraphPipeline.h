#pragma once
// The GStreamer side of one live graph: a playbin whose video filter, audio filter and video
// sink are bins built from the members' elements in member order. The graph component keeps
// the DirectShow-shaped rules (notifications, events, checked calls); this class only
// drives the pipeline.

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graph/FfmpegDemuxers.h"

class TGraphPipeline {
  public:
    // Null when GStreamer has no playbin.
    static std::unique_ptr<TGraphPipeline> Create(const std::string& name);
    ~TGraphPipeline();
    TGraphPipeline(const TGraphPipeline&) = delete;
    TGraphPipeline& operator=(const TGraphPipeline&) = delete;

    GstElement* Pipeline() const { return FPipeline; }

    // Members' elements, named after their members; they take their place in the chains
    // at the next Refresh or Idle. Elements neither video nor audio stay out.
    void AddFilter(GstElement* filter, const std::string& name);
    void RemoveFilter(GstElement* filter);
    // The chains composed from the members added, when idle and not yet up to date.
    void Refresh();

    // Back to NULL (the file stays set), with the chains brought up to date.
    void Idle();
    // The stream went back to its start (stopped or idle): normal rate, no stop position.
    void Rewound();
    // A file to play, or any URI (a DVD volume); false when the path has no URI. The subtitle
    // file beside a file comes with it.
    bool SetFile(const std::string& path);
    void SetUri(const std::string& uri);
    bool Rendered() const { return FRendered; }
    // FFmpeg's demuxers first for the file now set (a new file starts without); false when
    // they already were, or when none of them was offered for the file.
    bool PreferFfmpegDemuxers();
    // Idle and without a file: nothing is connected any more.
    void Disconnect();
    // After preroll: whether any video or audio stream is decoded.
    bool HasStreams() const;

    // Positions in 100-ns units.
    bool Position(int64_t& position) const;
    bool Duration(int64_t& duration) const;
    bool StopPosition(int64_t& stop) const;
    // A negative stop leaves the stop as it is.
    bool Seek(int64_t current, int64_t stop);
    bool SetRate(double rate);
    double Rate() const { return FRate; }

    // Decibel hundredths, -10000 (silence) .. 0.
    void SetVolume(int32_t volume);
    int32_t Volume() const { return FVolume; }
    void SetBalance(int32_t balance);
    int32_t Balance() const { return FBalance; }
    bool VideoSize(int& width, int& height) const;
    // Frames per second of the picture reaching the renderer; false while not known.
    bool FrameRate(double& rate) const;
    bool Playing() const;

    // Sends a navigation event upstream from the renderer's input, with coordinates in the
    // picture as it arrives there; takes the event.
    bool SendNavigation(GstEvent* event);
    // Position and seek in a format a source registers by nick ("title", "chapter").
    bool FormatPosition(const char* nick, int64_t& value) const;
    bool SeekFormat(const char* nick, int64_t value);

    // The file's audio or subtitle tracks by language and title ("Track N" for one with
    // neither), the one playing (-1 for none), and a switch to another while it plays.
    std::vector<std::string> TrackNames(bool text) const;
    int CurrentTrack(bool text) const;
    void SetCurrentTrack(bool text, int index);

    // The elements of the pipeline, depth first, bins before their children, each bin's
    // children in the order they were added; members' elements are not opened up.
    std::vector<std::string> FilterNames() const;

  private:
    enum class TKind { Other, VideoFilter, AudioFilter, Renderer };
    struct TPlaced {
        GstElement* Element;
        TKind Kind;
    };

    explicit TGraphPipeline(GstElement* pipeline);
    void Rebuild();
    void ReplaceChain(GstElement*& bin, const char* name, const std::vector<GstElement*>& chain,
                      const char* property);
    void WatchRenderer(GstElement* renderer);
    // The subtitle file that goes with the file set (none for an empty path).
    void SetSubtitleFile(const std::string& path);
    bool IsIdle() const;
    void ListNames(GstBin* bin, std::vector<std::string>& names) const;

    GstElement* FPipeline;
    std::vector<TPlaced> FPlaced;
    std::vector<GstElement*> FAudioTail;  // owned: conversion, balance, tempo, output
    GstElement* FPanorama = nullptr;      // in the tail
    GstElement* FNullRenderer = nullptr;  // owned: used while no member renders video
    GstElement* FOrientation = nullptr;   // owned: in front of the video filters
    GstElement* FTextRenderer = nullptr;  // owned: hands each cue to the bus at its time
    GstElement* FVideoFilterBin = nullptr;
    GstElement* FAudioFilterBin = nullptr;
    GstElement* FRendererBin = nullptr;
    GstPad* FWatchedPad = nullptr;
    gulong FWatchId = 0;
    bool FStale = false;
    bool FRendered = false;
    TDemuxerChoice FDemuxers;
    double FRate = 1.0;
    int64_t FStop = -1;
    int32_t FVolume = 0;
    int32_t FBalance = 0;
};

// How many playbins were made and how often their chains were composed, in this process:
// one of each per open is the aim.
struct TPipelineCounts {
    int Pipelines = 0;
    int Compositions = 0;
};
TPipelineCounts PipelineCounts();

// The picture size the renderer's input announced (an application message the watch posts).
bool ParseVideoSizeMessage(GstMessage* message, int& width, int& height);
// A subtitle cue as it comes due: its plain text and how long it shows (-1 when the stream
// does not say).
bool ParseSubtitleMessage(GstMessage* message, std::string& text, int64_t& durationMs);
