#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

std::string TestMediaPath(std::string_view name) {
    const char* folder = std::getenv("VEXLO_TEST_MEDIA");
    if (folder == nullptr || *folder == '\0') {
        ADD_FAILURE() << "VEXLO_TEST_MEDIA is not set: run this test through ctest, which "
                         "generates the clips first (fixture media.generate)";
        return std::string(name);
    }
    std::string path = folder;
    if (path.back() != '/') path += '/';
    path += name;
    if (!std::filesystem::is_regular_file(path))
        ADD_FAILURE() << "test clip missing: " << path << " (tools/make-test-media writes it)";
    return path;
}

const std::vector<TestClip>& TestClips() {
    using enum TestClipKind;
    using enum TestPicture;
    static const std::vector<TestClip> clips = {
        {"video.avi", Video, RedBlue, 2, true}, {"video.mp4", Video, RedBlue, 2, true},
        {"video.m4v", Video, RedBlue, 2, true}, {"video.mkv", Video, RedBlue, 2, true},
        {"video.mov", Video, RedBlue, 2, true}, {"video.webm", Video, RedBlue, 2, true},
        {"video.flv", Video, RedBlue, 2, true}, {"video.mpg", Video, RedBlue, 2, true},
        {"video.wmv", Video, RedBlue, 2, true}, {"video.asf", Video, RedBlue, 2, true},
        {"video.ogg", Video, RedBlue, 2, true}, {"tone.mp3", Audio, None, 2, true},
        {"tone.wav", Audio, None, 2, true},     {"tone.ogg", Audio, None, 2, true},
        {"tone.wma", Audio, None, 2, true},     {"short.mp4", Variant, RedBlue, 1, true},
        {"green.mp4", Variant, Green, 2, true}, {"long.mp4", Variant, RedBlue, 30, true},
        {"longgreen.mp4", Variant, Green, 30, true}, {"framed.mp4", Variant, RedBlue, 30, true},
        {"longtone.mp3", Variant, None, 30, true},  {"empty.avi", Bad, None, 0, false},
        {"truncated.mp4", Bad, None, 0, false}, {"random.mkv", Bad, None, 0, false},
        {"text.avi", Bad, None, 0, false},
    };
    return clips;
}

std::vector<std::string> TestClipNames(TestClipKind kind) {
    std::vector<std::string> names;
    for (const TestClip& clip : TestClips())
        if (clip.kind == kind) names.push_back(clip.name);
    return names;
}
