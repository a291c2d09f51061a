// Fuzzes the pattern engine behind MatchesPattern: TPattern must agree with a
// plain reference matcher written from the syntax in pattern/Pattern.h, for any
// pattern and any name, and the program's own patterns must answer through
// MatchesPattern as the reference does.
//
// Input: pattern \x1E name (without \x1E, the whole input is the name).
#include <cctype>

#include "pattern/Pattern.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The patterns the player itself uses. MatchesPattern keeps every pattern it
// meets, so fuzzed patterns go to TPattern directly.
const char* const kProgramPatterns[] = {
    "(?i).IFO$",  "(?i).wmv$|.asf$|.mpg$|.mpeg$",
    "(?i).mpls$", "(?i).wav$|.mp3$|.wma$|.cda$|.ogg$|.aac$",
    "(?i).wmv$",
};

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

unsigned char Folded(char c, bool ignoreCase) {
    const auto byte = static_cast<unsigned char>(c);
    return ignoreCase && byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + 32) : byte;
}

// A backtracking-free regular-expression search over the tokens ".", "$" and
// literal bytes: try each alternative at each start, one token after the other.
bool ReferenceMatch(std::string_view pattern, std::string_view name) {
    bool ignoreCase = false, ignoreBlanks = false;
    for (;;) {
        while (ignoreBlanks && !pattern.empty() && IsBlank(pattern[0])) pattern.remove_prefix(1);
        if (pattern.starts_with("(?i)")) {
            ignoreCase = true;
        } else if (pattern.starts_with("(?x)")) {
            ignoreBlanks = true;
        } else {
            break;
        }
        pattern.remove_prefix(4);
    }
    std::vector<std::string_view> alternatives;
    for (size_t bar; (bar = pattern.find('|')) != std::string_view::npos;) {
        alternatives.push_back(pattern.substr(0, bar));
        pattern.remove_prefix(bar + 1);
    }
    alternatives.push_back(pattern);
    for (const std::string_view alternative : alternatives) {
        for (size_t start = 0; start <= name.size(); ++start) {
            size_t at = start;
            bool matched = true;
            for (const char token : alternative) {
                if (ignoreBlanks && IsBlank(token)) continue;
                if (token == '$') {
                    matched = at == name.size();
                } else {
                    matched =
                        at < name.size() &&
                        (token == '.' || Folded(token, ignoreCase) == Folded(name[at], ignoreCase));
                    ++at;
                }
                if (!matched) break;
            }
            if (matched) return true;
        }
    }
    return false;
}

std::string Swapped(std::string_view text) {
    std::string swapped(text);
    for (char& c : swapped)
        if (std::isalpha(static_cast<unsigned char>(c))) c = static_cast<char>(c ^ 0x20);
    return swapped;
}

void CheckName(const TPattern& compiled, std::string_view pattern, const std::string& name) {
    const bool ours = compiled.Matches(name);
    Check(ours == ReferenceMatch(pattern, name), [&] {
        return "TPattern(" + Escaped(pattern) + ").Matches(" + Escaped(name) + ") gave " +
               (ours ? "true" : "false");
    });
    for (const char* const program : kProgramPatterns) {
        const bool matched = MatchesPattern(program, name);
        Check(matched == ReferenceMatch(program, name), [&] {
            return std::string("MatchesPattern(\"") + program + "\", " + Escaped(name) + ") gave " +
                   (matched ? "true" : "false");
        });
    }
}

std::vector<std::string> Seeds() {
    return {
        SeedInput({"(?i).wmv$|.asf$|.mpg$|.mpeg$"}, "/films/Holiday.MPEG"),
        SeedInput({"(?i).IFO$"}, "/dvd/VIDEO_TS/VIDEO_TS.IFO"),
        SeedInput({"(?x)(?i) .mp 3 $ | .ogg$"}, "song.MP3"),
        SeedInput({"(?i)(?x).wav$|a$b|$"}, "x"),
        SeedInput({"a||b"}, ""),
        SeedInput({"x$$|(?i)"}, "xx(?i)"),
        SeedInput({"\xC3\xA9t\xC3\xA9.$"}, "\xC3\xA9t\xC3\xA9\xC3\xA9"),
        SeedInput({std::string_view("..$|\x00.", 6)}, std::string_view("a\x00\n", 3)),
    };
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    PlantSeeds(*argc, *argv, Seeds());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TFuzzInput input = SplitInput(data, size, 1);
    const std::string_view pattern = input.Head[0];
    const TPattern compiled(pattern);
    // Random names rarely hold a pattern's bytes, let alone its letters in the
    // other case: the name is also tried with the pattern's bytes (but "$" and
    // "|") appended, and both with their ASCII letters' case swapped.
    std::string withPattern(input.Body);
    for (const char c : pattern)
        if (c != '$' && c != '|') withPattern += c;
    for (const std::string_view given : {input.Body, std::string_view(withPattern)})
        for (const bool swap : {false, true})
            CheckName(compiled, pattern, swap ? Swapped(given) : std::string(given));
    return 0;
}
