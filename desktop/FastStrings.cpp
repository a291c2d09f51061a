#include "desktop/FastStrings.h"

#include <array>

namespace {

// Upper case of every byte value, made once (at compile time). Only ASCII
// letters change: the text is UTF-8, whose other bytes must stay themselves.
constexpr std::array<unsigned char, 256> kUpper = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return table;
}();

struct Identity {
    unsigned char operator()(unsigned char c) const { return c; }
};

struct UpperCase {
    unsigned char operator()(unsigned char c) const { return kUpper[c]; }
};

constexpr size_t kNone = static_cast<size_t>(-1);

// Boyer-Moore-Horspool over text[0, n) for a pattern of m bytes. Positions k
// are text indexes under the pattern's last byte. Fold maps bytes before any
// comparison; the skip table is keyed by folded bytes and then copied to every
// byte that folds the same way, so the scan looks raw text bytes up directly.
template <typename Fold>
class Horspool {
  public:
    Horspool(const unsigned char* text, size_t n, const unsigned char* pattern, size_t m)
        : FText(text),
          FSize(n),
          FPattern(pattern),
          FLength(m),
          FLast(Fold{}(pattern[m - 1])),
          FLastTwin(Fold{}(FLast) == Fold{}(FLast | 0x20) ? static_cast<unsigned char>(FLast | 0x20)
                                                          : FLast) {
        for (size_t& entry : FSkip) entry = m;
        for (size_t i = 0; i + 1 < m; ++i) FSkip[Fold{}(pattern[i])] = m - 1 - i;
        for (int c = 0; c < 256; ++c) FSkip[c] = FSkip[Fold{}(static_cast<unsigned char>(c))];
    }

    // Index of the first match's first byte at or after start, or kNone.
    size_t Find(size_t start) const {
        size_t first = start + FLength - 1;
        if (FSize - first < kLanes * kMinLaneSpan) return Finish(Run(first, FSize));
        return FindInLanes(first);
    }

  private:
    // Long texts are cut into stretches scanned side by side: each stretch is
    // an ordinary Horspool run, but interleaving them hides the latency of
    // the table look-up that every step of a single run waits for.
    static constexpr size_t kLanes = 8;
    static constexpr size_t kMinLaneSpan = 1024;

    size_t FindInLanes(size_t first) const {
        size_t k[kLanes], end[kLanes];
        size_t span = (FSize - first) / kLanes;
        for (size_t i = 0; i < kLanes; ++i) {
            k[i] = first + i * span;
            end[i] = i + 1 < kLanes ? k[i] + span : FSize;
        }
        size_t found = kNone;  // lane of a match; every lane before it still runs
        while (found == kNone && AllRunning(k, end)) {
            for (size_t i = 0; i < kLanes; ++i) {
                unsigned char c = FText[k[i]];
                if (IsLast(c) && MatchesAt(k[i])) {
                    found = i;
                    break;
                }
                k[i] += FSkip[c];
            }
        }
        for (size_t i = 0; i < kLanes; ++i) {
            size_t match = i == found ? k[i] : Run(k[i], end[i]);
            if (match != kNone) return Finish(match);
        }
        return kNone;
    }

    static bool AllRunning(const size_t* k, const size_t* end) {
        bool running = true;
        for (size_t i = 0; i < kLanes; ++i) running &= k[i] < end[i];
        return running;
    }

    // Whether c folds to the pattern's last byte, without a table look-up.
    bool IsLast(unsigned char c) const { return c == FLast || c == FLastTwin; }

    size_t Run(size_t k, size_t end) const {
        for (; k < end; k += FSkip[FText[k]])
            if (IsLast(FText[k]) && MatchesAt(k)) return k;
        return kNone;
    }

    // The last bytes agree; compare the rest from the back.
    bool MatchesAt(size_t k) const {
        size_t j = FLength - 1;
        while (j > 0 && Fold{}(FText[k - FLength + j]) == Fold{}(FPattern[j - 1])) --j;
        return j == 0;
    }

    size_t Finish(size_t k) const { return k == kNone ? kNone : k + 1 - FLength; }

    const unsigned char* FText;
    size_t FSize;
    const unsigned char* FPattern;
    size_t FLength;
    unsigned char FLast;
    unsigned char FLastTwin;  // the other byte that folds to FLast, or FLast
    size_t FSkip[256];
};

template <typename Fold>
std::ptrdiff_t Search(std::string_view source, std::string_view pattern, size_t start) {
    Horspool<Fold> search(reinterpret_cast<const unsigned char*>(source.data()), source.size(),
                          reinterpret_cast<const unsigned char*>(pattern.data()), pattern.size());
    size_t index = search.Find(start);
    return index == kNone ? -1 : static_cast<std::ptrdiff_t>(index) + 1;
}

}  // namespace

std::ptrdiff_t SearchText(std::string_view source, std::string_view pattern, bool caseSensitive,
                          std::ptrdiff_t startPos) {
    if (source.empty() || pattern.empty() || startPos < 1) return -1;
    auto start = static_cast<size_t>(startPos - 1);
    if (start >= source.size() || pattern.size() > source.size() - start) return -1;
    return caseSensitive ? Search<Identity>(source, pattern, start)
                         : Search<UpperCase>(source, pattern, start);
}
