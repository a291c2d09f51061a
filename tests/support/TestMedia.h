// The clips tools/make-test-media generates for the tests (its header documents them) and
// where a test finds them.
#pragma once

#include <QRgb>
#include <string>
#include <string_view>
#include <vector>

enum class TestClipKind {
    Video,    // video.<ext>: picture and sound, one per container
    Audio,    // tone.<ext>: sound only
    Variant,  // another length or colour, to tell clips apart
    Bad       // not playable: empty, truncated, noise, text
};

// What a clip's picture shows.
enum class TestPicture {
    None,
    RedBlue,  // left half kTestRed, right half kTestBlue
    Green     // kTestGreen all over
};

struct TestClip {
    std::string name;
    TestClipKind kind;
    TestPicture picture;
    double seconds;  // 0 for bad inputs
    bool sound;      // carries the kTestToneHz sine
};

inline constexpr int kTestPictureWidth = 320;
inline constexpr int kTestPictureHeight = 240;
inline constexpr int kTestFramesPerSecond = 25;
inline constexpr int kTestToneHz = 1000;
inline constexpr QRgb kTestRed = 0xffff0000;
inline constexpr QRgb kTestBlue = 0xff0000ff;
inline constexpr QRgb kTestGreen = 0xff00ff00;

// The full path of a generated clip, from VEXLO_TEST_MEDIA (ctest sets it). Reports a test
// failure when the variable is not set or the clip does not exist.
std::string TestMediaPath(std::string_view name);

// Every generated clip.
const std::vector<TestClip>& TestClips();

// The names of the clips of one kind, for tests that loop over formats.
std::vector<std::string> TestClipNames(TestClipKind kind);
