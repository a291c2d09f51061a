// The playlist's costs against peers measured in the same run:
// - listing a folder of 10,000 entries (half of them media names) with ScanMediaFolder, against
//   find printing the size of every entry of that folder (its start included);
// - a click on a playlist row until the clip's first frame reaches the video sink, against an
//   idle mpv driven over its IPC socket, from "loadfile" until it reports "playback-restart".
// Both players send their sound nowhere and are stopped between loads, outside the timing.
// Then the window's own pulse: how late a 10 ms timer on its thread comes at worst while a
// file, a damaged file, a DVD, a Blu-ray playlist and a file whose first bytes take 3 s open
// (aim: never more than 50 ms).
// Run it under an X display (xvfb-run). The clip is the generated video.mp4 of
// VEXLO_TEST_MEDIA, or of the build tree's test-media folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <gst/gst.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "adjust/ColorControl.h"
#include "app/Main.h"
#include "bench/BenchRatio.h"
#include "bench/ChildProcess.h"
#include "desktop/ErrorUnit.h"
#include "filters/PropEdit.h"
#include "filters/TransformMain.h"
#include "graph/ExternalFilters.h"
#include "tests/support/EventPump.h"
#include "tests/support/SlowFileSource.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kScanEntries = 10000;  // half media names, half not
constexpr int kClicks = 20;
constexpr int kScans = 40;  // about 2 s each for the scan and find: evens out other load
constexpr int kWaitMs = 10000;
constexpr int kHeartbeatMs = 10;
constexpr int kHeartbeatAimMs = 50;
constexpr int kOpens = 3;

const char kScan[] = "BM_ScanMediaFolder";
const char kFind[] = "BM_FindPrintfSizes";
const char kClick[] = "BM_ClickRowToFirstFrame";
const char kMpvLoad[] = "BM_MpvLoadfileToPlaybackRestart";

struct TBenchFolders {
    std::string root;  // every folder below ends in "/"
    std::string home;
    std::string scan;
    std::string clips;
    std::string clip;  // the clip inside `clips`
};

double Seconds(Clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Half media names with a few bytes each, half other names.
void FillScanFolder(const fs::path& folder) {
    fs::create_directories(folder);
    char name[32];
    for (int i = 0; i < kScanEntries / 2; ++i) {
        std::snprintf(name, sizeof name, "clip%04d.mp4", i);
        WriteFile(folder / name, "media");
        std::snprintf(name, sizeof name, "notes%04d.txt", i);
        WriteFile(folder / name, "notes");
    }
}

fs::path GeneratedClip() {
    const char* media = std::getenv("VEXLO_TEST_MEDIA");
    const fs::path folder =
        media && *media
            ? fs::path(media)
            : fs::canonical("/proc/self/exe").parent_path().parent_path() / "test-media";
    return folder / "video.mp4";
}

// The program folder with "Quelm.ini" naming the clip's folder, so the history's text (what a
// click builds the path from) is that folder; the scan folder; the clip's folder.
TBenchFolders PrepareFolders(const std::string& root, const fs::path& clip) {
    TBenchFolders folders{root + "/", root + "/home/", root + "/scan/", root + "/clips/", ""};
    fs::create_directories(folders.home);
    fs::create_directories(root + "/drive");
    fs::create_directories(folders.clips);
    FillScanFolder(folders.scan);
    folders.clip = folders.clips + clip.filename().string();
    fs::copy_file(clip, folders.clip);
    WriteFile(folders.home + "Quelm.ini", "[MedForm]\r\nVideoFolder=" + folders.clips + "\r\n");
    setenv("VEXLO_HOME", folders.home.c_str(), 1);
    setenv("VEXLO_DRIVE_ROOT", (root + "/drive").c_str(), 1);
    return folders;
}

// Notes when the first buffer of a file reaches the video sink: a one-shot probe on the sink's
// input, put there as the graph starts rendering the file, before anything flows.
class TFirstFrameWatch : public IGraphListener {
  public:
    explicit TFirstFrameWatch(TFilterGraph& graph) : FGraph(graph) {
        graph.InsertEventNotifier(this);
    }
    ~TFirstFrameWatch() override { FGraph.RemoveEventNotifier(this); }

    void Reset() { FArrival = kNone; }
    // When the graph, built and with its members, began rendering the file.
    Clock::time_point RenderStart() const { return FRenderStart; }
    bool Arrived() const { return FArrival.load() != kNone; }
    Clock::time_point Arrival() const {
        return Clock::time_point(Clock::duration(FArrival.load()));
    }

    void GraphEvent(int32_t, intptr_t, intptr_t) override {}
    void ControlEvent(TControlEvent event, intptr_t) override {
        GstElement* pipeline = FGraph.Pipeline();
        if (event != ceFileRendering || !pipeline) return;
        FRenderStart = Clock::now();
        // Sound is decoded but goes nowhere, as with mpv's null audio output.
        GstElement* silence = gst_element_factory_make("fakesink", nullptr);
        g_object_set(silence, "sync", TRUE, nullptr);
        g_object_set(pipeline, "audio-sink", silence, nullptr);
        GstElement* sink = nullptr;
        g_object_get(pipeline, "video-sink", &sink, nullptr);
        if (!sink) return;
        if (GstPad* pad = gst_element_get_static_pad(sink, "sink")) {
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, FirstBuffer, this, nullptr);
            gst_object_unref(pad);
        }
        gst_object_unref(sink);
    }

  private:
    static GstPadProbeReturn FirstBuffer(GstPad*, GstPadProbeInfo*, gpointer self) {
        static_cast<TFirstFrameWatch*>(self)->FArrival = Clock::now().time_since_epoch().count();
        return GST_PAD_PROBE_REMOVE;
    }

    static constexpr Clock::rep kNone = 0;
    TFilterGraph& FGraph;
    Clock::time_point FRenderStart;
    std::atomic<Clock::rep> FArrival{kNone};  // written by a streaming thread
};

// mpv waiting idle with its IPC socket, started once; each load is a "loadfile" command that
// ends at the event the player reports.
class TMpvPeer {
  public:
    explicit TMpvPeer(const std::string& socketPath) {
        const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
        FPid = StartChild({"mpv", "--idle", "--input-ipc-server=" + socketPath, "--vo=x11",
                           "--ao=null", "--no-config", "--really-quiet"},
                          quiet);
        if (quiet >= 0) close(quiet);
        if (FPid > 0) Connect(socketPath);
    }
    ~TMpvPeer() {
        if (FSocket >= 0) {
            Send(R"({"command":["quit"]})");
            close(FSocket);
        }
        if (FPid <= 0) return;
        for (int waited = 0; waited < 3000; waited += 20) {
            if (waitpid(FPid, nullptr, WNOHANG) == FPid) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
    }
    TMpvPeer(const TMpvPeer&) = delete;
    TMpvPeer& operator=(const TMpvPeer&) = delete;

    bool Ready() const { return FSocket >= 0; }

    bool Send(const std::string& command) {
        const std::string line = command + "\n";
        return write(FSocket, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    }

    // Reads the player's messages until the event `name`; false on a timeout, or when the
    // file ends first (a load that failed).
    bool WaitForEvent(const std::string& name) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
        const std::string wanted = "\"event\":\"" + name + "\"";
        for (std::string line; ReadLine(line, deadline);) {
            if (line.find(wanted) != std::string::npos) return true;
            if (line.find("\"event\":\"end-file\"") != std::string::npos) return false;
        }
        return false;
    }

  private:
    // mpv makes its socket some time after it starts.
    void Connect(const std::string& socketPath) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        for (int waited = 0; waited < kWaitMs; waited += 20) {
            FSocket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (connect(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                return;
            close(FSocket);
            FSocket = -1;
            if (waitpid(FPid, nullptr, WNOHANG) == FPid) {
                FPid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    bool ReadLine(std::string& line, Clock::time_point deadline) {
        for (;;) {
            const auto end = FPending.find('\n');
            if (end != std::string::npos) {
                line = FPending.substr(0, end);
                FPending.erase(0, end + 1);
                return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd input{FSocket, POLLIN, 0};
            if (left.count() <= 0 || poll(&input, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char buffer[4096];
            const ssize_t n = read(FSocket, buffer, sizeof buffer);
            if (n <= 0) return false;
            FPending.append(buffer, n);
        }
    }

    pid_t FPid = -1;
    int FSocket = -1;
    std::string FPending;  // read, not yet split into lines
};

void ScanFolder(benchmark::State& state, TFormQuelm& form, const std::string& folder) {
    for (auto _ : state) form.ScanMediaFolder(folder);
    state.counters["rows"] = form.LvVideoSource->topLevelItemCount();
}

void FindSizes(benchmark::State& state, const std::string& folder) {
    size_t lines = 0;
    for (auto _ : state) {
        const ChildCost run = RunChild({"find", folder, "-maxdepth", "1", "-printf", "%s\\n"});
        if (!run.ran) {
            state.SkipWithError("find failed");
            return;
        }
        lines = std::count(run.output.begin(), run.output.end(), '\n');
    }
    state.counters["lines"] = static_cast<double>(lines);
}

// The time runs from the click to the first frame at the sink. Beside it: when the graph was
// built (render begins) and when the click returned (it waits for the preroll, then plays).
void ClickRow(benchmark::State& state, TFormQuelm& form, TFirstFrameWatch& watch,
              const std::string& folder) {
    form.ScanMediaFolder(folder);
    QTreeWidgetItem* row = form.LvVideoSource->topLevelItem(0);
    if (!row) return state.SkipWithError("the clip's folder lists no row");
    double built = 0, returned = 0;
    for (auto _ : state) {
        form.FG.SetActive(false);  // stopped between clicks, as mpv is
        form.FG.FinishTeardown();
        form.LvVideoSource->setCurrentItem(row);
        watch.Reset();
        const Clock::time_point start = Clock::now();
        form.Guard(&form, [&] { form.LvVideoSourceClick(); });
        returned += Seconds(Clock::now() - start) * 1000;
        if (!form.FG.Pipeline()) return state.SkipWithError("the click opened no graph");
        if (!PumpUntil([&] { return watch.Arrived(); }, kWaitMs))
            return state.SkipWithError("no frame reached the video sink");
        state.SetIterationTime(Seconds(watch.Arrival() - start));
        built += Seconds(watch.RenderStart() - start) * 1000;
    }
    form.FG.SetActive(false);
    state.counters["built_ms"] = benchmark::Counter(built, benchmark::Counter::kAvgIterations);
    state.counters["returned_ms"] =
        benchmark::Counter(returned, benchmark::Counter::kAvgIterations);
    state.SetLabel(RendererFactoryName(form.EVRVideoWindow1->Mode()));
}

// mpv starts here, outside the timing, so that its start-up does not weigh on the other runs.
void MpvLoad(benchmark::State& state, const std::string& socketPath, const std::string& clip) {
    TMpvPeer mpv(socketPath);
    if (!mpv.Ready()) return state.SkipWithError("mpv did not start");
    // The clip's path is ours, without quotes or backslashes to escape.
    const std::string load = R"({"command":["loadfile",")" + clip + R"("]})";
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!mpv.Send(load) || !mpv.WaitForEvent("playback-restart"))
            return state.SkipWithError("mpv did not start playing the clip");
        state.SetIterationTime(Seconds(Clock::now() - start));
        if (!mpv.Send(R"({"command":["stop"]})") || !mpv.WaitForEvent("end-file"))
            return state.SkipWithError("mpv did not stop");
    }
}

// ---- The window's pulse while files open ----

// The longest a kHeartbeatMs timer on this thread came late since Start.
class THeartbeat {
  public:
    THeartbeat() {
        FTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            const double late = Seconds(now - FLast) * 1000 - kHeartbeatMs;
            FWorstMs = std::max(FWorstMs, late);
            FLast = now;
        });
    }
    void Start() {
        FWorstMs = 0;
        FLast = Clock::now();
        FTimer.start(kHeartbeatMs);
    }
    double Stop() {
        FTimer.stop();
        return FWorstMs;
    }

  private:
    QTimer FTimer;
    Clock::time_point FLast;
    double FWorstMs = 0;
};

struct TOpenCase {
    const char* name;
    std::string path;
    bool dvd;
    bool slowSource;
};

// Each open from a stopped window, as a row click makes it, and a second of what follows it
// (the outcome, playback starting or the error shown).
void PulseWhileOpening(benchmark::State& state, TFormQuelm& form, const TOpenCase& open,
                       double& worstMs) {
    if (open.slowSource) SetSlowSourceRank(GST_RANK_PRIMARY + 100);
    THeartbeat heartbeat;
    double worst = 0;
    for (auto _ : state) {
        form.FG.SetActive(false);
        PumpFor(200);
        heartbeat.Start();
        form.Guard(&form, [&] {
            if (open.dvd)
                form.OpenDvdVolume(open.path);
            else
                form.OpenMediaOrShowError(open.path);
        });
        PumpFor(1000);
        const double late = heartbeat.Stop();
        worst = std::max(worst, late);
        state.SetIterationTime(late / 1000);
    }
    form.FG.SetActive(false);
    if (open.slowSource) SetSlowSourceRank(GST_RANK_NONE);
    state.counters["worst_late_ms"] = worst;
    worstMs = std::max(worstMs, worst);
}

void RegisterHeartbeats(TFormQuelm& form, const fs::path& media, double& worstMs) {
    const std::vector<TOpenCase> cases = {
        {"File", (media / "video.mp4").string(), false, false},
        {"DamagedFile", (media / "truncated.mp4").string(), false, false},
        {"Dvd", (media / "dvd/VIDEO_TS/VIDEO_TS.IFO").string(), true, false},
        {"BluRayPlaylist", (media / "bluray/main/BDMV/PLAYLIST/00000.mpls").string(), false, false},
        {"SlowFirstBytes", (media / "video.mp4").string(), false, true}};
    for (const TOpenCase& open : cases)
        benchmark::RegisterBenchmark((std::string("BM_HeartbeatWhileOpening/") + open.name).c_str(),
                                     [&form, open, &worstMs](benchmark::State& state) {
                                         PulseWhileOpening(state, form, open, worstMs);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kOpens)
            ->UseManualTime();
}

// Sets up the player as the program entry does, shows it, and runs the benchmarks.
int RunWithPlayer(int argc, char** argv, const TBenchFolders& folders) {
    RegisterBrightnessFilter();
    RegisterBrightnessPage();
    RegisterExternalFilters();
    auto form = std::make_unique<TFormQuelm>();
    auto colorControlForm = std::make_unique<TColorControlForm>();
    OpenErrorForm();
    form->show();
    // Mapped, and past the ready step 400 ms after creation.
    PumpUntil([&] { return form->windowHandle() && form->windowHandle()->isExposed(); }, kWaitMs);
    PumpFor(600);
    int result = 0;
    {
        TFirstFrameWatch watch(form->FG);
        TFormQuelm& player = *form;
        benchmark::RegisterBenchmark(
            kScan, [&](benchmark::State& state) { ScanFolder(state, player, folders.scan); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kScans)
            ->UseRealTime();
        benchmark::RegisterBenchmark(
            kFind, [&](benchmark::State& state) { FindSizes(state, folders.scan); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kScans)
            ->UseRealTime();
        benchmark::RegisterBenchmark(
            kClick, [&](benchmark::State& state) { ClickRow(state, player, watch, folders.clips); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kClicks)
            ->UseManualTime();
        benchmark::RegisterBenchmark(kMpvLoad,
                                     [&](benchmark::State& state) {
                                         MpvLoad(state, folders.root + "mpv.sock", folders.clip);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kClicks)
            ->UseManualTime();
        double worstLateMs = 0;
        RegisterHeartbeats(player, GeneratedClip().parent_path(), worstLateMs);
        const std::string scans = "/iterations:" + std::to_string(kScans) + "/real_time";
        const std::string clicks = "/iterations:" + std::to_string(kClicks) + "/manual_time";
        result = RunBenchmarksWithRatios(
            argc, argv, {{kScan + scans, kFind + scans}, {kClick + clicks, kMpvLoad + clicks}});
        std::printf("heartbeat: at most %.0f ms late while opening (aim: at most %d)\n",
                    worstLateMs, kHeartbeatAimMs);
    }
    // The player window goes first, as at the program's end.
    form.reset();
    colorControlForm.reset();
    FreeErrorForm();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    const fs::path clip = GeneratedClip();
    if (!fs::is_regular_file(clip)) {
        std::fprintf(stderr,
                     "No generated clip at %s: run tools/make-test-media on its folder or set "
                     "VEXLO_TEST_MEDIA\n",
                     clip.c_str());
        return 1;
    }
    char root[] = "/tmp/vexlo-playlist-XXXXXX";
    if (!mkdtemp(root)) return 1;
    const TBenchFolders folders = PrepareFolders(root, clip);
    QApplication application(argc, argv);
    const int result = RunWithPlayer(argc, argv, folders);
    fs::remove_all(root);
    return result;
}
