#include "pattern/Pattern.h"

#include <map>
#include <mutex>

namespace {

constexpr std::array<unsigned char, 256> MakeFoldTable(bool lowerCase) {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = static_cast<unsigned char>(lowerCase && b >= 'A' && b <= 'Z' ? b + 32 : b);
    return table;
}

constexpr std::array<unsigned char, 256> kExactBytes = MakeFoldTable(false);
constexpr std::array<unsigned char, 256> kLowerCaseBytes = MakeFoldTable(true);

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

struct TFlags {
    bool IgnoreCase = false;
    bool IgnoreBlanks = false;
    std::string_view Body;
};

// Takes the leading "(?i)" and "(?x)" off the pattern.
TFlags TakeFlags(std::string_view pattern) {
    TFlags flags;
    for (;;) {
        while (flags.IgnoreBlanks && !pattern.empty() && IsBlank(pattern.front()))
            pattern.remove_prefix(1);
        if (pattern.starts_with("(?i)"))
            flags.IgnoreCase = true;
        else if (pattern.starts_with("(?x)"))
            flags.IgnoreBlanks = true;
        else
            break;
        pattern.remove_prefix(4);
    }
    flags.Body = pattern;
    return flags;
}

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

}  // namespace

TPattern::TPattern(std::string_view pattern) {
    const TFlags flags = TakeFlags(pattern);
    FFold = flags.IgnoreCase ? kLowerCaseBytes.data() : kExactBytes.data();
    FIgnoreBlanks = flags.IgnoreBlanks;
    std::string_view body = flags.Body;
    for (;;) {
        const size_t bar = body.find('|');
        AddAlternative(body.substr(0, bar));
        if (bar == std::string_view::npos) break;
        body.remove_prefix(bar + 1);
    }
    BuildTailIndex();
}

void TPattern::AddAlternative(std::string_view alternative) {
    TSequence sequence;
    bool anchored = false;
    for (char c : alternative) {
        if (FIgnoreBlanks && IsBlank(c)) continue;
        if (c == '$') {
            anchored = true;
            continue;
        }
        if (anchored) return;  // a byte wanted after the end of the text: never matches
        const bool any = c == '.';
        sequence.Chars += any ? '\0' : static_cast<char>(FFold[Byte(c)]);
        sequence.Mask += any ? '\0' : '\xFF';
    }
    if (sequence.Chars.empty())
        FMatchesAll = true;
    else
        (anchored ? FAnchored : FUnanchored).push_back(std::move(sequence));
}

void TPattern::BuildTailIndex() {
    std::array<std::vector<uint32_t>, 256> byLastByte;
    for (uint32_t i = 0; i < FAnchored.size(); ++i) {
        const TSequence& sequence = FAnchored[i];
        if (sequence.Mask.back() != '\0') {
            byLastByte[Byte(sequence.Chars.back())].push_back(i);
        } else {
            for (std::vector<uint32_t>& list : byLastByte) list.push_back(i);
        }
    }
    for (size_t b = 0; b < byLastByte.size(); ++b) {
        FTailStart[b] = static_cast<uint32_t>(FTailIndex.size());
        FTailIndex.insert(FTailIndex.end(), byLastByte[b].begin(), byLastByte[b].end());
    }
    FTailStart[256] = static_cast<uint32_t>(FTailIndex.size());
}

bool TPattern::MatchesAt(const TSequence& sequence, std::string_view text, size_t position) const {
    // Backwards: the ends of names differ most.
    for (size_t i = sequence.Chars.size(); i-- > 0;) {
        if ((FFold[Byte(text[position + i])] & Byte(sequence.Mask[i])) != Byte(sequence.Chars[i]))
            return false;
    }
    return true;
}

bool TPattern::Matches(std::string_view text) const {
    if (FMatchesAll) return true;
    if (!text.empty()) {
        const unsigned char last = FFold[Byte(text.back())];
        for (uint32_t i = FTailStart[last]; i < FTailStart[last + 1]; ++i) {
            const TSequence& sequence = FAnchored[FTailIndex[i]];
            if (sequence.Chars.size() <= text.size() &&
                MatchesAt(sequence, text, text.size() - sequence.Chars.size()))
                return true;
        }
    }
    for (const TSequence& sequence : FUnanchored) {
        for (size_t position = 0; position + sequence.Chars.size() <= text.size(); ++position)
            if (MatchesAt(sequence, text, position)) return true;
    }
    return false;
}

bool MatchesPattern(std::string_view pattern, std::string_view text) {
    static std::mutex lock;
    static std::map<std::string, TPattern, std::less<>> compiled;
    const TPattern* found;
    {
        std::lock_guard<std::mutex> guard(lock);
        auto it = compiled.find(pattern);
        if (it == compiled.end()) it = compiled.emplace(pattern, TPattern(pattern)).first;
        found = &it->second;
    }
    return found->Matches(text);
}
