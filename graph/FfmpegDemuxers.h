#pragma once
// GStreamer's own demuxers come first; FFmpeg's (the avdemux_* elements of gst-libav) read
// some files those refuse, odd or damaged containers among them. A render that failed at the
// demuxer is tried once more with FFmpeg's put first.
#include <gst/gst.h>

#include <atomic>

#include "platform/Com.h"

// From then on, every decoding bin the playbin makes tries FFmpeg's demuxers before the others
// while prefer holds true; prefer must outlive the playbin's streaming.
void WatchDemuxerChoice(GstElement* playbin, const std::atomic<bool>* prefer);

// A render failure that another demuxer may mend: the file's type was known, but its demuxer
// refused it.
bool IsDemuxerFailure(HRESULT code);
