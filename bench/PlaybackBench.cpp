// Playing a 10-second 1080p30 H.264 + AAC clip in a 640 x 360 window: CPU seconds and peak
// memory of a driver process that plays through the graph component and the EVR window
// (classic renderer, and the EVR renderer or what it falls back to on this display), and of
// the vexlo program given the clip, against mpv with its X11 output on the same clip, in the
// same run. Run it under the bench's X display (xvfb-run). The driver is this executable
// re-invoked with "--play FILE MODE"; it also counts the frames drawn and dropped.
#include <benchmark/benchmark.h>
#include <gst/gst.h>
#include <gst/video/videooverlay.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchRatio.h"
#include "bench/ChildProcess.h"
#include "graph/FilterGraph.h"
#include "video/EVRVideoWindow.h"

namespace {

constexpr int kClipSeconds = 10;
// Each is run this many times; the ratios are of the medians, as one run on a busy machine
// strays by a tenth either way.
constexpr int kRounds = 3;
// What the program takes from its launch to the clip's first frame, and a little more.
constexpr int kStartMs = 1500;
const std::string kManualSuffix =
    "/iterations:1/repeats:" + std::to_string(kRounds) + "/manual_time";

std::string& ClipPath() {
    static std::string path;
    return path;
}

std::string& SelfPath() {
    static std::string path;
    return path;
}

// Peak memory of each run by benchmark name, the largest of its rounds, for the memory ratios
// printed at the end.
std::map<std::string, double>& PeakMemory() {
    static std::map<std::string, double> peaks;
    return peaks;
}

bool MakeClip(const std::string& path) {
    const std::string seconds = std::to_string(kClipSeconds);
    const ChildCost run = RunChild({"ffmpeg",
                                    "-nostdin",
                                    "-v",
                                    "error",
                                    "-y",
                                    "-f",
                                    "lavfi",
                                    "-i",
                                    "testsrc2=size=1920x1080:rate=30:duration=" + seconds,
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
    return run.ran && std::filesystem::exists(path);
}

// The program starts a file given on its command line over when it ends, where mpv ends: its
// cost is read as the first round ends, when, past the middle of the clip, its reading of the
// clip stops going forward (it let go of the file, or opened it anew).
ChildCost RunProgramThroughClip(const std::vector<std::string>& command) {
    const std::filesystem::path clip = ClipPath();
    const auto midClip =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs + kClipSeconds * 500);
    long furthest = -1;
    auto firstRoundOver = [&](pid_t pid) {
        if (std::chrono::steady_clock::now() < midClip) return false;
        const long position = ChildReadPosition(pid, clip);
        furthest = std::max(furthest, position);
        return position < furthest;
    };
    return RunChildUntil(command, firstRoundOver, kStartMs + kClipSeconds * 1000 + 5000);
}

void Measure(benchmark::State& state, const std::string& name,
             const std::vector<std::string>& command, bool repeatsTheClip) {
    for (auto _ : state) {
        const ChildCost cost = repeatsTheClip ? RunProgramThroughClip(command) : RunChild(command);
        if (!cost.ran) {
            state.SkipWithError(("failed: " + command[0] + "\n" + cost.output).c_str());
            return;
        }
        state.SetIterationTime(cost.cpuSeconds);
        state.counters["cpu_s"] = cost.cpuSeconds;
        state.counters["peak_MiB"] = cost.peakMiB;
        PeakMemory()[name] = std::max(PeakMemory()[name], cost.peakMiB);
        // The driver reports its renderer and its sink's counts.
        unsigned long rendered = 0, dropped = 0;
        const auto at = cost.output.find("rendered: ");
        if (at != std::string::npos &&
            std::sscanf(cost.output.c_str() + at, "rendered: %lu dropped: %lu", &rendered,
                        &dropped) == 2) {
            state.counters["rendered"] = static_cast<double>(rendered);
            state.counters["dropped"] = static_cast<double>(dropped);
        }
        const auto renderer = cost.output.find("renderer: ");
        if (renderer != std::string::npos)
            state.SetLabel(cost.output.substr(renderer + 10,
                                              cost.output.find('\n', renderer) - renderer - 10));
    }
}

// Registers one measured run; returns the name the results go under.
std::string Register(const std::string& name, const std::vector<std::string>& command,
                     bool repeatsTheClip = false) {
    const std::string runName = name + kManualSuffix;
    benchmark::RegisterBenchmark(name.c_str(),
                                 [runName, command, repeatsTheClip](benchmark::State& state) {
                                     Measure(state, runName, command, repeatsTheClip);
                                 })
        ->Iterations(1)
        ->Repetitions(kRounds)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
    return runName;
}

// The element of the renderer that draws and keeps the frame counts.
GstElement* DrawingSink(GstElement* renderer) {
    if (!GST_IS_BIN(renderer)) return GST_ELEMENT(gst_object_ref(renderer));
    return gst_bin_get_by_interface(GST_BIN(renderer), GST_TYPE_VIDEO_OVERLAY);
}

void ReportFrames(TEVRVideoWindow& window) {
    GstElement* renderer = window.GetFilter();
    GstElement* sink = renderer ? DrawingSink(renderer) : nullptr;
    guint64 rendered = 0, dropped = 0;
    if (sink && g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "stats")) {
        GstStructure* stats = nullptr;
        g_object_get(sink, "stats", &stats, nullptr);
        gst_structure_get_uint64(stats, "rendered", &rendered);
        gst_structure_get_uint64(stats, "dropped", &dropped);
        gst_structure_free(stats);
    }
    if (sink) gst_object_unref(sink);
    std::printf("renderer: %s\nrendered: %lu dropped: %lu\n", RendererFactoryName(window.Mode()),
                static_cast<unsigned long>(rendered), static_cast<unsigned long>(dropped));
}

// The driver: plays the clip to its end in a 640 x 360 window and reports its frames.
int PlayDriver(int argc, char** argv) {
    if (argc < 4) return 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    gst_init(nullptr, nullptr);
    TFilterGraph graph;
    TEVRVideoWindow window;
    window.setObjectName("EVRVideoWindow1");
    window.resize(640, 360);
    window.show();
    window.SetMode(std::strcmp(argv[3], "evr") == 0 ? vdmEVR : vdmNormal);
    window.SetFilterGraph(&graph);
    graph.OnGraphComplete = [](HRESULT, intptr_t) { QApplication::quit(); };
    graph.SetActive(true);
    // Sound is decoded but goes nowhere, as with mpv's null audio output.
    GstElement* silence = gst_element_factory_make("fakesink", nullptr);
    g_object_set(silence, "sync", TRUE, nullptr);
    g_object_set(graph.Pipeline(), "audio-sink", silence, nullptr);
    int result = 0;
    try {
        graph.OnRendered = [&](HRESULT rendered) {
            if (SUCCEEDED(rendered))
                graph.Play();
            else
                QApplication::exit(1);
        };
        graph.RenderFile(argv[2]);
        QTimer::singleShot((kClipSeconds + 10) * 1000, [] { QApplication::exit(3); });
        result = application.exec();
        ReportFrames(window);
    } catch (const std::exception& error) {
        std::printf("%s\n", error.what());
        result = 1;
    }
    graph.SetActive(false);
    window.SetFilterGraph(nullptr);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--play") == 0) return PlayDriver(argc, argv);
    const std::filesystem::path vexlo = VexloBesideBench();
    if (vexlo.empty()) return 1;
    char folder[] = "/tmp/vexlo-playback-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    SelfPath() = std::filesystem::canonical("/proc/self/exe").string();
    const std::string home = std::string(folder) + "/home";
    std::filesystem::create_directories(home);
    std::ofstream(home + "/Quelm.ini", std::ios::binary)
        << "[MedForm]\r\nFrmLeft=0\r\nFrmTop=0\r\nFrmWidth=640\r\nFrmHeight=400\r\n";
    setenv("VEXLO_HOME", home.c_str(), 1);
    ClipPath() = std::string(folder) + "/clip-1080p30.mp4";
    std::printf("Generating a %d s 1080p30 H.264 + AAC clip...\n", kClipSeconds);
    std::fflush(stdout);
    if (!MakeClip(ClipPath())) {
        std::fprintf(stderr, "ffmpeg could not make the clip\n");
        std::filesystem::remove_all(folder);
        return 1;
    }
    const std::string classic =
        Register("BM_VexloClassic", {SelfPath(), "--play", ClipPath(), "classic"});
    const std::string evr = Register("BM_VexloEVR", {SelfPath(), "--play", ClipPath(), "evr"});
    // The program itself, as "Open With" starts it, in a 640 x 400 window.
    const std::string binary = Register("BM_VexloBinary", {vexlo.string(), ClipPath()}, true);
    const std::string mpv =
        Register("BM_Mpv", {"mpv", "--no-config", "--vo=x11", "--ao=null", "--really-quiet",
                            "--geometry=640x360", ClipPath()});
    const int result =
        RunBenchmarksWithRatios(argc, argv, {{classic, mpv}, {evr, mpv}, {binary, mpv}});
    std::printf("Peak memory (ours / mpv; below 1 is smaller):\n");
    for (const std::string& ours : {classic, evr, binary})
        if (PeakMemory().count(ours) && PeakMemory().count(mpv))
            std::printf("  %-40s ratio: %.3f\n", ours.c_str(),
                        PeakMemory()[ours] / PeakMemory()[mpv]);
    std::filesystem::remove_all(folder);
    return result;
}
