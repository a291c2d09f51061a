// Cold start as from "Open With": the wall time from launching `vexlo FILE` until the clip's
// first frame is on screen, against `mpv --no-config --vo=x11 --ao=null FILE` to the same
// point, in the same run. The runs alternate (ours, then mpv's) so that other load on the
// machine weighs on both alike; one unrecorded run of each comes first, so that both start
// from a warm file cache. The figure is the median of each and their ratio.
//
// The frame is seen on the screen itself: a grab of the root window every 10 ms over the
// middle of where both windows are placed (640 x 400 at 100,100), which counts once nearly all
// of its pixels have the clip's colour. The clip is one flat colour that the idle player
// window (black picture, grey bar, green text) nowhere shows. The time includes the player's
// 400 ms ready step, as the user waits for it too.
//
// Run it under an X display without other windows over that place (xvfb-run, as for
// PlaybackBench). `--runs N` sets the number of recorded runs of each (default 7).
#include <signal.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/ChildProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kClipSeconds = 5;  // the player is still on the clip when it is seen
constexpr int kLeft = 100, kTop = 100, kWidth = 640, kHeight = 400;
// Inside the picture of both players: ours letterboxes the 16:9 clip into the area above its
// 15-pixel bar, mpv into its whole window.
constexpr int kProbeX = kLeft + 120, kProbeY = kTop + 100, kProbeW = 400, kProbeH = 200;
constexpr unsigned kClipRgb = 0xd02090;
constexpr int kTolerance = 40;        // per channel: players convert YUV to RGB differently
constexpr double kFrameShare = 0.95;  // of the probe's pixels
constexpr int kGrabPauseMs = 10;
constexpr int kFrameTimeoutMs = 20000;

volatile sig_atomic_t gRunning = -1;  // the child being measured, killed if we are stopped

void StopOnSignal(int number) {
    if (gRunning > 0) kill(gRunning, SIGKILL);
    ::signal(number, SIG_DFL);
    raise(number);
}

bool MakeClip(const std::string& path) {
    const std::string seconds = std::to_string(kClipSeconds);
    char colour[32];
    std::snprintf(colour, sizeof colour, "color=c=0x%06x", kClipRgb);
    const ChildCost run =
        RunChild({"ffmpeg",
                  "-nostdin",
                  "-v",
                  "error",
                  "-y",
                  "-f",
                  "lavfi",
                  "-i",
                  std::string(colour) + ":size=1920x1080:rate=30:duration=" + seconds,
                  "-f",
                  "lavfi",
                  "-i",
                  "sine=frequency=1000:sample_rate=48000:duration=" + seconds,
                  "-c:v",
                  "libx264",
                  "-preset",
                  "veryfast",
                  "-pix_fmt",
                  "yuv420p",
                  "-c:a",
                  "aac",
                  "-shortest",
                  path});
    return run.ran && fs::exists(path);
}

// The probe area of the screen, grabbed straight from the server.
class TScreenProbe {
  public:
    TScreenProbe() : FConnection(xcb_connect(nullptr, nullptr), xcb_disconnect) {
        if (xcb_connection_has_error(FConnection.get())) return;
        const xcb_screen_t* screen =
            xcb_setup_roots_iterator(xcb_get_setup(FConnection.get())).data;
        FRoot = screen->root;
        // The colour test reads 32-bit pixels as 0x00RRGGBB, as a 24-bit TrueColor root has them.
        for (auto depth = xcb_screen_allowed_depths_iterator(screen); depth.rem;
             xcb_depth_next(&depth))
            for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem;
                 xcb_visualtype_next(&visual))
                if (visual.data->visual_id == screen->root_visual)
                    FUsable = depth.data->depth == 24 && visual.data->red_mask == 0xff0000 &&
                              visual.data->blue_mask == 0xff;
    }

    bool Usable() const { return FUsable; }

    // The share of the probe's pixels near the clip's colour; negative when the grab failed.
    double ClipShare() {
        auto cookie = xcb_get_image(FConnection.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, FRoot, kProbeX,
                                    kProbeY, kProbeW, kProbeH, ~0u);
        std::unique_ptr<xcb_get_image_reply_t, decltype(&free)> image(
            xcb_get_image_reply(FConnection.get(), cookie, nullptr), free);
        if (!image) return -1;
        const int bytes = xcb_get_image_data_length(image.get());
        if (bytes != kProbeW * kProbeH * 4) return -1;
        const uint8_t* data = xcb_get_image_data(image.get());
        long near = 0;
        for (int i = 0; i < kProbeW * kProbeH; ++i) {
            uint32_t pixel;
            std::memcpy(&pixel, data + 4 * i, 4);
            auto close = [&](int shift) {
                return std::abs(int((pixel >> shift) & 0xff) - int((kClipRgb >> shift) & 0xff)) <=
                       kTolerance;
            };
            near += close(16) && close(8) && close(0);
        }
        return double(near) / (kProbeW * kProbeH);
    }

  private:
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> FConnection;
    xcb_window_t FRoot = 0;
    bool FUsable = false;
};

// One launch to the first frame on screen, in seconds; negative on failure. The process is
// ended afterwards, and the screen left clear of the clip for the next run.
double LaunchToFrame(TScreenProbe& probe, const std::vector<std::string>& command) {
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    for (int waited = 0; probe.ClipShare() >= kFrameShare; waited += 20) {
        if (waited > 3000) {
            std::fprintf(stderr, "the clip's colour is on screen before the launch\n");
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const Clock::time_point start = Clock::now();
    const pid_t pid = StartChild(command, quiet, quiet);
    if (quiet >= 0) close(quiet);
    if (pid < 0) return -1;
    gRunning = pid;
    double seconds = -1;
    while (Clock::now() - start < std::chrono::milliseconds(kFrameTimeoutMs)) {
        if (probe.ClipShare() >= kFrameShare) {
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fprintf(stderr, "%s ended before its first frame\n", command[0].c_str());
            gRunning = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kGrabPauseMs));
    }
    if (seconds < 0)
        std::fprintf(stderr, "no frame of %s within the timeout\n", command[0].c_str());
    StopChild(pid);
    gRunning = -1;
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Our own program folder, with the window placed where the probe looks, and a drive root of
// its own: the user's settings are never read or written.
void PrepareHome(const std::string& root) {
    const std::string home = root + "/home/";
    fs::create_directories(home);
    fs::create_directories(root + "/drive");
    std::ofstream(home + "Quelm.ini", std::ios::binary)
        << "[MedForm]\r\nFrmLeft=" << kLeft << "\r\nFrmTop=" << kTop << "\r\nFrmWidth=" << kWidth
        << "\r\nFrmHeight=" << kHeight << "\r\n";
    setenv("VEXLO_HOME", home.c_str(), 1);
    setenv("VEXLO_DRIVE_ROOT", (root + "/drive/").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 0);
    // Neither player has any business with the desktop session of whoever runs the bench.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

int Measure(int runs, const std::string& vexlo, const std::string& clip) {
    TScreenProbe probe;
    if (!probe.Usable()) {
        std::fprintf(stderr, "no 24-bit TrueColor X display (run it under xvfb-run)\n");
        return 1;
    }
    const std::vector<std::string> ours = {vexlo, clip};
    const char* geometry = "--geometry=640x400+100+100";
    const std::vector<std::string> peer = {"mpv",       "--no-config", "--vo=x11",
                                           "--ao=null", geometry,      clip};
    std::vector<double> oursTimes, peerTimes;
    std::printf("%-6s %12s %12s\n", "run", "vexlo ms", "mpv ms");
    for (int run = 0; run <= runs; ++run) {
        const double a = LaunchToFrame(probe, ours);
        const double b = LaunchToFrame(probe, peer);
        if (a < 0 || b < 0) return 1;
        if (run == 0) {
            std::printf("%-6s %12.0f %12.0f\n", "warm", a * 1000, b * 1000);
            continue;
        }
        oursTimes.push_back(a);
        peerTimes.push_back(b);
        std::printf("%-6d %12.0f %12.0f\n", run, a * 1000, b * 1000);
        std::fflush(stdout);
    }
    const double oursMedian = Median(oursTimes), peerMedian = Median(peerTimes);
    std::printf("\nLaunch to first frame on screen, median of %d:\n", runs);
    std::printf("  vexlo FILE %8.0f ms\n  mpv FILE   %8.0f ms\n", oursMedian * 1000,
                peerMedian * 1000);
    std::printf("\nRatio (time of ours / time of peer; aim: at most 2):\n");
    std::printf("  %-40s vs %-40s %8.3f\n", "vexlo FILE", "mpv FILE", oursMedian / peerMedian);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = CountFlag(argc, argv, "--runs", 7);
    const fs::path vexlo = VexloBesideBench();
    if (vexlo.empty()) return 1;
    char root[] = "/tmp/vexlo-coldstart-XXXXXX";
    if (!mkdtemp(root)) return 1;
    ::signal(SIGINT, StopOnSignal);
    ::signal(SIGTERM, StopOnSignal);
    PrepareHome(root);
    const std::string clip = std::string(root) + "/clip-1080p30.mp4";
    std::printf("Generating a %d s 1080p30 H.264 + AAC clip...\n", kClipSeconds);
    std::fflush(stdout);
    int result = 1;
    if (MakeClip(clip))
        result = Measure(runs, vexlo.string(), clip);
    else
        std::fprintf(stderr, "ffmpeg could not make the clip\n");
    fs::remove_all(root);
    return result;
}
