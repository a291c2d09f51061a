#pragma once
// The size a renderer shows the picture at, told upstream, so that the picture filters in
// front of it adjust frames of that size rather than of the decoded one: a 1080p picture in a
// small window costs a fraction as much to adjust, sharpen and convert at the window's size.

struct _GstElement;
struct _GstEvent;
struct _GstPad;

// Sends the size the picture is shown at upstream from a pad of the renderer.
void TellShownSize(_GstPad* rendererPad, int width, int height);
// Whether event is the one TellShownSize sends.
bool IsShownSizeEvent(_GstEvent* event);
// The scaler in front of the caps stage (both children of the bin) scales down to the size
// last told, where that is smaller than the picture coming in; otherwise it passes the picture
// at its own size. The told size goes no further upstream than the bin.
void ScaleToShownSize(_GstElement* bin, _GstElement* caps);
// Bilinear scaling without chroma resampling or dithering, and no borders: about half of the
// default's cost at 1080p, and alike at window size.
void UseFastScaling(_GstElement* scaler);
