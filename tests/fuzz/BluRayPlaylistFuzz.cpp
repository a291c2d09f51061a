// Fuzzes what the player does with a Blu-ray disc's bytes before and while it plays: the
// playlist path, the checks on a disc whose playlist file is the input (read through
// libbluray), and the time stamps moved in the transport stream, whose bytes are the input too.
//
// Input: path \x1F shift (up to 8 bytes, little-endian) \x1E body. The body is both the
// ".mpls" file of a scratch disc and a run of 192-byte source packets.
#include <libbluray/log_control.h>

#include <cstring>
#include <filesystem>

#include "graph/BluRayPlaylist.h"
#include "graph/BluRayTimeline.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// A disc in the scratch folder whose playlist the input replaces.
const std::string& ScratchDisc() {
    static const TScratchFolder folder;
    static const std::string disc = [] {
        const std::string root = folder.Path() + "disc/";
        for (const char* sub : {"BDMV/PLAYLIST", "BDMV/CLIPINF", "BDMV/STREAM"})
            std::filesystem::create_directories(root + sub);
        std::atexit([] { std::filesystem::remove_all(folder.Path() + "disc"); });
        return root;
    }();
    return disc;
}

void CheckPath(std::string_view text) {
    const std::string path(text);
    std::string root;
    uint32_t number = 0;
    if (!ParseBluRayPlaylistPath(path, root, number)) return;
    Check(number <= 99999 && !root.empty() && root.back() == '/' &&
              path.compare(0, root.size(), root) == 0 && path.size() > root.size() + 10,
          [&] { return "ParseBluRayPlaylistPath(" + Escaped(path) + ") gave " + Escaped(root); });
}

void CheckDisc(std::string_view playlist) {
    const std::string path = ScratchDisc() + "BDMV/PLAYLIST/00000.mpls";
    WriteBytes(path, playlist);
    TBluRayPlaylist disc(path);
    // No clip of the scratch disc has a stream: no playlist may pass the checks.
    Check(disc.Fault() != TBluRayFault::None,
          [&] { return "a disc without streams passed: " + Escaped(playlist); });
}

// Moving the stamps there and back gives the bytes back, whatever they are.
void CheckTimeline(std::string_view body, std::string_view shiftField) {
    int64_t shift = 0;
    if (!shiftField.empty())
        std::memcpy(&shift, shiftField.data(), std::min(shiftField.size(), sizeof shift));
    std::string bytes(body);
    auto* data = reinterpret_cast<uint8_t*>(bytes.data());
    ShiftTransportTimes(data, bytes.size(), shift);
    ShiftTransportTimes(data, bytes.size(), -shift);
    Check(bytes == body, [&] { return "shifting there and back changed " + Escaped(body); });
}

std::vector<std::string> Seeds() {
    std::string packet(192, '\xFF');
    const char head[] =
        "\0\0\0\0\x47\x50\x11\x30\x07\x10\0\0\0\0\x7E\0\0\0\x01\xE0\0\0\x80\xC0\x0A"
        "\x31\0\x01\0\x01\x11\0\x01\0\x01";
    packet.replace(0, sizeof head - 1, head, sizeof head - 1);
    return {
        SeedInput({"/media/MOVIE/BDMV/PLAYLIST/00800.mpls", std::string_view("\x40\xBF\x02", 3)},
                  packet),
        SeedInput({"/d//BDMV//PLAYLIST//00000.MPLS", "\xFF"},
                  std::string("MPLS0200") + std::string(40, '\0')),
        SeedInput({"00000.mpls", ""}, "MPLS0100"),
    };
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    bd_set_debug_mask(0);
    PlantSeeds(*argc, *argv, Seeds());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TFuzzInput input = SplitInput(data, size, 2);
    CheckPath(input.Head[0]);
    CheckTimeline(input.Body, input.Head[1]);
    CheckDisc(input.Body);
    return 0;
}
