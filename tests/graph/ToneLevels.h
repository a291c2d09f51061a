#pragma once
// Plays the test tone through an audio filter in real time and measures its loudness.

#include <functional>

struct _GstElement;

// The mean loudness, in dB, that `level` measured early (before 0.6 s) and late (1.3 to 1.8 s)
// in the 2 s tone played in real time through the filter; at 0.8 s `during` runs.
struct ToneLevels {
    double Early = 0, Late = 0;
};

// Takes the filter (floating or not) into the pipeline, which it ends with.
ToneLevels PlayTone(_GstElement* equalizer, const std::function<void()>& during = {});
