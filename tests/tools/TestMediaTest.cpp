// The generated clips are what the tests rely on: GStreamer decodes every stream, each clip
// shows the documented picture and tone for the documented time, and the bad inputs are
// unplayable.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "tests/support/TestMedia.h"
#include "tests/support/X11Support.h"

namespace {

constexpr int kSampleRate = 44100;

QString Uri(const std::string& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path)).toString(QUrl::FullyEncoded);
}

QString Path(const std::string& name) {
    return QString::fromStdString(TestMediaPath(name));
}

// The first picture, decoded by ffmpeg.
QImage FirstFrame(const std::string& name) {
    return QImage::fromData(ToolOutput("ffmpeg", {"-v", "error", "-i", Path(name), "-frames:v", "1",
                                                  "-f", "image2pipe", "-c:v", "png", "-"}),
                            "PNG");
}

// The sound as mono 16-bit samples at kSampleRate, decoded by ffmpeg.
std::vector<int16_t> Sound(const std::string& name) {
    const QByteArray raw =
        ToolOutput("ffmpeg", {"-v", "error", "-i", Path(name), "-map", "0:a:0", "-ac", "1", "-ar",
                              QString::number(kSampleRate), "-f", "s16le", "-"});
    std::vector<int16_t> samples(raw.size() / 2);
    memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

// gst-launch's playbin into fake sinks, as fast as it decodes.
QStringList PlaybinArguments(const std::string& name) {
    return {"playbin", "uri=" + Uri(TestMediaPath(name)), "video-sink=fakesink sync=false",
            "audio-sink=fakesink sync=false"};
}

// Plays a clip; returns everything gst-launch printed.
QByteArray PlayWithGStreamer(const std::string& name, bool* succeeded) {
    const ToolRun run = RunTool("gst-launch-1.0", PlaybinArguments(name), 20000);
    *succeeded = run.Succeeded();
    return run.output + run.errors;
}

// Plays a bad input until gst-launch reports an error or ends, as slowly as a loaded machine
// makes it: after the error it now and then never returns (its own message loop waits on),
// so the error is what counts. Returns what it printed.
QByteArray ErrorOfGStreamer(const std::string& name) {
    QProcess launch;
    launch.setProcessChannelMode(QProcess::MergedChannels);
    launch.start("gst-launch-1.0", PlaybinArguments(name));
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (!said.contains("ERROR") && clock.elapsed() < 30000) {
        if (launch.waitForReadyRead(200))
            said += launch.readAll();
        else if (launch.state() == QProcess::NotRunning)
            break;
    }
    launch.kill();
    launch.waitForFinished(5000);
    return said + launch.readAll();
}

double DurationSeconds(const std::string& name) {
    return ToolOutput("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of",
                                  "csv=p=0", Path(name)})
        .trimmed()
        .toDouble();
}

void ExpectColour(const QImage& frame, const QRect& area, QRgb expected, const char* where) {
    const QColor actual = AverageColour(frame, area);
    EXPECT_TRUE(ColourNear(actual, QColor(expected), 16))
        << where << " is " << actual.name().toStdString() << ", expected "
        << QColor(expected).name().toStdString();
}

}  // namespace

TEST(TestMedia, EveryClipExists) {
    for (const TestClip& clip : TestClips())
        EXPECT_TRUE(std::filesystem::is_regular_file(TestMediaPath(clip.name))) << clip.name;
    EXPECT_EQ(TestClipNames(TestClipKind::Video).size(), 11u);
    EXPECT_EQ(TestClipNames(TestClipKind::Audio).size(), 4u);
}

TEST(TestMedia, PicturesShowTheirColours) {
    // Away from the red/blue edge, where chroma subsampling blends the halves.
    const QRect left(20, 20, 100, 200), right(200, 20, 100, 200);
    for (const TestClip& clip : TestClips()) {
        if (clip.picture == TestPicture::None) continue;
        SCOPED_TRACE(clip.name);
        const QImage frame = FirstFrame(clip.name);
        ASSERT_EQ(frame.size(), QSize(kTestPictureWidth, kTestPictureHeight));
        const bool green = clip.picture == TestPicture::Green;
        ExpectColour(frame, left, green ? kTestGreen : kTestRed, "left half");
        ExpectColour(frame, right, green ? kTestGreen : kTestBlue, "right half");
    }
}

TEST(TestMedia, GStreamerDecodesEveryStream) {
    for (const TestClip& clip : TestClips()) {
        if (clip.kind == TestClipKind::Bad) continue;
        bool succeeded = false;
        const QByteArray said = PlayWithGStreamer(clip.name, &succeeded);
        // A stream without a decoder is only a warning: the other streams still play.
        EXPECT_TRUE(succeeded && !said.contains("WARNING") && !said.contains("Missing"))
            << clip.name << ":\n"
            << said.toStdString();
    }
}

TEST(TestMedia, ClipsLastTheirDocumentedTime) {
    for (const TestClip& clip : TestClips()) {
        if (clip.kind == TestClipKind::Bad) continue;
        // Containers add up to a few frames of audio priming or index slack.
        EXPECT_NEAR(DurationSeconds(clip.name), clip.seconds, 0.15) << clip.name;
    }
}

TEST(TestMedia, SoundIsTheTone) {
    for (const TestClip& clip : TestClips()) {
        if (!clip.sound) continue;
        SCOPED_TRACE(clip.name);
        const std::vector<int16_t> samples = Sound(clip.name);
        ASSERT_GE(samples.size(), size_t(kSampleRate * clip.seconds * 0.95));
        // The middle half second: no encoder ramp, no priming.
        const size_t begin = samples.size() / 2 - kSampleRate / 4, end = begin + kSampleRate / 2;
        double energy = 0;
        int crossings = 0;
        for (size_t i = begin; i < end; ++i) {
            energy += double(samples[i]) * samples[i];
            crossings += (samples[i - 1] < 0) != (samples[i] < 0);
        }
        const double rms = std::sqrt(energy / (end - begin)) / 32768;
        EXPECT_NEAR(rms, 0.125 / std::sqrt(2.0), 0.02);         // a sine of 1/8 full scale
        EXPECT_NEAR(crossings, kTestToneHz, kTestToneHz / 50);  // two per period, half a second
    }
}

TEST(TestMedia, BadInputsAreUnplayable) {
    QFile video(QString::fromStdString(TestMediaPath("video.mp4")));
    QFile truncated(QString::fromStdString(TestMediaPath("truncated.mp4")));
    ASSERT_TRUE(video.open(QIODevice::ReadOnly) && truncated.open(QIODevice::ReadOnly));
    EXPECT_TRUE(truncated.size() == 2048 && truncated.readAll() == video.read(2048))
        << "truncated.mp4 is not the first 2 KB of video.mp4";
    EXPECT_EQ(std::filesystem::file_size(TestMediaPath("empty.avi")), 0u);

    for (const std::string& name : TestClipNames(TestClipKind::Bad)) {
        const QByteArray said = ErrorOfGStreamer(name);
        EXPECT_TRUE(said.contains("ERROR") && !said.contains("Got EOS"))
            << name << " played:\n" << said.toStdString();
    }
}
