#pragma once
// The per-frame work of the brightness filter on a flat run of bytes: no stride, row order or
// channel is interpreted, every byte (the padding byte of a pixel included) is treated alike.
//
// Stages, in order: the copy; then either invert (every byte NOT-ed) or brightness (a
// saturating add or subtract of the magnitude); then contrast around 128 in 1/64 units with an
// arithmetic shift, clamped to 0..255. Each byte's result depends on its own value alone.
#include <cstddef>
#include <cstdint>

// Bytes one step of the passes handles: the byte-wise form, or the processor's packed forms
// (SSE2 or NEON registers, AVX2 registers).
enum TPackedBytes { pbByteWise = 1, pb16 = 16, pb32 = 32 };

// The widest packed form this processor runs.
TPackedBytes ProbePackedBytes();

struct TPixelSettings {
    bool Invert = false;
    int Brightness = 0;           // -255..255; ignored while Invert; 0 = unchanged
    int16_t ContrastFactor = 64;  // 64 = unchanged
};

// dst[0..n) := the stages applied to src[0..n). The byte-wise form copies and then runs one
// pass per enabled stage over dst; the packed forms fuse every stage with the copy and finish
// the last n mod width bytes byte by byte. All forms give the same bytes. A width the processor
// lacks falls back to the widest it has. src and dst must not overlap.
void RunPixelPasses(const uint8_t* src, uint8_t* dst, size_t n, const TPixelSettings& settings,
                    TPackedBytes width);
