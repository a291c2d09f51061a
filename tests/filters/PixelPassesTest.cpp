// The byte-wise passes against the worked values, and every packed form against the
// byte-wise one on random frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "filters/PixelPasses.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Passes(const Bytes& in, const TPixelSettings& settings, TPackedBytes width) {
    Bytes out(in.size() + 1, 0xA5);  // one guard byte past the frame
    RunPixelPasses(in.data(), out.data(), in.size(), settings, width);
    EXPECT_EQ(out.back(), 0xA5) << "wrote past the frame";
    out.pop_back();
    return out;
}

// Widths to check: the byte-wise form and each packed form this processor runs.
std::vector<TPackedBytes> Widths() {
    std::vector<TPackedBytes> widths{pbByteWise};
    for (TPackedBytes width : {pb16, pb32})
        if (ProbePackedBytes() >= width) widths.push_back(width);
    return widths;
}

TPixelSettings Settings(bool invert, int brightness, int16_t contrast) {
    TPixelSettings s;
    s.Invert = invert;
    s.Brightness = brightness;
    s.ContrastFactor = contrast;
    return s;
}

// A worked frame repeated past every packed width, so both the packed steps and the tail
// meet each value.
Bytes Repeated(const Bytes& values, size_t length = 77) {
    Bytes frame(length);
    for (size_t i = 0; i < length; ++i) frame[i] = values[i % values.size()];
    return frame;
}

TEST(PixelPasses, WorkedValuesOnEveryForm) {
    struct Case {
        TPixelSettings settings;
        Bytes in, out;
    } cases[] = {
        {Settings(false, 40, 64), {0, 200, 230, 255}, {40, 240, 255, 255}},
        {Settings(false, -40, 64), {0, 30, 200}, {0, 0, 160}},
        {Settings(false, 0, 128), {0, 100, 128, 150, 255}, {0, 72, 128, 172, 255}},
        {Settings(false, 0, 0), {0, 1, 127, 128, 255}, {128, 128, 128, 128, 128}},
        {Settings(false, 0, 32), {0, 255}, {64, 191}},
        {Settings(false, 0, 64), {0, 1, 254, 255}, {0, 1, 254, 255}},
        // Invert ignores the brightness; contrast still follows it.
        {Settings(true, 200, 64), {0, 10, 255}, {255, 245, 0}},
        {Settings(true, -200, 128), {100}, {182}},
    };
    for (const Case& c : cases) {
        for (TPackedBytes width : Widths()) {
            EXPECT_EQ(Passes(Repeated(c.in), c.settings, width), Repeated(c.out))
                << "width " << width << " first input " << int(c.in[0]);
        }
    }
}

TEST(PixelPasses, EmptyFrameWritesNothing) {
    Bytes in{1, 2, 3};
    for (TPackedBytes width : Widths()) {
        Bytes out{9, 9, 9};
        RunPixelPasses(in.data(), out.data(), 0, Settings(true, 0, 0), width);
        EXPECT_EQ(out, (Bytes{9, 9, 9}));
    }
}

// Every brightness, with and without invert and a spread of contrast factors (both sides of
// the 16-bit product limit), on random frames whose lengths are mostly not whole steps.
TEST(PixelPasses, PackedFormsEqualTheByteWiseFormOnRandomFrames) {
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 200);
    const int16_t factors[] = {-32768, -256, -255, -64, -1,  0,   1,   32,   63,   64,
                               65,     100,  128,  200, 255, 256, 300, 1000, 32767};
    for (int brightness = -255; brightness <= 255; ++brightness) {
        Bytes in(static_cast<size_t>(length(random)));
        for (uint8_t& b : in) b = static_cast<uint8_t>(byte(random));
        for (int16_t factor : factors) {
            const TPixelSettings settings = Settings(brightness % 7 == 0, brightness, factor);
            const Bytes expected = Passes(in, settings, pbByteWise);
            for (TPackedBytes width : Widths()) {
                ASSERT_EQ(Passes(in, settings, width), expected)
                    << "width " << width << " brightness " << brightness << " factor " << factor
                    << " length " << in.size();
            }
        }
    }
}

// The whole byte range through every first stage at the extremes.
TEST(PixelPasses, EveryByteValueSaturatesAlike) {
    Bytes all(256 + 31);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
    for (int brightness : {-255, -1, 1, 255}) {
        const Bytes expected = Passes(all, Settings(false, brightness, 64), pbByteWise);
        for (size_t i = 0; i < all.size(); ++i)
            ASSERT_EQ(expected[i], std::clamp(int(all[i]) + brightness, 0, 255));
        for (TPackedBytes width : Widths())
            EXPECT_EQ(Passes(all, Settings(false, brightness, 64), width), expected);
    }
}

}  // namespace
