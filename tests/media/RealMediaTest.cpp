// Real media as users' folders hold it (tools/fetch-real-media): every file that mpv plays for a
// second plays in the real vexlo binary too, its time running in the caption and, for a video,
// a picture on the screen; and no file crashes or hangs the player. Prints a table of the files
// and how each player did.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "tests/support/X11Support.h"

namespace {

struct TCorpusFile {
    QString Path;
    QString Codecs;  // "h264+aac"
    bool HasVideo = false;
};

struct TVexloRun {
    bool Played = false;   // the caption's time reached a second
    bool Picture = false;  // the window showed a picture that is not flat
    bool Clean = false;    // closed with exit code 0
};

QString CorpusFolder() {
    return qEnvironmentVariable("VEXLO_REAL_MEDIA");
}

TCorpusFile Probe(const QString& path) {
    TCorpusFile file{path, {}, false};
    const ToolRun probe = RunTool("ffprobe", {"-v", "error", "-show_entries",
                                              "stream=codec_name,codec_type", "-of", "csv=p=0", path});
    QStringList codecs;
    for (const QString& line : QString::fromUtf8(probe.output).split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.trimmed().split(',');
        codecs << fields.value(0);
        file.HasVideo |= fields.value(1) == "video";
    }
    file.Codecs = codecs.isEmpty() ? "?" : codecs.join('+');
    return file;
}

// The furthest position mpv reached in seconds, -1 when it did not play at all.
double MpvSeconds(const QString& path) {
    const ToolRun mpv = RunTool("mpv", {"--no-config", "--vo=null", "--ao=null", "--length=3",
                                        "--term-status-msg=POS ${=time-pos}", path},
                                10000);
    double furthest = -1;
    const QString output = QString::fromUtf8(mpv.output + mpv.errors);
    for (const auto& match : QRegularExpression(R"(POS (\d+(\.\d+)?))").globalMatch(output))
        furthest = std::max(furthest, match.captured(1).toDouble());
    return furthest;
}

// Seconds of the time shown in the caption ("12.5% - 0:00:01 [0:00:08] [name]"), or -1.
int CaptionSeconds(const QString& title) {
    const auto match = QRegularExpression(R"( - (\d+):(\d\d):(\d\d) \[)").match(title);
    if (!match.hasMatch()) return -1;
    return match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60 +
           match.captured(3).toInt();
}

// Whether the picture area holds more than one flat colour, the green time over it aside.
bool PictureNotFlat(const QImage& window) {
    if (window.isNull()) return false;
    const QRect area(window.width() / 10, window.height() / 5, window.width() * 8 / 10,
                     window.height() / 2);
    double sum = 0, squares = 0;
    int count = 0;
    for (int y = area.top(); y < area.bottom(); y += 4)
        for (int x = area.left(); x < area.right(); x += 4) {
            const QColor pixel = window.pixelColor(x, y);
            if (pixel.green() > 150 && pixel.red() < 100 && pixel.blue() < 100) continue;
            const double light = 0.3 * pixel.red() + 0.59 * pixel.green() + 0.11 * pixel.blue();
            sum += light;
            squares += light * light;
            ++count;
        }
    if (count == 0) return false;
    const double mean = sum / count;
    return std::sqrt(std::max(0.0, squares / count - mean * mean)) > 6;
}

// A file mpv plays gets longer to start here; the others only have to leave the player whole.
TVexloRun PlayInVexlo(const TCorpusFile& file, int boundMs) {
    TVexloRun run;
    VexloProcess vexlo;
    if (!vexlo.Start({file.Path}) || !vexlo.WaitForWindow()) return run;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < boundMs && !(run.Played && (run.Picture || !file.HasVideo))) {
        run.Played |= CaptionSeconds(vexlo.Title()) >= 1;
        if (file.HasVideo && run.Played) run.Picture |= PictureNotFlat(vexlo.Grab());
        QThread::msleep(100);
    }
    run.Clean = vexlo.Close() == 0;
    return run;
}

const char* Mark(bool yes) {
    return yes ? "yes" : "no";
}

}  // namespace

TEST(RealMedia, EveryFileMpvPlaysPlaysHereAndNoFileCrashesOrHangs) {
    const QString folder = CorpusFolder();
    ASSERT_FALSE(folder.isEmpty()) << "VEXLO_REAL_MEDIA is not set";
    if (QFile unavailable(folder + "/UNAVAILABLE"); unavailable.open(QIODevice::ReadOnly)) {
        GTEST_SKIP() << "no real media: " << unavailable.readAll().trimmed().toStdString();
    }
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 30) << "too few files in " << folder.toStdString();

    std::cout << std::left << std::setw(30) << "file" << std::setw(18) << "codecs"
              << std::setw(10) << "mpv" << "vexlo\n";
    int mpvPlays = 0, bothPlay = 0;
    for (const QString& name : names) {
        const TCorpusFile file = Probe(folder + "/" + name);
        const double mpv = MpvSeconds(file.Path);
        // The caption's time moves once a second: a file of about one second can end between
        // two ticks, so it counts only when mpv got half a second past that.
        const bool mpvPlayed = mpv >= 1.5;
        const TVexloRun vexlo = PlayInVexlo(file, mpvPlayed ? 10000 : 4000);
        const bool played = vexlo.Played && (vexlo.Picture || !file.HasVideo);
        mpvPlays += mpvPlayed;
        bothPlay += mpvPlayed && played;
        std::ostringstream mpvCell, vexloCell;
        mpvCell << std::fixed << std::setprecision(1) << std::max(mpv, 0.0) << " s";
        vexloCell << "plays " << Mark(vexlo.Played);
        if (file.HasVideo) vexloCell << ", picture " << Mark(vexlo.Picture);
        if (!vexlo.Clean) vexloCell << ", CRASH OR HANG";
        std::cout << std::setw(30) << name.toStdString() << std::setw(18)
                  << file.Codecs.toStdString() << std::setw(10) << mpvCell.str()
                  << vexloCell.str() << std::endl;
        EXPECT_TRUE(vexlo.Clean) << name.toStdString() << " crashed or hung the player";
        EXPECT_TRUE(played || !mpvPlayed) << name.toStdString() << " plays in mpv, not here";
    }
    std::cout << "real media: " << bothPlay << " of " << mpvPlays << " play where mpv plays"
              << std::endl;
}
