#pragma once
// How FFmpeg's video decoders share their work out. Frame threading holds a picture more per
// thread and costs a little on every frame; up to 1080p at 30 frames a second one core decodes
// in real time with room to spare, so there the decoders share out slices only, and frames
// above that.
struct _GstElement;

// From then on, every FFmpeg video decoder the playbin makes picks its threading from the
// first caps it is given.
void ThreadDecodersByRate(_GstElement* playbin);
