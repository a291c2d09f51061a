#pragma once
// The sound output, chosen once per run: trying each output a system may have (PulseAudio,
// ALSA, JACK, OSS, OpenAL) costs tens of milliseconds, too much to repeat on every open.
#include <gst/gst.h>

// Tries the outputs in the order of their rank and keeps the first that opens; with none, a
// clocked fakesink keeps a file's sound in time. Only the first call tries anything. It may
// block for a while: call it away from the UI thread.
void ChooseAudioOutput();

// A new sound output (floating) named as given: the chosen one once it is known, the
// automatic choice until then.
GstElement* MakeAudioOutput(const char* name);

// Whether a new element of the factory opens (reaches READY): the test for an output, sound or
// picture, before it is used.
bool ElementReachesReady(const char* factory);
