// The player as the desktop's media keys and player widgets drive it: on a session bus of the
// test's own, `playerctl` opens a file, pauses, plays, seeks, turns the volume, goes to the
// next row, stops, goes back a row and quits; the window shows each of them, and a follower
// hears every change.
#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>

#include "tests/e2e/JourneySupport.h"

namespace {

const QColor kGreen(0, 255, 0);

// A session bus for this test alone, given to the tools the test runs.
class PrivateSessionBus {
  public:
    PrivateSessionBus() {
        FDaemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (FDaemon.waitForReadyRead(5000))
            Address = QString::fromUtf8(FDaemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", Address.toUtf8());
    }
    ~PrivateSessionBus() {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        FDaemon.kill();
        FDaemon.waitForFinished();
    }
    QString Address;

  private:
    QProcess FDaemon;
};

QString Playerctl(const QStringList& arguments) {
    const ToolRun run = RunTool("playerctl", QStringList{"-p", "vexlo"} + arguments, 5000);
    return QString::fromUtf8(run.output).trimmed();
}

bool WaitForStatus(const QString& status) {
    return WaitFor([&] { return Playerctl({"status"}) == status; });
}

// The caption's time, "0:00:12", of a caption that counts a file.
QString CaptionTime(const QString& caption) {
    return QRegularExpression(R"(% - (\d:\d\d:\d\d) )").match(caption).captured(1);
}

}  // namespace

TEST(DesktopControlsJourney, PlayerctlDrivesThePlayerAndHearsWhatItDoes) {
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.Address.isEmpty()) << "dbus-daemon did not start";
    VexloProcess vexlo;
    vexlo.Environment().insert("DBUS_SESSION_BUS_ADDRESS", bus.Address);
    const QString folder =
        MakeMediaFolder(vexlo, "films", {{"long.mp4", "a.mp4"}, {"longgreen.mp4", "b.mp4"}});
    WriteSettings(vexlo, {"VideoFolder=" + folder});
    ASSERT_TRUE(vexlo.Start());
    ASSERT_TRUE(vexlo.WaitForWindow());
    const TPlayerLayout layout(vexlo.Geometry().size());
    ASSERT_TRUE(WaitForStatus("Stopped")) << vexlo.Output().toStdString();
    QProcess follower;
    follower.start("playerctl",
                   {"-p", "vexlo", "metadata", "--follow", "--format", "{{status}} {{title}}"});
    QThread::msleep(600);  // the ready step, and the follower on the bus

    // A file the desktop hands over plays as one from the command line.
    Playerctl({"open", "file://" + folder + "a.mp4"});
    const QRegularExpression countingA(R"(^\d+\.\d% - 0:00:0\d \[0:00:30\] \[a\.mp4\]$)");
    const QString opened = WaitForTitle(vexlo, countingA);
    EXPECT_TRUE(countingA.match(opened).hasMatch()) << opened.toStdString();
    EXPECT_EQ(Playerctl({"status"}), "Playing");
    EXPECT_EQ(Playerctl({"metadata", "title"}), "a.mp4");
    EXPECT_EQ(Playerctl({"metadata", "xesam:url"}), "file://" + folder + "a.mp4");
    EXPECT_NEAR(Playerctl({"metadata", "mpris:length"}).toDouble(), 30e6, 0.2e6);

    Playerctl({"pause"});
    EXPECT_TRUE(WaitForStatus("Paused"));
    QThread::msleep(300);
    const QString paused = vexlo.Title();
    QThread::msleep(1500);
    EXPECT_EQ(vexlo.Title(), paused) << "the caption stops with the picture";

    Playerctl({"play"});
    Playerctl({"position", "20"});
    const QString at20 = WaitForTitle(vexlo, QRegularExpression(R"( 0:00:2[0-2] \[0:00:30\])"));
    EXPECT_TRUE(CaptionTime(at20).startsWith("0:00:2")) << at20.toStdString();
    EXPECT_NEAR(Playerctl({"position"}).toDouble(), 21, 1.6);
    Playerctl({"position", "10-"});
    const QString back = WaitForTitle(vexlo, QRegularExpression(R"( 0:00:1[0-3] \[0:00:30\])"));
    EXPECT_TRUE(CaptionTime(back).startsWith("0:00:1")) << back.toStdString();

    const QImage fullVolume = vexlo.Grab().copy(layout.VolumeSlider());
    Playerctl({"volume", "0.3"});
    EXPECT_TRUE(WaitFor([&] { return Playerctl({"volume"}).toDouble() == 0.3; }));
    EXPECT_NE(vexlo.Grab().copy(layout.VolumeSlider()), fullVolume) << "the slider's thumb moved";

    // The row after the first, which the file from outside stood for.
    Playerctl({"next"});
    const QString nextRow = WaitForTitle(vexlo, QRegularExpression(R"(\[b\.mp4\]$)"));
    EXPECT_TRUE(nextRow.endsWith("[b.mp4]")) << nextRow.toStdString();
    QRect centre(QPoint(), QSize(60, 60));
    centre.moveCenter(layout.Picture().center());
    EXPECT_TRUE(WaitForColour(vexlo, centre, kGreen));

    Playerctl({"stop"});
    EXPECT_TRUE(WaitForStatus("Stopped"));
    EXPECT_EQ(WaitForTitle(vexlo, QRegularExpression("^Idle$")), "Idle");

    Playerctl({"previous"});
    const QString previous = WaitForTitle(vexlo, QRegularExpression(R"(\[0:00:30\] \[a\.mp4\]$)"));
    EXPECT_TRUE(previous.endsWith("[a.mp4]")) << previous.toStdString();
    EXPECT_TRUE(WaitForStatus("Playing"));
    SaveShot(vexlo, "DesktopControls");

    const ToolRun quit = RunTool(
        "gdbus", {"call", "--session", "--dest", "org.mpris.MediaPlayer2.vexlo", "--object-path",
                  "/org/mpris/MediaPlayer2", "--method", "org.mpris.MediaPlayer2.Quit"});
    EXPECT_TRUE(quit.Succeeded()) << quit.errors.toStdString();
    EXPECT_EQ(vexlo.WaitForExit(), 0);

    follower.kill();
    follower.waitForFinished();
    const QString heard = QString::fromUtf8(follower.readAllStandardOutput());
    const QRegularExpression order(
        "Playing a.mp4\\n(.*\\n)*Paused a.mp4\\n(.*\\n)*Playing a.mp4\\n(.*\\n)*"
        "Playing b.mp4\\n(.*\\n)*Stopped b.mp4\\n(.*\\n)*Playing a.mp4\\n");
    EXPECT_TRUE(order.match(heard).hasMatch()) << heard.toStdString();
}
