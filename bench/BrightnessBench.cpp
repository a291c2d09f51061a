// The brightness filter's whole per-frame step on a 1920x1080 32-bit frame (copy plus
// brightness, invert, contrast, or all three) against a plain memcpy of the same frame, for
// the processor's widest packed form and the byte-wise form.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "bench/BenchRatio.h"
#include "filters/PixelPasses.h"

namespace {

constexpr size_t kFrameSize = 1920 * 1080 * 4;

struct Frames {
    std::vector<uint8_t> source, target;
    Frames() : source(kFrameSize), target(kFrameSize) {
        std::mt19937 random(7);
        for (uint8_t& b : source) b = static_cast<uint8_t>(random());
    }
};

Frames& TheFrames() {
    static Frames frames;
    return frames;
}

void Step(benchmark::State& state, bool invert, int brightness, int16_t contrast,
          TPackedBytes width) {
    Frames& f = TheFrames();
    const TPixelSettings settings{invert, brightness, contrast};
    for (auto _ : state) {
        RunPixelPasses(f.source.data(), f.target.data(), kFrameSize, settings, width);
        benchmark::DoNotOptimize(f.target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameSize));
}

void BM_Memcpy(benchmark::State& state) {
    Frames& f = TheFrames();
    for (auto _ : state) {
        std::memcpy(f.target.data(), f.source.data(), kFrameSize);
        benchmark::DoNotOptimize(f.target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameSize));
}

const TPackedBytes kWide = ProbePackedBytes();

void BM_Brightness_Wide(benchmark::State& s) {
    Step(s, false, 40, 64, kWide);
}
void BM_Invert_Wide(benchmark::State& s) {
    Step(s, true, 0, 64, kWide);
}
void BM_Contrast_Wide(benchmark::State& s) {
    Step(s, false, 0, 128, kWide);
}
void BM_BrightnessContrast_Wide(benchmark::State& s) {
    Step(s, false, 40, 128, kWide);
}
void BM_AllThree_Wide(benchmark::State& s) {
    Step(s, true, 40, 128, kWide);
}
void BM_Brightness_ByteWise(benchmark::State& s) {
    Step(s, false, 40, 64, pbByteWise);
}
void BM_Invert_ByteWise(benchmark::State& s) {
    Step(s, true, 0, 64, pbByteWise);
}
void BM_Contrast_ByteWise(benchmark::State& s) {
    Step(s, false, 0, 128, pbByteWise);
}
void BM_AllThree_ByteWise(benchmark::State& s) {
    Step(s, true, 40, 128, pbByteWise);
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Brightness_Wide);
BENCHMARK(BM_Invert_Wide);
BENCHMARK(BM_Contrast_Wide);
BENCHMARK(BM_BrightnessContrast_Wide);
BENCHMARK(BM_AllThree_Wide);
BENCHMARK(BM_Brightness_ByteWise);
BENCHMARK(BM_Invert_ByteWise);
BENCHMARK(BM_Contrast_ByteWise);
BENCHMARK(BM_AllThree_ByteWise);

}  // namespace

int main(int argc, char** argv) {
    // "All three": invert on (so the brightness gives way to it, as in the filter) and contrast;
    // "BrightnessContrast" is the brightness path followed by contrast.
    return RunBenchmarksWithRatios(argc, argv,
                                   {{"BM_Brightness_Wide", "BM_Memcpy"},
                                    {"BM_Invert_Wide", "BM_Memcpy"},
                                    {"BM_Contrast_Wide", "BM_Memcpy"},
                                    {"BM_BrightnessContrast_Wide", "BM_Memcpy"},
                                    {"BM_AllThree_Wide", "BM_Memcpy"},
                                    {"BM_Brightness_ByteWise", "BM_Memcpy"},
                                    {"BM_Invert_ByteWise", "BM_Memcpy"},
                                    {"BM_Contrast_ByteWise", "BM_Memcpy"},
                                    {"BM_AllThree_ByteWise", "BM_Memcpy"}});
}
