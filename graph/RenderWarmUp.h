#pragma once
// The first render of a run pays for loading its demuxer, decoders and sinks, some 100 ms
// here. A file known before the first render (the command line's) is decoded once ahead of
// it, while the window waits for its ready step, so that the render finds them loaded.
#include <string>

// Prerolls the file into fakesinks and takes that pipeline down again, within a bound. Only
// regular files: a FIFO would hold the caller. It blocks: call it away from the UI thread.
void WarmUpRenderOf(const std::string& path);
