#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <regex>
#include <thread>
#include <vector>

#include "pattern/Pattern.h"

using namespace std::string_view_literals;

namespace {

const char kMediaName[] =
    "(?i)(?x).wmv$|ts.ifo$|.vcd$|.mpg$|.mpeg$|.avi$|.asf$|.m4v$|.mp4$|.264$|.mp3$|.ogg$|"
    ".wma$|.wav$|.aac$|.cda$|.swf$|.flv$|.ram$|.rmvb$|.rm$|.rv$|.mov$|.qt$|.3gp$|.3g2$|"
    ".mkv$|.webm$|.m2ts$|.mpls$";

const char* const kPatternsInUse[] = {
    kMediaName,
    "(?i).IFO$",
    "(?i).wmv$|.asf$|.mpg$|.mpeg$",
    "(?i).mpls$",
    "(?i).wav$|.mp3$|.wma$|.cda$|.ogg$|.aac$",
    "(?i).wmv$",
};

bool Matches(std::string_view pattern, std::string_view text) {
    return TPattern(pattern).Matches(text);
}

TEST(PatternTest, MediaNamePatternListsMediaFilesOnly) {
    const TPattern media(kMediaName);
    for (std::string_view name :
         {"clip.MKV"sv, "clip_mkv"sv, "VIDEO_TS.IFO"sv, "video_ts.ifo"sv, "notes_mp3"sv,
          "00000.mpls"sv, "a.Mp4"sv, "x.rm"sv, "y.3G2"sv, "movie.m2ts"sv, "clip.WebM"sv,
          "/media/dvd/VIDEO_TS/VIDEO_TS.IFO"sv})
        EXPECT_TRUE(media.Matches(name)) << name;
    for (std::string_view name : {"VTS_01_0.IFO"sv, "VTS_01_0.BUP"sv, "readme.txt"sv, "mkv"sv, ""sv,
                                  "clip.mkv.part"sv, "clip.mkvx"sv, "cover.jpg"sv})
        EXPECT_FALSE(media.Matches(name)) << name;
}

TEST(PatternTest, OtherPatternsInUse) {
    EXPECT_TRUE(Matches("(?i).IFO$", "VTS_01_0.IFO"));
    EXPECT_TRUE(Matches("(?i).IFO$", "/dvd/video_ts/video_ts.ifo"));
    EXPECT_FALSE(Matches("(?i).IFO$", "IFO"));  // "." needs a byte before
    EXPECT_FALSE(Matches("(?i).IFO$", "a.IFO.bak"));
    EXPECT_TRUE(Matches("(?i).wmv$", "clipxwmv"));  // the dot is not escaped
    EXPECT_TRUE(Matches("(?i).wmv$|.asf$|.mpg$|.mpeg$", "/v/a.MPEG"));
    EXPECT_TRUE(Matches("(?i).wav$|.mp3$|.wma$|.cda$|.ogg$|.aac$", "Track01.CDA"));
    EXPECT_FALSE(Matches("(?i).wav$|.mp3$|.wma$|.cda$|.ogg$|.aac$", "clip.mp4"));
}

TEST(PatternTest, SyntaxAndFlags) {
    EXPECT_TRUE(Matches("mp", "xmpx"));  // found anywhere
    EXPECT_FALSE(Matches("mp", "MP"));   // case counts without (?i)
    EXPECT_FALSE(Matches(".IFO$", "a.ifo"));
    EXPECT_TRUE(Matches("(?i)ABC", "xabcx"));
    EXPECT_TRUE(Matches("(?x) a b $", "xab"));
    EXPECT_FALSE(Matches("(?x) a b $", "a b"));
    EXPECT_TRUE(Matches(" a", "x a"));  // blanks count without (?x)
    EXPECT_FALSE(Matches(" a", "xa"));
    EXPECT_TRUE(Matches("(?i)(?x)A B", "ab"));
    EXPECT_TRUE(Matches("(?x)(?i) A B", "ab"));
    EXPECT_TRUE(Matches("(?x) (?i)A", "a"));  // blanks between flags are ignored too
    EXPECT_TRUE(Matches("a|b$", "xa"));
    EXPECT_FALSE(Matches("a$|b$", "ax"));
}

TEST(PatternTest, BytesNotCharacters) {
    // "." takes one byte: a two-byte UTF-8 letter needs two.
    EXPECT_TRUE(Matches("..$", "\xC3\xA9"));
    EXPECT_FALSE(Matches("...", "\xC3\xA9"));
    EXPECT_FALSE(Matches("x.$", "x\xC3\xA9"));
    EXPECT_TRUE(Matches("x..$", "x\xC3\xA9"));
    // Case folding is ASCII only: É (C3 89) and é (C3 A9) differ.
    EXPECT_FALSE(Matches("(?i)\xC3\x89", "\xC3\xA9"));
    EXPECT_TRUE(Matches("(?i)\xC3\x89", "x\xC3\x89"));
    // Invalid UTF-8, NUL and line breaks are ordinary bytes.
    const TPattern media(kMediaName);
    EXPECT_TRUE(media.Matches("\xFF\xFE\xC3(.MKV"));
    EXPECT_TRUE(media.Matches("clip\0.mkv"sv));
    EXPECT_TRUE(media.Matches("\0\0\0\0.mkv"sv));
    EXPECT_FALSE(media.Matches("clip.mkv\0"sv));
    EXPECT_TRUE(media.Matches("clip\0mkv"sv));
    EXPECT_TRUE(media.Matches("clip\nmkv"sv));
    EXPECT_TRUE(Matches("a.b", "a\0b"sv));
    EXPECT_TRUE(Matches("a\0b"sv, "xa\0b"sv));
    EXPECT_FALSE(Matches("a\0b"sv, "a"sv));
}

TEST(PatternTest, MalformedPatternsHaveRegexMeaning) {
    // Empty alternatives match everything.
    for (std::string_view pattern : {""sv, "(?i)"sv, "a||b"sv, "a|"sv, "|a"sv, "$"sv, "(?x) $ "sv})
        for (std::string_view text : {""sv, "zzz"sv, "\xFF"sv})
            EXPECT_TRUE(Matches(pattern, text)) << pattern << " / " << text;
    // "$" before a byte: never.
    for (std::string_view text : {""sv, "a"sv, "ab"sv, "a$b"sv}) {
        EXPECT_FALSE(Matches("a$b", text)) << text;
        EXPECT_FALSE(Matches("$.", text)) << text;
    }
    EXPECT_TRUE(Matches("a$b|c", "xc"));  // the other alternatives still count
    EXPECT_TRUE(Matches("a$$", "ba"));
    EXPECT_FALSE(Matches("a$$", "ab"));
    // Incomplete or misplaced flags are plain text.
    EXPECT_TRUE(Matches("(?i", "x(?i"));
    EXPECT_FALSE(Matches("(?i", "I"));
    EXPECT_TRUE(Matches("a(?i)B", "a(?i)B"));
    EXPECT_FALSE(Matches("a(?i)B", "a(?i)b"));
    EXPECT_TRUE(Matches("(?z)x", "(?z)x"));
    EXPECT_FALSE(Matches("(?z)x", "x"));
    EXPECT_TRUE(Matches("(?", "(?"));
    EXPECT_FALSE(Matches("(", ""));
}

// The regular expression the engine stands for, in ECMAScript syntax.
std::regex ToStdRegex(std::string_view pattern) {
    auto flags = std::regex::ECMAScript;
    if (pattern.starts_with("(?i)")) {
        flags |= std::regex::icase;
        pattern.remove_prefix(4);
    }
    if (pattern.starts_with("(?x)")) pattern.remove_prefix(4);
    return std::regex(std::string(pattern), flags);
}

// Names built to hit the patterns' edges: extensions in mixed case, a wrong
// byte in place of the dot or a letter, non-ASCII bytes, empty names.
std::vector<std::string> RandomNames(size_t count) {
    static const std::string kBytes =
        "abcdfgimopqrstvwAMPIFOTSV0123456789._- $|()\x80\xA9\xC3\xFF\t";
    static const char* const kEndings[] = {
        ".wmv", "ts.ifo", ".vcd", ".mpg",  ".mpeg", ".avi",  ".asf", ".m4v",
        ".mp4", ".264",   ".mp3", ".ogg",  ".wma",  ".wav",  ".aac", ".cda",
        ".swf", ".flv",   ".ram", ".rmvb", ".rm",   ".rv",   ".mov", ".qt",
        ".3gp", ".3g2",   ".mkv", ".webm", ".m2ts", ".mpls", ".IFO"};
    std::mt19937 random(20240611);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        std::string name;
        for (size_t length = pick(12); length > 0; --length) name += kBytes[pick(kBytes.size())];
        if (pick(4) != 0) name += kEndings[pick(std::size(kEndings))];
        for (char& c : name)
            if (pick(5) == 0) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!name.empty() && pick(4) == 0) name[pick(name.size())] = kBytes[pick(kBytes.size())];
        if (pick(6) == 0) name += kBytes[pick(kBytes.size())];
        names.push_back(std::move(name));
    }
    return names;
}

TEST(PatternTest, AgreesWithStdRegexOnRandomNames) {
    std::vector<std::string> patterns(std::begin(kPatternsInUse), std::end(kPatternsInUse));
    for (const char* shape : {"a.c", "(?i)a.c$|mp", ".", "..$", "(?i)..", "a$b|c"})
        patterns.emplace_back(shape);
    const std::vector<std::string> names = RandomNames(10000);
    for (const std::string& pattern : patterns) {
        const TPattern ours(pattern);
        const std::regex peer = ToStdRegex(pattern);
        size_t matched = 0;
        for (const std::string& name : names) {
            const bool expected = std::regex_search(name, peer);
            ASSERT_EQ(ours.Matches(name), expected) << pattern << " / " << name;
            matched += expected;
        }
        // Both outcomes occur, so the comparison says something.
        EXPECT_GT(matched, 0u) << pattern;
        EXPECT_LT(matched, names.size()) << pattern;
    }
}

TEST(PatternTest, MatchesPatternCachesAcrossThreads) {
    const std::vector<std::string> names = RandomNames(2000);
    std::vector<std::vector<bool>> expected;
    for (const char* pattern : kPatternsInUse) {
        const TPattern compiled(pattern);
        expected.emplace_back();
        for (const std::string& name : names) expected.back().push_back(compiled.Matches(name));
    }
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (size_t p = 0; p < std::size(kPatternsInUse); ++p) {
                const size_t which = (p + t) % std::size(kPatternsInUse);
                for (size_t n = 0; n < names.size(); ++n)
                    if (MatchesPattern(kPatternsInUse[which], names[n]) != expected[which][n])
                        ++mismatches[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
    // A pattern held in a temporary buffer is keyed by its text, not its address.
    std::string buffer = "(?i).mkv$";
    EXPECT_TRUE(MatchesPattern(buffer, "a.MKV"));
    buffer = "(?i).avi$";
    EXPECT_FALSE(MatchesPattern(buffer, "a.MKV"));
}

}  // namespace
