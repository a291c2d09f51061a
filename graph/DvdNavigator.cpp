#include "graph/DvdNavigator.h"

#include <gst/video/navigation.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "graph/DirectShowErrors.h"
#include "graph/GraphPipeline.h"

namespace {

namespace fs = std::filesystem;

constexpr int kClockMs = 1000;
constexpr int kRewindMs = 500;
constexpr int64_t kUnitsPerSecond = 10000000;  // 100-ns units
// PAL; used while the picture's rate is not known.
constexpr double kDefaultFrameRate = 25;

bool SameLetters(std::string a, std::string b) {
    auto lower = [](std::string& text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    };
    lower(a);
    lower(b);
    return a == b;
}

// Whether the folder holds a file whose name, in any case, is the pattern's: '#' stands for a
// digit.
bool HoldsFile(const fs::path& folder, const std::string& pattern) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != pattern.size() || !entry.is_regular_file(error)) continue;
        bool match = true;
        for (size_t i = 0; i < name.size() && match; ++i)
            match = pattern[i] == '#' ? std::isdigit(static_cast<unsigned char>(name[i])) != 0
                                      : std::tolower(static_cast<unsigned char>(name[i])) ==
                                            std::tolower(static_cast<unsigned char>(pattern[i]));
        if (match) return true;
    }
    return false;
}

// The VIDEO_TS folder a path names, or the path's folder when it names none.
fs::path VideoTsFolder(const fs::path& path) {
    std::error_code error;
    fs::path folder = fs::is_directory(path, error) ? path : path.parent_path();
    if (SameLetters(folder.filename().string(), "VIDEO_TS")) return folder;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_directory(error) && SameLetters(entry.path().filename().string(), "VIDEO_TS"))
            return entry.path();
    return folder;
}

uint8_t Bcd(int value) {
    return static_cast<uint8_t>((value / 10 % 10) << 4 | value % 10);
}

}  // namespace

HRESULT DvdVolumeUri(const std::string& path, std::string& uri, AM_DVD_RENDERSTATUS& status) {
    if (path.empty()) {
        status.bDvdVolUnknown = true;
        return S_FALSE;
    }
    if (path.front() != '/') return E_INVALIDARG;
    std::error_code error;
    if (!fs::exists(path, error)) {
        status.bDvdVolInvalid = true;
        return S_FALSE;
    }
    const fs::path folder = VideoTsFolder(fs::path(path).lexically_normal());
    if (!HoldsFile(folder, "VIDEO_TS.IFO")) {
        status.bDvdVolUnknown = true;
        return S_FALSE;
    }
    // The DVD source plays a disc without title sets as an endless menu and never fails: no
    // title set, no volume.
    if (!HoldsFile(folder, "VTS_##_0.IFO")) {
        status.bDvdVolInvalid = true;
        return S_FALSE;
    }
    gchar* escaped = g_uri_escape_string(folder.parent_path().c_str(), "/", FALSE);
    uri = std::string("dvd://") + escaped;
    g_free(escaped);
    return S_OK;
}

HRESULT DvdRenderResult(HRESULT preroll, int missingDecoders, AM_DVD_RENDERSTATUS& status) {
    if (SUCCEEDED(preroll)) {
        status.iNumStreamsFailed = missingDecoders;
        return missingDecoders > 0 ? S_FALSE : S_OK;
    }
    switch (preroll) {
        case VFW_E_UNSUPPORTED_STREAM:
            return VFW_E_DVD_DECNOTENOUGH;
        case HRESULT_FILE_NOT_FOUND:
        case HRESULT_ACCESS_DENIED:
        case VFW_E_CANNOT_LOAD_SOURCE_FILTER:
            // The source could not read the volume's title information.
            status.bDvdVolInvalid = true;
            return S_FALSE;
        default:
            return VFW_E_DVD_RENDERFAIL;
    }
}

uint32_t PackHMSF(const DVD_HMSF_TIMECODE& time) {
    return time.bHours | time.bMinutes << 8 | time.bSeconds << 16 |
           static_cast<uint32_t>(time.bFrames) << 24;
}

uint32_t PackTimeCode(const DVD_HMSF_TIMECODE& time) {
    return static_cast<uint32_t>(Bcd(time.bHours)) << 24 | Bcd(time.bMinutes) << 16 |
           Bcd(time.bSeconds) << 8 | Bcd(time.bFrames);
}

TDvdNavigator::TDvdNavigator(TGraphPipeline& graph, TDispatch dispatch)
    : FGraph(graph), FDispatch(std::move(dispatch)) {
    FClock.setInterval(kClockMs);
    QObject::connect(&FClock, &QTimer::timeout, [this] { Tick(); });
    FClock.start();
    FRewind.setInterval(kRewindMs);
    QObject::connect(&FRewind, &QTimer::timeout, [this] { RewindStep(); });
}

TDvdNavigator::~TDvdNavigator() = default;

// A handler may end the graph, and this navigator with it.
void TDvdNavigator::Tags(GstMessage* message) {
    GstTagList* tags = nullptr;
    gst_message_parse_tag(message, &tags);
    gchar* name = nullptr;
    int title = 0, chapter = 0;
    if (gst_tag_list_get_tag_size(tags, GST_TAG_VIDEO_CODEC) > 0 &&
        gst_tag_list_get_string(tags, GST_TAG_TITLE, &name)) {
        if (std::sscanf(name, "Title %d, Chapter %d", &title, &chapter) != 2) title = chapter = 0;
        g_free(name);
        const std::weak_ptr<int> alive = FAlive;
        if (title != FTitle) {
            FTitle = title;
            FChapter = 0;
            FollowPlayingRate();
            if (title > 0) FDispatch(EC_DVD_TITLE_CHANGE, title, 0);
        }
        if (!alive.expired() && chapter != FChapter) {
            FChapter = chapter;
            if (chapter > 0) FDispatch(EC_DVD_CHAPTER_START, chapter, 0);
        }
    }
    gst_tag_list_unref(tags);
}

// The DVD source starts what a menu button or a menu command chose at normal speed, whatever
// the last seek asked for. When the new title or menu shows, the renderer holds its stream's
// segment, so its rate is the one played: the graph's rate then says so too, without a seek,
// which would start it again.
void TDvdNavigator::FollowPlayingRate() {
    double playing = 0;
    if (FGraph.Rate() != 1.0 && PlayingRate(playing) && playing == 1.0) FGraph.Rewound();
}

bool TDvdNavigator::PlayingRate(double& rate) const {
    GstElement* renderer = nullptr;
    g_object_get(FGraph.Pipeline(), "video-sink", &renderer, nullptr);
    if (!renderer) return false;
    GstQuery* query = gst_query_new_segment(GST_FORMAT_TIME);
    const bool known = gst_element_query(renderer, query);
    if (known) gst_query_parse_segment(query, &rate, nullptr, nullptr, nullptr);
    gst_query_unref(query);
    gst_object_unref(renderer);
    return known;
}

void TDvdNavigator::Tick() {
    int64_t position = 0;
    if (!FTimeEvents || !FGraph.Playing() || !FGraph.Position(position)) return;
    double rate = kDefaultFrameRate;
    FGraph.FrameRate(rate);
    const int64_t seconds = position / kUnitsPerSecond;
    DVD_HMSF_TIMECODE time;
    time.bHours = static_cast<uint8_t>(seconds / 3600);
    time.bMinutes = static_cast<uint8_t>(seconds / 60 % 60);
    time.bSeconds = static_cast<uint8_t>(seconds % 60);
    time.bFrames = static_cast<uint8_t>(position % kUnitsPerSecond * rate / kUnitsPerSecond);
    FDispatch(EC_DVD_CURRENT_HMSF_TIME, PackHMSF(time), PackTimeCode(time));
}

bool TDvdNavigator::InTitle() const {
    int64_t title = 0;
    return FTitle > 0 && FGraph.FormatPosition("title", title) && title > 0;
}

HRESULT TDvdNavigator::Navigate(GstEvent* event) {
    FRewind.stop();
    return FGraph.SendNavigation(event) ? S_OK : E_FAIL;
}

HRESULT TDvdNavigator::PlayForwards(double speed, uint32_t) {
    FRewind.stop();
    return speed > 0 && FGraph.SetRate(speed) ? S_OK : E_FAIL;
}

// The DVD source cannot play backwards: rewinding is a time seek back every half second,
// until the title's start or another command. Menus take no time seeks.
HRESULT TDvdNavigator::PlayBackwards(double speed, uint32_t) {
    FRewind.stop();
    if (speed <= 0 || FTitle <= 0 || !FGraph.SetRate(1.0)) return E_FAIL;
    FRewindSpeed = speed;
    if (!RewindStep()) return E_FAIL;
    FRewind.start();
    return S_OK;
}

bool TDvdNavigator::RewindStep() {
    int64_t position = 0;
    const auto step = static_cast<int64_t>(FRewindSpeed * kRewindMs * 10000);
    if (FGraph.Position(position) && position > 0 &&
        FGraph.Seek(std::max<int64_t>(position - step, 0), -1))
        return true;
    FRewind.stop();
    return false;
}

// Chapter seeks in a menu stall the DVD source: only within a title. A chapter plays from its
// start at normal speed, and the graph's rate must say so: a later "Fast Forward" would take
// the rate it still held as already playing, and a time seek would take it up again.
HRESULT TDvdNavigator::SeekChapter(int64_t step) {
    FRewind.stop();
    if (!InTitle() || !FGraph.SetRate(1.0)) return E_FAIL;
    return FGraph.SeekFormat("chapter", std::max<int64_t>(FChapter + step, 1)) ? S_OK : E_FAIL;
}

HRESULT TDvdNavigator::PlayNextChapter(uint32_t) {
    return SeekChapter(1);
}

HRESULT TDvdNavigator::PlayPrevChapter(uint32_t) {
    return SeekChapter(-1);
}

// The DVD menu ids (title 2 ... chapter 7) are the navigation's menu commands 2 ... 7.
HRESULT TDvdNavigator::ShowMenu(int32_t menu, uint32_t) {
    if (menu < DVD_MENU_Title || menu > DVD_MENU_Chapter) return E_INVALIDARG;
    const auto command =
        static_cast<GstNavigationCommand>(GST_NAVIGATION_COMMAND_MENU1 + (menu - 1));
    return Navigate(gst_navigation_event_new_command(command));
}

HRESULT TDvdNavigator::SelectRelativeButton(DVD_RELATIVE_BUTTON direction) {
    static constexpr GstNavigationCommand kCommands[] = {
        GST_NAVIGATION_COMMAND_UP, GST_NAVIGATION_COMMAND_DOWN, GST_NAVIGATION_COMMAND_LEFT,
        GST_NAVIGATION_COMMAND_RIGHT};
    if (direction < DVD_Relative_Upper || direction > DVD_Relative_Right) return E_INVALIDARG;
    return Navigate(gst_navigation_event_new_command(kCommands[direction - 1]));
}

HRESULT TDvdNavigator::ActivateButton() {
    return Navigate(gst_navigation_event_new_command(GST_NAVIGATION_COMMAND_ACTIVATE));
}

HRESULT TDvdNavigator::PlayAtTime(const DVD_HMSF_TIMECODE& time, uint32_t) {
    FRewind.stop();
    double rate = kDefaultFrameRate;
    FGraph.FrameRate(rate);
    const int64_t seconds = time.bHours * 3600 + time.bMinutes * 60 + time.bSeconds;
    const auto frames = static_cast<int64_t>(std::llround(time.bFrames * kUnitsPerSecond / rate));
    // A time seek in a menu fails in the source and changes nothing.
    return FGraph.Seek(seconds * kUnitsPerSecond + frames, -1) ? S_OK : E_FAIL;
}

HRESULT TDvdNavigator::ActivateAtPosition(DVD_POINT point) {
    const HRESULT pressed = Navigate(gst_navigation_event_new_mouse_button_press(
        1, point.x, point.y, GST_NAVIGATION_MODIFIER_NONE));
    const HRESULT released = Navigate(gst_navigation_event_new_mouse_button_release(
        1, point.x, point.y, GST_NAVIGATION_MODIFIER_NONE));
    return FAILED(pressed) ? pressed : released;
}

HRESULT TDvdNavigator::SelectAtPosition(DVD_POINT point) {
    return FGraph.SendNavigation(
               gst_navigation_event_new_mouse_move(point.x, point.y, GST_NAVIGATION_MODIFIER_NONE))
               ? S_OK
               : E_FAIL;
}

HRESULT TDvdNavigator::SetOption(int32_t option, bool value) {
    if (option == DVD_HMSF_TimeCodeEvents) FTimeEvents = value;
    return S_OK;
}
