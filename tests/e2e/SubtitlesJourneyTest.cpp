// Subtitles as a viewer meets them: the file beside the film and the film's own track show in
// the lower middle of the picture, above the green time; "Subtitles" takes them away and is
// remembered; the sound track is switched while the film plays; subtitle files written in other
// encodings show, and broken ones neither crash nor stall the player.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include "tests/e2e/JourneySupport.h"

namespace {

const QColor kWhite(255, 255, 255);
// Context menu items, by how many steps down from its top they are.
constexpr int kSubtitles = 7;
constexpr int kAudioTrack = 9;

class SubtitlesJourney : public ::testing::Test {
  protected:
    void Start(const std::vector<std::pair<QString, QString>>& clips, const QStringList& args) {
        Folder = MakeMediaFolder(Vexlo, "films", clips);
        WriteSettings(Vexlo, {"VideoFolder=" + Folder, "FrmWidth=620", "FrmHeight=400"});
        QStringList paths;
        for (const QString& arg : args) paths << Folder + arg;
        ASSERT_TRUE(Vexlo.Start(paths));
        // The player's window: its own name, or the caption of the file it plays.
        ASSERT_TRUE(Vexlo.WaitForWindow("^Vexlo Player$|\\]$"));
        Layout = TPlayerLayout(Vexlo.Geometry().size());
        QThread::msleep(600);  // the ready step
    }
    void TearDown() override {
        if (Closed || !Vexlo.Window()) return;
        SaveShot(Vexlo, QString("SubtitlesJourney-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        EXPECT_EQ(Vexlo.Close(), 0);
    }

    // Where a one-line subtitle shows: the middle half of the picture, just above the green
    // time text (whose top is 45 pixels above the window's bottom).
    QRect SubtitleBand() const {
        const int width = Layout.Window.width(), height = Layout.Window.height();
        return {width / 4, height - 45 - 40, width / 2, 38};
    }
    QRect TimeBand() const { return {0, Layout.Window.height() - 45, Layout.Window.width(), 28}; }
    double WhiteIn(const QRect& area) const { return ShareNear(Vexlo.Grab(), area, kWhite, 60); }
    bool SubtitleShows(int timeoutMs = 5000) {
        return WaitFor([&] { return WhiteIn(SubtitleBand()) > 0.03; }, timeoutMs);
    }
    bool SubtitleGone(int timeoutMs = 3000) {
        return WaitFor([&] { return WhiteIn(SubtitleBand()) < 0.002; }, timeoutMs);
    }
    // The file plays: its name in the caption with the time reaching the given second.
    bool Plays(const QString& name, int second) {
        const QRegularExpression playing(QString(" - 0:00:%1 \\[.*\\] \\[%2\\]$")
                                             .arg(second, 2, 10, QChar('0'))
                                             .arg(QRegularExpression::escape(name)));
        return WaitForTitle(Vexlo, playing, 10000).contains(playing);
    }
    // Opens the context menu over the picture and takes the keys; each time a few pixels from
    // the last, so a right-click soon after another is not a double click.
    void Menu(const QStringList& keys) {
        Shift = 12 - Shift;
        const QPoint at(60 + Shift, 30);
        const QRect corner(at + QPoint(10, 4), QSize(60, 12));
        const QImage before = Vexlo.Grab().copy(corner);
        Vexlo.Click(at, 3);
        ASSERT_TRUE(WaitFor([&] { return Vexlo.Grab().copy(corner) != before; }))
            << "no context menu";
        ASSERT_TRUE(RunTool("xdotool", QStringList{"key", "--delay", "60"} << keys).Succeeded());
    }
    static QStringList Downs(int count) {
        QStringList keys;
        for (int step = 0; step < count; ++step) keys << "Down";
        return keys;
    }
    void PlayRow(int index) {
        Vexlo.Click(Layout.OpenLabel());
        QThread::msleep(300);
        Vexlo.Click(Layout.Row(Layout.Window.width() / 4, index));
    }

    VexloProcess Vexlo;
    TPlayerLayout Layout{QSize()};
    QString Folder;
    int Shift = 0;
    bool Closed = false;
};

}  // namespace

TEST_F(SubtitlesJourney, FileBesideTheFilmShowsAboveTheTimeUntilSwitchedOff) {
    Start({{"subs.mp4", "film.mp4"}, {"subs.srt", "film.srt"}}, {"film.mp4"});
    ASSERT_TRUE(Plays("film.mp4", 1));
    ASSERT_TRUE(SubtitleShows()) << "no subtitle in the lower middle of the picture";
    EXPECT_LT(WhiteIn(TimeBand()), 0.002) << "the subtitle covers the green time";
    EXPECT_GT(GreenTextShare(Vexlo.Grab(), TimeBand()), 0.005) << "the time text is gone";
    SaveShot(Vexlo, "SubtitlesJourney-sidecar");
    Menu(Downs(kSubtitles) << "Return");
    EXPECT_TRUE(SubtitleGone()) << "\"Subtitles\" unchecked leaves the text";
    EXPECT_TRUE(Plays("film.mp4", 4));
    Menu(Downs(kSubtitles) << "Return");
    EXPECT_TRUE(SubtitleShows()) << "\"Subtitles\" checked again shows nothing";
    Menu(Downs(kSubtitles) << "Return");
    EXPECT_TRUE(SubtitleGone());
    Closed = true;
    EXPECT_EQ(Vexlo.Close(), 0);
    QFile settings(Vexlo.Home() + "Quelm.ini");
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().contains("Subtitles=0"));
}

TEST_F(SubtitlesJourney, FilmsOwnTrackShowsAndTheSoundTrackSwitchesWhilePlaying) {
    Start({{"embedded.mkv", "film.mkv"}}, {"film.mkv"});
    ASSERT_TRUE(Plays("film.mkv", 1));
    EXPECT_TRUE(SubtitleShows()) << "the film's subtitle track shows nothing";
    // "Audio Track", then its second entry (French, "Commentary").
    Menu(Downs(kAudioTrack) << "Right");
    QThread::msleep(400);
    SaveShot(Vexlo, "SubtitlesJourney-audio-tracks");
    ASSERT_TRUE(RunTool("xdotool", {"key", "--delay", "60", "Down", "Return"}).Succeeded());
    EXPECT_TRUE(Plays("film.mkv", 4)) << "the film stopped at the switch";
    EXPECT_TRUE(SubtitleShows());
}

// Files as people have them: with a byte-order mark, in Windows-1252, and broken: noise, empty,
// 50 MB. The broken ones are passed over; every film plays on.
TEST_F(SubtitlesJourney, SubtitleFilesInOtherEncodingsShowAndBrokenOnesDoNotStall) {
    const std::vector<std::pair<QString, bool>> cases = {
        {"bom", true}, {"empty", false}, {"huge", false}, {"latin", true}, {"random", false}};
    std::vector<std::pair<QString, QString>> clips;
    for (const auto& [name, shown] : cases) {
        clips.emplace_back("subs.mp4", name + ".mp4");
        const QString source = name == "latin" ? "1252" : name;
        clips.emplace_back("subs-" + source + ".srt", name + ".srt");
    }
    Start(clips, {});
    for (int row = 0; row < static_cast<int>(cases.size()); ++row) {
        const auto& [name, shown] = cases[row];
        SCOPED_TRACE(name.toStdString());
        QElapsedTimer clock;
        clock.start();
        PlayRow(row);
        EXPECT_TRUE(Plays(name + ".mp4", 2)) << Vexlo.Title().toStdString();
        EXPECT_LT(clock.elapsed(), 6000) << "the open stalled";
        if (shown) {
            EXPECT_TRUE(SubtitleShows());
        } else {
            EXPECT_LT(WhiteIn(SubtitleBand()), 0.002);
        }
    }
}
