#include "filters/PixelPasses.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// ---- The byte-wise form: the copy, then one pass per stage over the output.

uint8_t BrightenByte(uint8_t v, int brightness) {
    return static_cast<uint8_t>(std::clamp(v + brightness, 0, 255));
}

uint8_t ContrastByte(uint8_t v, int factor) {
    // Signed 32-bit product, then an arithmetic shift: division by 64 rounding toward -inf.
    const int t = ((v - 128) * factor) >> 6;
    return static_cast<uint8_t>(std::clamp(t + 128, 0, 255));
}

void ByteWisePasses(const uint8_t* src, uint8_t* dst, size_t n, const TPixelSettings& s) {
    if (n == 0) return;
    std::memcpy(dst, src, n);
    if (s.Invert) {
        for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(~dst[i]);
    } else if (s.Brightness != 0) {
        for (size_t i = 0; i < n; ++i) dst[i] = BrightenByte(dst[i], s.Brightness);
    }
    if (s.ContrastFactor != 64) {
        for (size_t i = 0; i < n; ++i) dst[i] = ContrastByte(dst[i], s.ContrastFactor);
    }
}

// ---- The packed forms, written once on the compiler's generic vectors. The step routines are
// inlined into one entry per width, and the AVX2 entries carry the avx2 target, so only they
// use the wide registers and the build needs no global -mavx2.

enum TFirstStage { fsNone, fsInvert, fsAdd, fsSubtract };
// Narrow: the product (v - 128) * factor fits 16 bits (|factor| <= 255); wide: 32-bit lanes.
enum TContrastStage { csNone, csNarrow, csWide };

template <size_t W>
struct TLanes {
    typedef uint8_t Bytes __attribute__((vector_size(W)));
    typedef uint16_t Words __attribute__((vector_size(W)));  // the same bytes in pairs
    typedef int16_t Shorts __attribute__((vector_size(W)));
    typedef int32_t Longs __attribute__((vector_size(4 * W)));
};

// Vectors travel by reference: these are always inlined, and 32-byte values passed by value
// outside the avx2 entries would draw the compiler's ABI warning.
template <size_t W, TFirstStage First>
[[gnu::always_inline]] inline void FirstStage(typename TLanes<W>::Bytes& v, uint8_t magnitude) {
    using Bytes = typename TLanes<W>::Bytes;
    if constexpr (First == fsInvert) v = ~v;
    // Saturation by adding at most the headroom (~v), subtracting at most v itself.
    if constexpr (First == fsAdd) {
        const Bytes headroom = ~v;
        v += headroom < magnitude ? headroom : magnitude;
    }
    if constexpr (First == fsSubtract) v -= v < magnitude ? v : magnitude;
}

// t := clamp(t, -128, 127) + 128, so 0..255.
template <class Lanes>
[[gnu::always_inline]] inline void Recentred(Lanes& t) {
    t = t < -128 ? -128 : t;
    t = t > 127 ? 127 : t;
    t += 128;
}

// Narrow: the low and the high byte of each 16-bit pair each take a 16-bit lane of their own,
// so no widening, packing or lane crossing is needed. Wide: 32-bit lanes.
template <size_t W, TContrastStage Contrast>
[[gnu::always_inline]] inline void ContrastStage(typename TLanes<W>::Bytes& v, int16_t factor) {
    using L = TLanes<W>;
    if constexpr (Contrast == csNarrow) {
        const auto pairs = reinterpret_cast<typename L::Words&>(v);
        auto low = ((reinterpret_cast<typename L::Shorts>(pairs & 0xFF) - 128) * factor) >> 6;
        auto high = ((reinterpret_cast<typename L::Shorts>(pairs >> 8) - 128) * factor) >> 6;
        Recentred(low);
        Recentred(high);
        const auto merged = reinterpret_cast<typename L::Words>(low) |
                            (reinterpret_cast<typename L::Words>(high) << 8);
        v = reinterpret_cast<typename L::Bytes>(merged);
    }
    if constexpr (Contrast == csWide) {
        auto t = ((__builtin_convertvector(v, typename L::Longs) - 128) * factor) >> 6;
        Recentred(t);
        v = __builtin_convertvector(t, typename L::Bytes);
    }
}

template <size_t W, TFirstStage First, TContrastStage Contrast>
[[gnu::always_inline]] inline void PackedSteps(const uint8_t* src, uint8_t* dst, size_t n,
                                               uint8_t magnitude, int16_t factor) {
    typename TLanes<W>::Bytes v;
    for (size_t i = 0; i < n; i += W) {
        std::memcpy(&v, src + i, W);
        FirstStage<W, First>(v, magnitude);
        ContrastStage<W, Contrast>(v, factor);
        std::memcpy(dst + i, &v, W);
    }
}

using TStepsEntry = void (*)(const uint8_t*, uint8_t*, size_t, uint8_t, int16_t);

template <size_t W, TFirstStage First, TContrastStage Contrast>
struct TSteps;

template <TFirstStage First, TContrastStage Contrast>
struct TSteps<16, First, Contrast> {
    static void Run(const uint8_t* src, uint8_t* dst, size_t n, uint8_t magnitude, int16_t factor) {
        PackedSteps<16, First, Contrast>(src, dst, n, magnitude, factor);
    }
};

#if defined(__x86_64__) || defined(__i386__)
template <TFirstStage First, TContrastStage Contrast>
struct TSteps<32, First, Contrast> {
    [[gnu::target("avx2")]] static void Run(const uint8_t* src, uint8_t* dst, size_t n,
                                            uint8_t magnitude, int16_t factor) {
        PackedSteps<32, First, Contrast>(src, dst, n, magnitude, factor);
    }
};
#endif

template <size_t W, TFirstStage First>
TStepsEntry PickContrast(TContrastStage contrast) {
    switch (contrast) {
        case csNarrow:
            return &TSteps<W, First, csNarrow>::Run;
        case csWide:
            return &TSteps<W, First, csWide>::Run;
        default:
            return &TSteps<W, First, csNone>::Run;
    }
}

template <size_t W>
TStepsEntry PickSteps(TFirstStage first, TContrastStage contrast) {
    switch (first) {
        case fsInvert:
            return PickContrast<W, fsInvert>(contrast);
        case fsAdd:
            return PickContrast<W, fsAdd>(contrast);
        case fsSubtract:
            return PickContrast<W, fsSubtract>(contrast);
        default:
            return PickContrast<W, fsNone>(contrast);
    }
}

TFirstStage FirstStageOf(const TPixelSettings& s) {
    if (s.Invert) return fsInvert;
    if (s.Brightness > 0) return fsAdd;
    if (s.Brightness < 0) return fsSubtract;
    return fsNone;
}

TContrastStage ContrastStageOf(const TPixelSettings& s) {
    if (s.ContrastFactor == 64) return csNone;
    return std::abs(s.ContrastFactor) <= 255 ? csNarrow : csWide;
}

TStepsEntry PickEntry(TPackedBytes width, TFirstStage first, TContrastStage contrast) {
#if defined(__x86_64__) || defined(__i386__)
    if (width == pb32) return PickSteps<32>(first, contrast);
#endif
    return PickSteps<16>(first, contrast);
}

}  // namespace

TPackedBytes ProbePackedBytes() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return pb32;
    if (__builtin_cpu_supports("sse2")) return pb16;
    return pbByteWise;
#else
    return pb16;  // the generic 16-byte vectors map onto the processor's own (NEON, ...)
#endif
}

void RunPixelPasses(const uint8_t* src, uint8_t* dst, size_t n, const TPixelSettings& settings,
                    TPackedBytes width) {
    static const TPackedBytes widest = ProbePackedBytes();
    width = std::min(width, widest);
    const TFirstStage first = FirstStageOf(settings);
    const TContrastStage contrast = ContrastStageOf(settings);
    if (width == pbByteWise || (first == fsNone && contrast == csNone)) {
        ByteWisePasses(src, dst, n, settings);  // a plain copy when no stage is on
        return;
    }
    const size_t whole = n - n % static_cast<size_t>(width);
    const auto magnitude = static_cast<uint8_t>(std::min(std::abs(settings.Brightness), 255));
    PickEntry(width, first, contrast)(src, dst, whole, magnitude, settings.ContrastFactor);
    ByteWisePasses(src + whole, dst + whole, n - whole, settings);
}
