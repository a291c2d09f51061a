// Fuzzes SearchText against a naive search: same answer for any text, pattern,
// case mode and start position, including texts long enough for the search to
// split them into side-by-side stretches (a match may lie anywhere in those).
//
// Input: [flags][start][fill][cut][plant] \x1F pattern \x1E text.
//   flags & 1:  case-sensitive
//   flags >> 1: that many 256-byte runs of the fill byte go into the text at
//               cut/255 of its length (0 to 32 KB)
//   start:      the start position, spread over -1 .. the text's length + 2
//   plant:      with bit 7, the pattern is written over the text so that its
//               last byte lies (plant >> 3 & 15) - 8 bytes from the border of
//               stretch (plant & 7) of a search that cuts the text after the
//               start into eight stretches, as SearchText does with long
//               texts: borders are where such a search misses or doubles a match
// Without a head the input is the text and its first three bytes the pattern.
#include "desktop/FastStrings.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr size_t kMaxPattern = 256;  // keeps the naive search quick on long texts

unsigned char Folded(char c, bool caseSensitive) {
    const auto byte = static_cast<unsigned char>(c);
    return !caseSensitive && byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 32)
                                                        : byte;
}

std::ptrdiff_t NaiveSearch(std::string_view text, std::string_view pattern, bool caseSensitive,
                           std::ptrdiff_t startPos) {
    if (text.empty() || pattern.empty() || startPos < 1) return -1;
    for (size_t at = static_cast<size_t>(startPos - 1); at + pattern.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < pattern.size() &&
               Folded(text[at + i], caseSensitive) == Folded(pattern[i], caseSensitive))
            ++i;
        if (i == pattern.size()) return static_cast<std::ptrdiff_t>(at) + 1;
    }
    return -1;
}

struct TCase {
    std::string Text;
    std::string_view Pattern;
    bool CaseSensitive = false;
    std::ptrdiff_t StartPos = 1;
};

void Plant(TCase& made, uint8_t plant) {
    const size_t m = made.Pattern.size(), n = made.Text.size();
    if (m == 0 || made.StartPos < 1 || static_cast<size_t>(made.StartPos) + m > n + 1) return;
    const size_t first = static_cast<size_t>(made.StartPos) - 1 + m - 1;  // the first last byte
    const size_t border = first + (plant & 7) * ((n - first) / 8);
    const std::ptrdiff_t last = static_cast<std::ptrdiff_t>(border) + ((plant >> 3) & 15) - 8;
    if (last < static_cast<std::ptrdiff_t>(first) || last >= static_cast<std::ptrdiff_t>(n)) return;
    made.Text.replace(static_cast<size_t>(last) + 1 - m, m, made.Pattern);
}

TCase MakeCase(const TFuzzInput& input) {
    TCase made;
    if (!input.HasHead) {
        made.Pattern = input.Body.substr(0, 3);
        made.Text = input.Body;
        return made;
    }
    const std::string_view controls = input.Head[0];
    made.CaseSensitive = ControlByte(controls, 0) & 1;
    made.Pattern = input.Head[1].substr(0, kMaxPattern);
    const size_t runs = ControlByte(controls, 0) >> 1;
    const size_t cut = input.Body.size() * ControlByte(controls, 3) / 255;
    made.Text.assign(input.Body.substr(0, cut))
        .append(runs * 256, static_cast<char>(ControlByte(controls, 2)))
        .append(input.Body.substr(cut));
    const auto spread = static_cast<std::ptrdiff_t>(made.Text.size() + 4);
    made.StartPos = ControlByte(controls, 1) * spread / 255 - 1;
    if (ControlByte(controls, 4) & 0x80) Plant(made, ControlByte(controls, 4));
    return made;
}

std::vector<std::string> Seeds() {
    using namespace std::string_view_literals;
    const std::string lines = "Holiday 2009.MPG\n(?i).wmv$\nVIDEO_TS.IFO\nsong.mp3\n";
    return {
        SeedInput({"\x00\x00"sv, ".mpg"}, lines),
        SeedInput({"\x01\x10", "IFO"}, lines),
        SeedInput({"\x50\x00\x61\x80"sv, "aab"}, "aaab aab"),
        SeedInput({"\x4B\x00\x20\xFF"sv, "Z z"}, "z Z z"),
        SeedInput({"\x48\x00\x00\x7F"sv, "\x00\xFF"sv}, "\xFF\xC3\xA9"),
        SeedInput({"\xFE\xFF\x41", "aA"}, "xaAx"),
        SeedInput({"\x60\x08\x2E\x80\xC1"sv, "IFO"}, lines),
    };
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    PlantSeeds(*argc, *argv, Seeds());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TCase c = MakeCase(SplitInput(data, size, 2));
    const std::ptrdiff_t found = SearchText(c.Text, c.Pattern, c.CaseSensitive, c.StartPos);
    const std::ptrdiff_t expected = NaiveSearch(c.Text, c.Pattern, c.CaseSensitive, c.StartPos);
    Check(found == expected, [&] {
        return "SearchText(" +
               (c.Text.size() <= 512 ? Escaped(c.Text)
                                     : "<" + std::to_string(c.Text.size()) + " bytes>") +
               ", " + Escaped(c.Pattern) + ", " + (c.CaseSensitive ? "true" : "false") + ", " +
               std::to_string(c.StartPos) + ") gave " + std::to_string(found) + ", expected " +
               std::to_string(expected);
    });
    return 0;
}
