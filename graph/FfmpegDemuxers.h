#pragma once
// GStreamer's own demuxers come first; FFmpeg's (the avdemux_* elements of gst-libav) read
// some files those refuse, odd or damaged containers among them. A render that failed at the
// demuxer is tried once more with FFmpeg's put first.
#include <gst/gst.h>

#include <atomic>

#include "platform/Com.h"

// What the decoding bins of one playbin chose from; read and written by its streaming threads.
struct TDemuxerChoice {
    std::atomic<bool> FfmpegFirst = false;    // FFmpeg's demuxers go before the others
    std::atomic<bool> FfmpegOffered = false;  // one of them was among the candidates
};

// From then on, every decoding bin the playbin makes follows choice, which must outlive the
// playbin's streaming.
void WatchDemuxerChoice(GstElement* playbin, TDemuxerChoice* choice);

// A render failure that another demuxer may mend: the file's type was known, but its demuxer
// refused it.
bool IsDemuxerFailure(HRESULT code);
