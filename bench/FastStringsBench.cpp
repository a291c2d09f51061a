// SearchText against the C library's memmem and std::string_view::find on
// 1 MiB of word-like text, for a pattern planted once near the end. For the
// case-insensitive search the peers get copies of text and pattern that were
// upper-cased before timing, so their figure leaves out the folding we do.
// The short pattern starts with a byte that never occurs in the text: the best
// case of string_view::find, which hunts for the first byte with memchr.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>

#include "bench/BenchRatio.h"
#include "desktop/FastStrings.h"

namespace {

constexpr size_t kTextSize = 1 << 20;

// Lower-case words of 2 to 9 letters (file-name like), then the pattern in
// mixed case near the end so every search scans almost all of it.
std::string MakeText(const std::string& planted) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> letter('a', 'z'), length(2, 9);
    std::string text;
    text.reserve(kTextSize);
    while (text.size() < kTextSize - planted.size() - 64) {
        for (int i = length(random); i > 0; --i) text += static_cast<char>(letter(random));
        text += (random() % 8 == 0) ? '/' : ' ';
    }
    text += planted;
    text.resize(kTextSize, ' ');
    return text;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

struct Case {
    std::string pattern;  // as searched
    std::string text;     // holds the pattern once, in mixed case for the insensitive runs
    std::string upperText, upperPattern;
};

Case MakeCase(const std::string& pattern, bool mixedCase) {
    std::string planted = pattern;
    if (mixedCase)
        planted[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(planted[0])));
    Case c{pattern, MakeText(planted), {}, {}};
    c.upperText = Upper(c.text);
    c.upperPattern = Upper(pattern);
    return c;
}

const Case& ShortCase() {
    static const Case c = MakeCase(".mkv", false);
    return c;
}
const Case& LongCase() {
    static const Case c = MakeCase("folderlocation.txt", false);
    return c;
}
const Case& LongMixedCase() {
    static const Case c = MakeCase("folderlocation.txt", true);
    return c;
}

void Ours(benchmark::State& state, const Case& c, bool caseSensitive) {
    for (auto _ : state) benchmark::DoNotOptimize(SearchText(c.text, c.pattern, caseSensitive, 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTextSize);
}

void Memmem(benchmark::State& state, const std::string& text, const std::string& pattern) {
    for (auto _ : state)
        benchmark::DoNotOptimize(memmem(text.data(), text.size(), pattern.data(), pattern.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTextSize);
}

void Find(benchmark::State& state, const std::string& text, const std::string& pattern) {
    std::string_view view(text);
    for (auto _ : state) benchmark::DoNotOptimize(view.find(pattern));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTextSize);
}

void BM_SearchText_Short(benchmark::State& s) {
    Ours(s, ShortCase(), true);
}
void BM_Memmem_Short(benchmark::State& s) {
    Memmem(s, ShortCase().text, ShortCase().pattern);
}
void BM_Find_Short(benchmark::State& s) {
    Find(s, ShortCase().text, ShortCase().pattern);
}
void BM_SearchText_Long(benchmark::State& s) {
    Ours(s, LongCase(), true);
}
void BM_Memmem_Long(benchmark::State& s) {
    Memmem(s, LongCase().text, LongCase().pattern);
}
void BM_Find_Long(benchmark::State& s) {
    Find(s, LongCase().text, LongCase().pattern);
}
void BM_SearchTextNoCase_Long(benchmark::State& s) {
    Ours(s, LongMixedCase(), false);
}
void BM_MemmemUpper_Long(benchmark::State& s) {
    Memmem(s, LongMixedCase().upperText, LongMixedCase().upperPattern);
}
void BM_FindUpper_Long(benchmark::State& s) {
    Find(s, LongMixedCase().upperText, LongMixedCase().upperPattern);
}

BENCHMARK(BM_SearchText_Short);
BENCHMARK(BM_Memmem_Short);
BENCHMARK(BM_Find_Short);
BENCHMARK(BM_SearchText_Long);
BENCHMARK(BM_Memmem_Long);
BENCHMARK(BM_Find_Long);
BENCHMARK(BM_SearchTextNoCase_Long);
BENCHMARK(BM_MemmemUpper_Long);
BENCHMARK(BM_FindUpper_Long);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarksWithRatios(argc, argv,
                                   {{"BM_SearchText_Short", "BM_Memmem_Short"},
                                    {"BM_SearchText_Short", "BM_Find_Short"},
                                    {"BM_SearchText_Long", "BM_Memmem_Long"},
                                    {"BM_SearchText_Long", "BM_Find_Long"},
                                    {"BM_SearchTextNoCase_Long", "BM_MemmemUpper_Long"},
                                    {"BM_SearchTextNoCase_Long", "BM_FindUpper_Long"}});
}
