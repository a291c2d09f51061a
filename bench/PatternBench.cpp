// The media-name test over a folder-scan's worth of names: our engine against
// std::regex (ECMAScript, icase) with the same pattern.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "bench/BenchRatio.h"
#include "pattern/Pattern.h"

namespace {

const char kMediaName[] =
    "(?i)(?x).wmv$|ts.ifo$|.vcd$|.mpg$|.mpeg$|.avi$|.asf$|.m4v$|.mp4$|.264$|.mp3$|.ogg$|"
    ".wma$|.wav$|.aac$|.cda$|.swf$|.flv$|.ram$|.rmvb$|.rm$|.rv$|.mov$|.qt$|.3gp$|.3g2$|"
    ".mkv$|.webm$|.m2ts$|.mpls$";
constexpr size_t kNameCount = 100000;

// Names as a media folder holds them: half media files, the rest documents,
// pictures, subtitles and DVD title files, with stems of 4 to 40 bytes.
const std::vector<std::string>& FileNames() {
    static const std::vector<std::string> names = [] {
        static const char* const kExtensions[] = {
            ".mkv", ".MP4", ".avi", ".mp3", ".Ogg", ".wmv", ".m2ts", ".mpls", ".webm", ".flac",
            ".txt", ".jpg", ".srt", ".nfo", ".BUP", ".IFO", ".png",  ".part", ".idx",  ".sub"};
        const std::string letters =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_- .";
        std::mt19937 random(42);
        std::uniform_int_distribution<size_t> length(4, 40), letter(0, letters.size() - 1),
            extension(0, std::size(kExtensions) - 1);
        std::vector<std::string> result;
        for (size_t i = 0; i < kNameCount; ++i) {
            std::string name;
            for (size_t n = length(random); n > 0; --n) name += letters[letter(random)];
            result.push_back(name +
                             (i % 50 == 0 ? "VIDEO_TS.IFO" : kExtensions[extension(random)]));
        }
        return result;
    }();
    return names;
}

template <typename Test>
void CountMatches(benchmark::State& state, const Test& test) {
    const std::vector<std::string>& names = FileNames();
    for (auto _ : state) {
        size_t matched = 0;
        for (const std::string& name : names) matched += test(name);
        benchmark::DoNotOptimize(matched);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * names.size()));
}

void BM_TPatternMatches(benchmark::State& state) {
    static const TPattern kMedia(kMediaName);
    CountMatches(state, [](const std::string& name) { return kMedia.Matches(name); });
}

void BM_MatchesPattern(benchmark::State& state) {
    CountMatches(state, [](const std::string& name) { return MatchesPattern(kMediaName, name); });
}

void BM_StdRegexSearch(benchmark::State& state) {
    // The same pattern without the leading "(?i)(?x)", which std::regex lacks.
    static const std::regex kMedia(kMediaName + 8, std::regex::ECMAScript | std::regex::icase);
    CountMatches(state, [](const std::string& name) { return std::regex_search(name, kMedia); });
}

BENCHMARK(BM_TPatternMatches)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchesPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdRegexSearch)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Both sides must do the same work.
    size_t ours = 0, peer = 0;
    const std::regex regex(kMediaName + 8, std::regex::ECMAScript | std::regex::icase);
    for (const std::string& name : FileNames()) {
        ours += MatchesPattern(kMediaName, name);
        peer += std::regex_search(name, regex);
    }
    if (ours != peer) {
        std::fprintf(stderr, "Pattern and std::regex disagree: %zu against %zu\n", ours, peer);
        return 1;
    }
    return RunBenchmarksWithRatios(
        argc, argv,
        {{"BM_TPatternMatches", "BM_StdRegexSearch"}, {"BM_MatchesPattern", "BM_StdRegexSearch"}});
}
