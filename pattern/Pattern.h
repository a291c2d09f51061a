#pragma once
// The small regular-expression engine that tests file names against the
// program's constant patterns.
//
// Syntax: a leading "(?i)" makes the test case-insensitive (ASCII letters only;
// bytes >= 0x80 compare exactly); a leading "(?x)" makes blanks in the pattern
// insignificant (both may be given, in either order); "." matches any one byte;
// "$" is the end of the text; "|" separates alternatives; every other byte
// matches itself. A match anywhere in the text counts.
//
// "One character" is one byte. Names may hold non-ASCII or even invalid UTF-8,
// and a byte engine never has to decode them; a two-byte UTF-8 character is
// matched by "..". "." also matches line breaks and NUL bytes.
//
// Malformed patterns keep the meaning a regular-expression search gives them:
// - an empty alternative (an empty pattern, "a||b", a leading or trailing "|")
//   matches every text, as does "$" alone;
// - "$" followed by anything that consumes a byte ("a$b") never matches, while
//   repeated "$" at the end ("a$$") is the same as one;
// - "(?i)" or "(?x)" that is incomplete or not at the start is plain text.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TPattern {
  public:
    explicit TPattern(std::string_view pattern);

    bool Matches(std::string_view text) const;

  private:
    // One alternative without its "$": a literal byte where Mask is 0xFF (in
    // Chars, already case-folded), any byte where Mask is 0.
    struct TSequence {
        std::string Chars;
        std::string Mask;
    };

    void AddAlternative(std::string_view alternative);
    void BuildTailIndex();
    bool MatchesAt(const TSequence& sequence, std::string_view text, size_t position) const;

    const unsigned char* FFold = nullptr;  // byte -> byte compared (lower-cased under "(?i)")
    bool FIgnoreBlanks = false;
    bool FMatchesAll = false;            // an alternative that every text matches
    std::vector<TSequence> FAnchored;    // alternatives ending in "$"
    std::vector<TSequence> FUnanchored;  // alternatives searched anywhere
    // Anchored alternatives by the folded last byte they accept, so a name only
    // meets the few whose last byte it has: FTailIndex[FTailStart[b]..FTailStart[b + 1]).
    std::array<uint32_t, 257> FTailStart{};
    std::vector<uint32_t> FTailIndex;
};

// Tests Text against Pattern; each distinct pattern is compiled once and kept
// (thread-safe). Meant for the program's fixed patterns, which it never drops.
bool MatchesPattern(std::string_view pattern, std::string_view text);
