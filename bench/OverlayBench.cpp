// What the text over the picture costs while a clip plays: CPU seconds of a driver process that
// runs the player window for a fixed time with a clip from its command line (repeating), once
// with the text on and once with "Don't Show Text", in the same run. Printed at the end as the
// extra percent of one core the text takes, as the mean of a few rounds. Run it under the bench's X
// display (xvfb-run). The driver is this executable re-invoked with "--play FILE on|off".
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/Main.h"
#include "bench/BenchRatio.h"
#include "bench/ChildProcess.h"
#include "filters/PropEdit.h"
#include "filters/TransformMain.h"
#include "graph/ExternalFilters.h"

namespace {

constexpr int kPlaySeconds = 10;
constexpr int kRounds = 3;
const char kManualSuffix[] = "/iterations:1/manual_time";

std::map<std::string, double>& CpuSeconds() {
    static std::map<std::string, double> seconds;
    return seconds;
}

bool MakeClip(const std::string& path) {
    const ChildCost run = RunChild({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                    "testsrc2=size=640x360:rate=25:duration=4", "-c:v", "libx264",
                                    "-preset", "veryfast", "-pix_fmt", "yuv420p", path});
    return run.ran && std::filesystem::exists(path);
}

std::string Register(const std::string& name, const std::vector<std::string>& command) {
    const std::string runName = name + kManualSuffix;
    benchmark::RegisterBenchmark(
        name.c_str(),
        [runName, command](benchmark::State& state) {
            for (auto _ : state) {
                const ChildCost cost = RunChild(command);
                if (!cost.ran) {
                    state.SkipWithError(("driver failed\n" + cost.output).c_str());
                    return;
                }
                state.SetIterationTime(cost.cpuSeconds);
                state.counters["cpu_s"] = cost.cpuSeconds;
                CpuSeconds()[runName] = cost.cpuSeconds;
                state.SetLabel(cost.output.substr(0, cost.output.find('\n')));
            }
        })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
    return runName;
}

// The driver: the player window in a folder of its own, playing the clip for a fixed time.
int PlayDriver(int argc, char** argv) {
    if (argc < 4) return 2;
    QTemporaryDir home;
    qputenv("VEXLO_HOME", home.path().toUtf8() + "/");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    RegisterBrightnessFilter();
    RegisterBrightnessPage();
    RegisterExternalFilters();
    int result = 0;
    {
        TFormQuelm form({QString::fromLocal8Bit(argv[2])});
        form.mnNoText->setChecked(std::strcmp(argv[3], "off") == 0);
        form.show();
        QTimer::singleShot(kPlaySeconds * 1000, [] { QApplication::quit(); });
        result = application.exec();
        const bool shown = form.FTextOverlay && !form.FTextOverlay->GlyphArea().isEmpty();
        std::printf("text %s, renderer %s\n", shown ? "shown" : "not shown",
                    RendererFactoryName(form.EVRVideoWindow1->Mode()));
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--play") == 0) return PlayDriver(argc, argv);
    char folder[] = "/tmp/vexlo-overlay-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string clip = std::string(folder) + "/clip.mp4";
    if (!MakeClip(clip)) {
        std::fprintf(stderr, "ffmpeg could not make the clip\n");
        std::filesystem::remove_all(folder);
        return 1;
    }
    // Pairs taken in turn, so a change of load on the machine falls on both sides alike.
    std::vector<BenchPair> pairs;
    for (int round = 1; round <= kRounds; ++round) {
        const std::string suffix = "/" + std::to_string(round);
        pairs.push_back(
            {Register("BM_PlayingWithText" + suffix, {self, "--play", clip, "on"}),
             Register("BM_PlayingWithoutText" + suffix, {self, "--play", clip, "off"})});
    }
    const int result = RunBenchmarksWithRatios(argc, argv, pairs);
    double extra = 0;
    int measured = 0;
    for (const BenchPair& pair : pairs) {
        if (!CpuSeconds().count(pair.ours) || !CpuSeconds().count(pair.peer)) continue;
        extra += CpuSeconds()[pair.ours] - CpuSeconds()[pair.peer];
        ++measured;
    }
    if (measured > 0)
        std::printf("The text costs %.2f%% of one core (mean of %d rounds of %d s of playing).\n",
                    extra / measured * 100.0 / kPlaySeconds, measured, kPlaySeconds);
    std::filesystem::remove_all(folder);
    return result;
}
