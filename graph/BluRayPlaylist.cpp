#include "graph/BluRayPlaylist.h"

#include <libbluray/bluray.h>
#include <libbluray/clpi_data.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace {

// libbluray's clock: 90 kHz ticks.
constexpr uint64_t TicksToNanoseconds(uint64_t ticks) {
    return ticks * 100000 / 9;
}
constexpr uint64_t NanosecondsToTicks(uint64_t time) {
    return time * 9 / 100000;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsPlaylistName(const std::string& name) {
    if (name.size() != 10) return false;
    for (size_t i = 0; i < 5; ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    std::string extension = name.substr(5);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".mpls";
}

// Whether every stream of the clip's entry-point map has entries to seek to.
bool HasEntryPoints(bluray* disc, unsigned clip) {
    clpi_cl* info = bd_get_clpi(disc, clip);
    if (!info) return false;
    bool found = info->cpi.num_stream_pid > 0;
    for (int i = 0; i < info->cpi.num_stream_pid; ++i)
        found = found && info->cpi.entry[i].num_ep_coarse > 0 && info->cpi.entry[i].num_ep_fine > 0;
    bd_free_clpi(info);
    return found;
}

}  // namespace

bool ParseBluRayPlaylistPath(const std::string& path, std::string& discRoot, uint32_t& playlist) {
    const size_t nameStart = path.rfind('/');
    if (nameStart == std::string::npos) return false;
    const std::string name = path.substr(nameStart + 1);
    if (!IsPlaylistName(name)) return false;
    // Two folders up; "//" counts as one separator.
    size_t end = nameStart;
    for (int folders = 0; folders < 2; ++folders) {
        while (end > 0 && path[end - 1] == '/') --end;
        const size_t slash = end == 0 ? std::string::npos : path.rfind('/', end - 1);
        if (slash == std::string::npos) return false;
        end = slash;
    }
    while (end > 0 && path[end - 1] == '/') --end;
    discRoot = path.substr(0, end + 1);
    playlist = static_cast<uint32_t>(std::stoul(name.substr(0, 5)));
    return true;
}

std::string BluRayFaultText(TBluRayFault fault) {
    switch (fault) {
        case TBluRayFault::None:
            return "No fault.";
        case TBluRayFault::NotADisc:
            return "No Blu-ray disc holds this playlist.";
        case TBluRayFault::Encrypted:
            return "The Blu-ray disc is encrypted.";
        case TBluRayFault::DamagedPlaylist:
            return "The Blu-ray playlist is damaged.";
        case TBluRayFault::MissingClip:
            return "A clip of the Blu-ray playlist is missing.";
        case TBluRayFault::NoClipInfo:
            return "A clip of the Blu-ray playlist has no usable clip information.";
    }
    return "Unknown fault.";
}

TBluRayPlaylist::TBluRayPlaylist(const std::string& path) {
    FFault = Open(path);
}

TBluRayPlaylist::~TBluRayPlaylist() {
    if (FDisc) bd_close(FDisc);
}

TBluRayFault TBluRayPlaylist::Open(const std::string& path) {
    std::string root;
    uint32_t playlist = 0;
    if (!ParseBluRayPlaylistPath(path, root, playlist) || !IsRegularFile(path))
        return TBluRayFault::NotADisc;
    FDisc = bd_open(root.c_str(), nullptr);
    if (!FDisc) return TBluRayFault::NotADisc;
    const BLURAY_DISC_INFO* disc = bd_get_disc_info(FDisc);
    if (!disc || !disc->bluray_detected) return TBluRayFault::NotADisc;
    if ((disc->aacs_detected && !disc->aacs_handled) ||
        (disc->bdplus_detected && !disc->bdplus_handled))
        return TBluRayFault::Encrypted;
    bd_get_event(FDisc, nullptr);  // switches the event queue on: clip changes come as events
    bd_get_titles(FDisc, TITLES_ALL, 0);  // libbluray wants the titles listed before a selection
    if (!bd_select_playlist(FDisc, playlist)) return TBluRayFault::DamagedPlaylist;
    return CheckClips(root, playlist);
}

TBluRayFault TBluRayPlaylist::CheckClips(const std::string& discRoot, uint32_t playlist) {
    BLURAY_TITLE_INFO* title = bd_get_playlist_info(FDisc, playlist, 0);
    if (!title) return TBluRayFault::DamagedPlaylist;
    TBluRayFault fault =
        title->clip_count == 0 ? TBluRayFault::DamagedPlaylist : TBluRayFault::None;
    FSeekable = true;
    for (uint32_t i = 0; i < title->clip_count && fault == TBluRayFault::None; ++i) {
        const BLURAY_CLIP_INFO& clip = title->clips[i];
        if (!IsRegularFile(discRoot + "BDMV/STREAM/" + clip.clip_id + ".m2ts"))
            fault = TBluRayFault::MissingClip;
        else if (clip.pkt_count == 0)
            fault = TBluRayFault::NoClipInfo;
        FClipStarts.push_back(TicksToNanoseconds(clip.start_time));
        FClipShifts.push_back(static_cast<int64_t>(clip.start_time + title->clips[0].in_time) -
                              static_cast<int64_t>(clip.in_time));
        FSeekable = FSeekable && HasEntryPoints(FDisc, i);
    }
    FDuration = TicksToNanoseconds(title->duration);
    bd_free_title_info(title);
    return fault;
}

// Notes the clip changes libbluray queued; the other events do not matter here.
void TBluRayPlaylist::TakeEvents() {
    BD_EVENT event;
    while (bd_get_event(FDisc, &event) && event.event != BD_EVENT_NONE)
        if (event.event == BD_EVENT_PLAYITEM) FClip = event.param;
}

int TBluRayPlaylist::ReadUnit(uint8_t* buffer, size_t& clip) {
    std::lock_guard<std::mutex> hold(FLock);
    if (FFault != TBluRayFault::None) return -1;
    const int read = bd_read(FDisc, buffer, static_cast<int>(kUnitSize));
    TakeEvents();
    clip = FClip;
    return read;
}

bool TBluRayPlaylist::SeekTime(uint64_t time, uint64_t& landed, size_t& clip) {
    std::lock_guard<std::mutex> hold(FLock);
    if (FFault != TBluRayFault::None || !FSeekable || time >= FDuration) return false;
    if (bd_seek_time(FDisc, NanosecondsToTicks(time)) < 0) return false;
    landed = std::min(TicksToNanoseconds(bd_tell_time(FDisc)), time);
    FClip = 0;
    while (FClip + 1 < FClipStarts.size() && FClipStarts[FClip + 1] <= landed) ++FClip;
    TakeEvents();
    clip = FClip;
    return true;
}
