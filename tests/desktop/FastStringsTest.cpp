#include <gtest/gtest.h>

#include <random>
#include <string>

#include "desktop/FastStrings.h"

namespace {

TEST(SearchText, EmptyInputsAndStartsBelowOneGiveMinusOne) {
    EXPECT_EQ(SearchText("abc", "b", true, 0), -1);
    EXPECT_EQ(SearchText("abc", "b", true, -5), -1);
    EXPECT_EQ(SearchText("", "b", true, 1), -1);
    EXPECT_EQ(SearchText("abc", "", true, 1), -1);
    EXPECT_EQ(SearchText("abc", "abcd", true, 1), -1);
    EXPECT_EQ(SearchText("abc", "c", true, 4), -1);
    EXPECT_EQ(SearchText("abc", "c", true, 3), 3);
}

TEST(SearchText, FindsTheFirstOccurrenceAtOrAfterTheStart) {
    EXPECT_EQ(SearchText("xOpenFolder", "OpenFolder", true, 1), 2);
    EXPECT_EQ(SearchText("abab", "ab", true, 1), 1);
    EXPECT_EQ(SearchText("abab", "ab", true, 2), 3);
    EXPECT_EQ(SearchText("aaaa", "aa", true, 3), 3);
    EXPECT_EQ(SearchText("abc", "abc", true, 1), 1);
}

TEST(SearchText, CaseModes) {
    EXPECT_EQ(SearchText("xxabcxx", "ABC", false, 1), 3);
    EXPECT_EQ(SearchText("xxabcxx", "ABC", true, 1), -1);
    EXPECT_EQ(SearchText("VIDEO_TS.IFO", "ts.ifo", false, 1), 7);
    // Only ASCII letters fold: '@' and '`' differ by the case bit but are no letters,
    // and the UTF-8 bytes of "É" and "é" stay different.
    EXPECT_EQ(SearchText("a`b", "A@B", false, 1), -1);
    EXPECT_EQ(SearchText("caf\xC3\xA9", "CAF\xC3\x89", false, 1), -1);
    EXPECT_EQ(SearchText("CAF\xC3\xA9", "caf\xC3\xA9", false, 1), 1);
}

std::ptrdiff_t NaiveSearch(const std::string& text, const std::string& pattern, bool caseSensitive,
                           std::ptrdiff_t start) {
    auto fold = [caseSensitive](unsigned char c) {
        return !caseSensitive && c >= 'a' && c <= 'z' ? c - 32 : c;
    };
    if (text.empty() || pattern.empty() || start < 1) return -1;
    for (size_t i = static_cast<size_t>(start - 1); i + pattern.size() <= text.size(); ++i) {
        size_t j = 0;
        while (j < pattern.size() && fold(text[i + j]) == fold(pattern[j])) ++j;
        if (j == pattern.size()) return static_cast<std::ptrdiff_t>(i) + 1;
    }
    return -1;
}

// Random texts over small alphabets (many near misses), with long ones whose
// only occurrences are planted anywhere, lane borders included.
TEST(SearchText, AgreesWithANaiveSearch) {
    std::mt19937 random(1234);
    const std::string alphabets[] = {"ab", "aAbB", "xyzXYZ\xC3\xA9@`",
                                     "abcdefghijklmnopqrstuvwxyz"};
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    for (int round = 0; round < 3000; ++round) {
        const std::string& alphabet = alphabets[pick(4)];
        size_t length = round % 10 == 0 ? 8000 + pick(60000) : pick(64);
        std::string text(length, ' ');
        for (char& c : text) c = alphabet[pick(alphabet.size())];
        std::string pattern(1 + pick(round % 3 == 0 ? 40 : 6), ' ');
        for (char& c : pattern) c = alphabet[pick(alphabet.size())];
        if (length > 8000) {
            pattern += "#Q";  // never in the text, so every occurrence is a planted one
            for (int plants = static_cast<int>(pick(3)); plants > 0; --plants) {
                size_t at = pick(text.size() - pattern.size());
                text.replace(at, pattern.size(), pattern);
            }
        }
        bool caseSensitive = random() % 2 == 0;
        std::ptrdiff_t start = static_cast<std::ptrdiff_t>(pick(length + 2)) - (round % 7 == 0);
        ASSERT_EQ(SearchText(text, pattern, caseSensitive, start),
                  NaiveSearch(text, pattern, caseSensitive, start))
            << "pattern " << pattern << " start " << start << " length " << length << " case "
            << caseSensitive;
    }
}

// Long texts are scanned in stretches; an occurrence near any eighth of the
// text, alone or followed by a later one, must still be the one reported.
TEST(SearchText, FindsOccurrencesAroundEveryEighthOfALongText) {
    const std::string pattern = "bcdE";
    const size_t length = 40000;
    for (size_t eighth = 1; eighth < 8; ++eighth) {
        for (size_t at = eighth * length / 8 - 40; at < eighth * length / 8 + 40; ++at) {
            std::string text(length, 'a');
            text.replace(at, pattern.size(), pattern);
            text.replace(length - 10, pattern.size(), pattern);
            ASSERT_EQ(SearchText(text, pattern, true, 1), static_cast<std::ptrdiff_t>(at) + 1);
            ASSERT_EQ(SearchText(text, "BCDe", false, 1), static_cast<std::ptrdiff_t>(at) + 1);
        }
    }
}

}  // namespace
