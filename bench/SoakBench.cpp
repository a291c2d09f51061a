// A long evening of "Loop All": the real `vexlo` plays a folder of half-second clips of mixed
// formats round and round, and every 50 file transitions its resident memory, open descriptors
// and threads are read from /proc. It prints the table and the figures: resident growth from
// transition 50 to the end (aim: under 5 MB), descriptors and threads at both ends (aim: flat).
// There is no peer: the aims are absolute.
//
// The playback starts as a user starts it: the panel opened from the bottom bar and the first
// row clicked (xdotool). A transition is the player opening the next clip: a clip of the folder
// among its open descriptors that was not among them 20 ms before (a clip stays open while it
// plays). The caption cannot tell: its time and file name come once a second, and a clip lasts
// half of that. A file that fails shows "wrong format" there, and is counted apart.
//
// Run it under an X display (xvfb-run, as for PlaybackBench). `--transitions N` (default 500)
// shortens it; it gives up when no transition comes for 30 s or the whole run overruns.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/ChildProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kSampleEvery = 50;
constexpr int kWidth = 620, kHeight = 400;  // the window's default size, for the clicks
constexpr int kPollMs = 20;
constexpr int kStallSeconds = 30;

volatile sig_atomic_t gPlayer = -1;  // killed if we are stopped

void StopOnSignal(int number) {
    if (gPlayer > 0) kill(gPlayer, SIGKILL);
    ::signal(number, SIG_DFL);
    raise(number);
}

struct TClipFormat {
    const char* name;
    std::vector<std::string> codecs;  // ffmpeg's arguments for the streams
    bool video;
};

// Each pairs a container with the codecs it is usually found with.
const std::vector<TClipFormat>& Formats() {
    static const std::vector<TClipFormat> formats = {
        {"01-h264-aac.mp4", {"-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"}, true},
        {"02-vp8-vorbis.webm",
         {"-c:v", "libvpx", "-deadline", "realtime", "-c:a", "libvorbis"},
         true},
        {"03-vp9-opus.mkv",
         {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-c:a", "libopus"},
         true},
        {"04-mpeg4-mp3.avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, true},
        {"05-theora-vorbis.ogv", {"-c:v", "libtheora", "-c:a", "libvorbis"}, true},
        {"06-mpeg2-mp2.mpg", {"-c:v", "mpeg2video", "-c:a", "mp2"}, true},
        {"07-audio.flac", {"-c:a", "flac"}, false},
    };
    return formats;
}

bool MakeClips(const std::string& folder) {
    for (const TClipFormat& format : Formats()) {
        std::vector<std::string> command = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
        if (format.video)
            command.insert(command.end(),
                           {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=0.5"});
        command.insert(command.end(),
                       {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=0.5"});
        command.insert(command.end(), format.codecs.begin(), format.codecs.end());
        if (format.video) command.insert(command.end(), {"-pix_fmt", "yuv420p"});
        command.insert(command.end(), {"-shortest", folder + format.name});
        if (!RunChild(command).ran) {
            std::fprintf(stderr, "ffmpeg could not make %s\n", format.name);
            return false;
        }
    }
    return true;
}

// The window's caption, read from the server without a process per look.
class TCaption {
  public:
    TCaption() : FConnection(xcb_connect(nullptr, nullptr), xcb_disconnect) {
        if (xcb_connection_has_error(FConnection.get())) return;
        FNetName = Atom("_NET_WM_NAME");
        FUtf8 = Atom("UTF8_STRING");
    }
    bool Ready() const { return FNetName != XCB_ATOM_NONE && FUtf8 != XCB_ATOM_NONE; }

    std::string Of(uint32_t window) {
        auto cookie = xcb_get_property(FConnection.get(), 0, window, FNetName, FUtf8, 0, 1024);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
            xcb_get_property_reply(FConnection.get(), cookie, nullptr), free);
        if (!reply) return {};
        return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           xcb_get_property_value_length(reply.get()));
    }

  private:
    xcb_atom_t Atom(const char* name) {
        auto cookie = xcb_intern_atom(FConnection.get(), 0, uint16_t(std::strlen(name)), name);
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
            xcb_intern_atom_reply(FConnection.get(), cookie, nullptr), free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> FConnection;
    xcb_atom_t FNetName = XCB_ATOM_NONE, FUtf8 = XCB_ATOM_NONE;
};

// The clips of `folder` the player has open now, by their descriptors' targets.
std::set<std::string> OpenClips(pid_t pid, const std::string& folder) {
    std::set<std::string> open;
    std::error_code error;
    for (fs::directory_iterator entry("/proc/" + std::to_string(pid) + "/fd", error), end;
         !error && entry != end; entry.increment(error)) {
        std::error_code unreadable;
        const std::string target = fs::read_symlink(entry->path(), unreadable).string();
        if (!unreadable && target.rfind(folder, 0) == 0) open.insert(target.substr(folder.size()));
    }
    return open;
}

struct TSample {
    int transitions = 0;
    double seconds = 0;
    double rssMiB = 0;
    int fds = 0;
    int threads = 0;
};

bool ReadSample(pid_t pid, TSample& sample) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream status(proc + "/status");
    long rssKiB = -1;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) rssKiB = std::atol(line.c_str() + 6);
        if (line.rfind("Threads:", 0) == 0) sample.threads = std::atoi(line.c_str() + 8);
    }
    std::error_code error;
    sample.fds = 0;
    for (fs::directory_iterator entry(proc + "/fd", error), end; !error && entry != end;
         entry.increment(error))
        ++sample.fds;
    sample.rssMiB = rssKiB / 1024.0;
    return rssKiB >= 0 && !error;
}

// The player's visible window, found with xdotool; 0 when none shows in time.
uint32_t FindWindow(pid_t pid) {
    for (int waited = 0; waited < 20000; waited += 100) {
        const ChildCost search = RunChild({"xdotool", "search", "--all", "--onlyvisible", "--pid",
                                           std::to_string(pid), "--name", "."});
        if (search.ran && !search.output.empty()) return uint32_t(std::stoul(search.output));
        if (waitpid(pid, nullptr, WNOHANG) == pid) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

// A pause between the move and the click: a click at once after the move was now and then
// not taken.
void Click(uint32_t window, int x, int y) {
    RunChild({"xdotool", "mousemove", "--sync", "--window", std::to_string(window),
              std::to_string(x), std::to_string(y), "sleep", "0.3", "click", "1"});
}

void PrintSample(const TSample& sample) {
    std::printf("%11d %9.1f %9.1f %6d %8d\n", sample.transitions, sample.seconds, sample.rssMiB,
                sample.fds, sample.threads);
    std::fflush(stdout);
}

// Watches the player until `transitions` files have been opened after the first; the samples
// taken on the way.
std::vector<TSample> Watch(pid_t pid, uint32_t window, const std::string& clips, int transitions,
                           int& failures, std::map<std::string, int>& opens) {
    TCaption caption;
    std::vector<TSample> samples;
    if (!caption.Ready()) return samples;
    const Clock::time_point start = Clock::now();
    const auto overall = std::chrono::seconds(60 + 4 * transitions);
    Clock::time_point lastChange = start;
    std::set<std::string> wasOpen;
    std::string lastCaption;
    int count = -1;  // the first file is transition 0
    while (count < transitions) {
        const Clock::time_point now = Clock::now();
        if (now - lastChange > std::chrono::seconds(kStallSeconds) || now - start > overall) {
            std::fprintf(stderr, "no transition for a while, or out of time: stopping at %d\n",
                         count);
            break;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            gPlayer = -1;
            if (WIFSIGNALED(status))
                std::fprintf(stderr, "the player died of signal %d after %d transitions\n",
                             WTERMSIG(status), count);
            else
                std::fprintf(stderr, "the player ended with exit code %d after %d transitions\n",
                             WEXITSTATUS(status), count);
            break;
        }
        const std::string text = caption.Of(window);
        if (text != lastCaption && text.find("wrong format") != std::string::npos) ++failures;
        lastCaption = text;
        const std::set<std::string> open = OpenClips(pid, clips);
        for (const std::string& name : open) {
            if (wasOpen.count(name) || count >= transitions) continue;
            lastChange = now;
            ++opens[name];
            if (++count % kSampleEvery != 0 && count != transitions) continue;
            TSample sample;
            sample.transitions = count;
            sample.seconds = std::chrono::duration<double>(now - start).count();
            if (ReadSample(pid, sample)) {
                samples.push_back(sample);
                PrintSample(sample);
            }
        }
        wasOpen = open;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return samples;
}

void Report(const std::vector<TSample>& samples, int failures) {
    std::printf("Files that failed to open: %d\n", failures);
    auto at50 = std::find_if(samples.begin(), samples.end(),
                             [](const TSample& s) { return s.transitions >= kSampleEvery; });
    if (samples.empty() || at50 == samples.end() ||
        at50->transitions == samples.back().transitions) {
        std::printf("Too few transitions for the figures (more than %d needed)\n", kSampleEvery);
        return;
    }
    const TSample& first = samples.front();
    const TSample& last = samples.back();
    const double growth = last.rssMiB - at50->rssMiB;
    std::printf(
        "Resident growth from transition %d to %d: %+.1f MiB (aim: under 5 MB); "
        "%+.1f MiB per 100 transitions\n",
        at50->transitions, last.transitions, growth,
        growth * 100 / (last.transitions - at50->transitions));
    std::printf("Descriptors: %d at transition %d, %d at %d, %d at %d (aim: flat)\n", first.fds,
                first.transitions, at50->fds, at50->transitions, last.fds, last.transitions);
    std::printf("Threads:     %d at transition %d, %d at %d, %d at %d (aim: flat)\n", first.threads,
                first.transitions, at50->threads, at50->transitions, last.threads,
                last.transitions);
}

// The end of the player's output, for a run that did not go the whole way.
void PrintLogTail(const std::string& log) {
    std::ifstream file(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    const size_t from = lines.size() > 20 ? lines.size() - 20 : 0;
    std::fprintf(stderr, "The player's last output:\n");
    for (size_t i = from; i < lines.size(); ++i) std::fprintf(stderr, "  %s\n", lines[i].c_str());
}

int Soak(const std::string& vexlo, const std::string& clips, const std::string& log,
         int transitions) {
    // A file, not a pipe: nobody reads the output while the player runs.
    const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = StartChild({vexlo}, output, output);
    if (output >= 0) close(output);
    if (pid < 0) return 1;
    gPlayer = pid;
    int result = 1;
    if (const uint32_t window = FindWindow(pid)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the ready step
        Click(window, kWidth - 85, kHeight - 8);                      // "Open"
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Click(window, kWidth / 4 + 60, 16 + 8);  // the first row
        std::printf("%11s %9s %9s %6s %8s\n", "transitions", "seconds", "RSS MiB", "fds",
                    "threads");
        int failures = 0;
        std::map<std::string, int> opens;
        const std::vector<TSample> samples =
            Watch(pid, window, clips, transitions, failures, opens);
        std::printf("\nOpens per clip:");
        for (const auto& [name, times] : opens) std::printf(" %s %d", name.c_str(), times);
        std::printf("\n");
        Report(samples, failures);
        result = !samples.empty() && samples.back().transitions == transitions ? 0 : 1;
    } else {
        std::fprintf(stderr, "no window of the player showed\n");
    }
    if (gPlayer > 0) StopChild(pid);
    gPlayer = -1;
    if (result != 0) PrintLogTail(log);
    return result;
}

// Our own program folder naming the clips' folder, the window at its default place and size,
// "Loop All" chosen, and a drive root of its own: the user's settings are never touched.
void PrepareHome(const std::string& root, const std::string& clips) {
    const std::string home = root + "/home/";
    fs::create_directories(home);
    fs::create_directories(root + "/drive");
    std::ofstream(home + "Quelm.ini", std::ios::binary)
        << "[MedForm]\r\nVideoFolder=" << clips
        << "\r\nFrmLeft=100\r\nFrmTop=100\r\nFrmWidth=" << kWidth << "\r\nFrmHeight=" << kHeight
        << "\r\nRepeat1=0\r\n";
    setenv("VEXLO_HOME", home.c_str(), 1);
    setenv("VEXLO_DRIVE_ROOT", (root + "/drive/").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 0);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace

int main(int argc, char** argv) {
    const int transitions = CountFlag(argc, argv, "--transitions", 500);
    const fs::path vexlo = VexloBesideBench();
    if (vexlo.empty()) return 1;
    char root[] = "/tmp/vexlo-soak-XXXXXX";
    if (!mkdtemp(root)) return 1;
    ::signal(SIGINT, StopOnSignal);
    ::signal(SIGTERM, StopOnSignal);
    const std::string clips = std::string(root) + "/clips/";
    fs::create_directories(clips);
    std::printf("Generating %zu half-second clips...\n", Formats().size());
    std::fflush(stdout);
    int result = 1;
    if (MakeClips(clips)) {
        PrepareHome(root, clips);
        result = Soak(vexlo.string(), clips, std::string(root) + "/player.log", transitions);
    }
    fs::remove_all(root);
    return result;
}
