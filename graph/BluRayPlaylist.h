#pragma once
// One playlist of a decrypted Blu-ray disc, read through libbluray: the checks that keep a
// damaged or encrypted disc from hanging or crashing the player, and the reads and seeks of
// the title's transport stream. Every call is safe from any thread (one lock per playlist).

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct bluray;

// The disc root (two folders above the playlist, ending in "/") and the playlist number of
// a ".mpls" path such as ".../BDMV/PLAYLIST/00042.mpls". False when the name is not five
// digits and ".mpls" (any case) or the path has no two folders above the file.
bool ParseBluRayPlaylistPath(const std::string& path, std::string& discRoot, uint32_t& playlist);

enum class TBluRayFault {
    None,
    NotADisc,         // no disc at the root, or the name is not a playlist's
    Encrypted,        // AACS or BD+ that nothing here decrypts
    DamagedPlaylist,  // libbluray cannot select it, or it has no clips
    MissingClip,      // a clip's stream file is not there
    NoClipInfo        // a clip reads no packets: its clip information is missing or damaged
};

// A short English text for a fault.
std::string BluRayFaultText(TBluRayFault fault);

class TBluRayPlaylist {
  public:
    // The aligned unit libbluray reads: 32 packets of 192 bytes.
    static constexpr size_t kUnitSize = 6144;

    // Opens the disc and selects the playlist; on a fault nothing else is available.
    explicit TBluRayPlaylist(const std::string& path);
    ~TBluRayPlaylist();
    TBluRayPlaylist(const TBluRayPlaylist&) = delete;
    TBluRayPlaylist& operator=(const TBluRayPlaylist&) = delete;

    TBluRayFault Fault() const { return FFault; }
    // Title length in nanoseconds.
    uint64_t Duration() const { return FDuration; }
    // What moves a clip's time stamps (90 kHz ticks) onto the title's timeline, where the
    // first clip keeps its own.
    int64_t ClipShift(size_t clip) const {
        return clip < FClipShifts.size() ? FClipShifts[clip] : 0;
    }
    // False when a clip's entry-point map is empty: libbluray would crash on a seek there.
    bool Seekable() const { return FSeekable; }

    // Reads the next aligned unit into the buffer (kUnitSize bytes); the number of bytes, 0
    // at the end of the title, -1 on a read error. Clip: the clip the unit belongs to.
    int ReadUnit(uint8_t* buffer, size_t& clip);
    // Moves to a time of the title (nanoseconds); false when refused or failed. Reading goes
    // on from the entry point at or before it: Landed is that point's time, Clip its clip.
    bool SeekTime(uint64_t time, uint64_t& landed, size_t& clip);

  private:
    TBluRayFault Open(const std::string& path);
    TBluRayFault CheckClips(const std::string& discRoot, uint32_t playlist);
    void TakeEvents();

    std::mutex FLock;
    bluray* FDisc = nullptr;
    TBluRayFault FFault = TBluRayFault::None;
    uint64_t FDuration = 0;
    std::vector<uint64_t> FClipStarts;  // nanoseconds
    std::vector<int64_t> FClipShifts;
    bool FSeekable = false;
    size_t FClip = 0;
};
