#pragma once
// decodebin holds back the errors of an element it is still trying out and forgets them when
// the element starts after all, so a demuxer that fails on a damaged file as it starts can leave
// the pipeline waiting for a preroll that never comes. Once watched, every error an element
// inside a pipeline posts is also noted on that pipeline's bus (an application message), where
// the wait for preroll finds it even when decodebin kept the error itself back.
#include <gst/gst.h>

// Starts the watch for this process; later calls do nothing.
void WatchChildErrors();

// The error a note carries (the caller frees it with g_error_free), or null for any message that
// is not a note.
GError* ChildErrorOf(GstMessage* message);
