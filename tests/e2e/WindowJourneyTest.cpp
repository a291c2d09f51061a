// The window as a user handles it: pulled by its edges and corners and dragged by the picture;
// the six placements, full screen and back, "Stay On Top"; and a start with awkward settings
// (a name with a colon, a size beyond the screen, no volume stored), a cancelled folder dialog
// and a close while the file plays, watched by a screen saver on a bus of the test's own.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <functional>

#include "tests/e2e/JourneySupport.h"
#include "tests/support/TestMedia.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
constexpr int kBar = 15;
// Where the context menu opens: near the window's top, so that it opens downwards everywhere.
const QPoint kMenuAt(200, 30);


QString Text(const QRect& rect) {
    return QString("%1x%2 at %3,%4")
        .arg(rect.width())
        .arg(rect.height())
        .arg(rect.x())
        .arg(rect.y());
}

void Xdotool(const QStringList& arguments) {
    ToolOutput("xdotool", arguments);
}

// A press at from and a release at to, in screen coordinates, moving in steps: the window
// moves under the pointer, so places relative to it would run away.
void DragOnScreen(const QPoint& from, const QPoint& to) {
    QStringList drag = {"mousemove", "--sync", QString::number(from.x()), QString::number(from.y()),
                        "mousedown", "1"};
    constexpr int kSteps = 8;
    for (int step = 1; step <= kSteps; ++step) {
        const QPoint at = from + (to - from) * step / kSteps;
        drag << "sleep"
             << "0.03"
             << "mousemove" << QString::number(at.x()) << QString::number(at.y());
    }
    Xdotool(drag << "sleep"
                 << "0.05"
                 << "mouseup"
                 << "1");
}

// Starts the program on a clip given on the command line (it repeats) and waits until it plays.
void StartPlaying(VexloProcess& vexlo, const QString& clip, const QString& name) {
    const QString path = vexlo.DriveRoot() + name;
    ASSERT_TRUE(QFile::copy(QString::fromStdString(TestMediaPath(clip.toStdString())), path));
    ASSERT_TRUE(vexlo.Start({path}));
    ASSERT_TRUE(vexlo.WaitForWindow());
    const QString title =
        WaitForTitle(vexlo, QRegularExpression("\\[" + QRegularExpression::escape(name) + "\\]$"));
    ASSERT_TRUE(title.endsWith("[" + name + "]")) << title.toStdString();
}

// A small square of the screen around a point.
QRect Around(const QPoint& point) {
    return QRect(point - QPoint(5, 5), QSize(10, 10));
}

// Whether the clip's red left and blue right half fill the picture area of a window at
// geometry (the part of it on screen), out to its edges.
bool PictureFills(const QRect& geometry) {
    const QImage screen = GrabScreen();
    const QRect picture =
        QRect(geometry.topLeft(), geometry.size() - QSize(0, kBar)) & screen.rect();
    const int middle = picture.center().y();
    auto near = [&](int x, int y, const QColor& colour) {
        return ColourNear(AverageColour(screen, Around(QPoint(x, y))), colour, 60);
    };
    return near(picture.left() + 8, middle, kRed) &&
           near(picture.left() + picture.width() / 4, middle, kRed) &&
           near(picture.left() + picture.width() * 3 / 4, middle, kBlue) &&
           near(picture.right() - 8, middle, kBlue) &&
           near(picture.right() - 8, picture.top() + 8, kBlue);
}

// Opens the context menu at a point of the window and types keys into it once it shows.
void ChooseFromMenu(VexloProcess& vexlo, const QPoint& at, const QStringList& keys) {
    const QRect menuCorner = Around(vexlo.Geometry().topLeft() + at + QPoint(30, 12));
    const QColor before = AverageColour(GrabScreen(), menuCorner);
    vexlo.Click(at, 3);
    ASSERT_TRUE(WaitFor([&] {
        return !ColourNear(AverageColour(GrabScreen(), menuCorner), before, 40);
    })) << "no context menu";
    Xdotool(QStringList{"key", "--delay", "60"} << keys);
}

QStringList Repeated(const QString& key, int times) {
    QStringList keys;
    for (int i = 0; i < times; ++i) keys << key;
    return keys;
}

// The "Auto Sized" item `index` (0 "Top R" ... 5 "Right of Screen"): the sub-menu is the sixth
// item from the bottom of the context menu.
void Place(VexloProcess& vexlo, int index) {
    ChooseFromMenu(vexlo, kMenuAt,
                   Repeated("Up", 6) << "Right" << Repeated("Down", index) << "Return");
}

QByteArray WindowState(const VexloProcess& vexlo) {
    return ToolOutput("xprop", {"-id", QString::number(vexlo.Window()), "_NET_WM_STATE"});
}

// A key's value in the program's "Quelm.ini", empty when it is not there.
std::string Setting(const VexloProcess& vexlo, const QString& key) {
    QFile file(vexlo.Home() + "Quelm.ini");
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QRegularExpression line("^" + key + "=(.*?)\\r?$", QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(file.readAll())).captured(1).toStdString();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A session bus of the test's own with a desktop screen saver on it that notes each call, one
// per line, and answers UnInhibit only after a pause: a player that pumps its events after
// that call has then seen its clip end.
class TScreenSaverBus {
  public:
    explicit TScreenSaverBus(const QString& folder, int unInhibitDelayMs)
        : FLog(folder + "screensaver.log") {
        FBus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!FBus.waitForReadyRead(10000)) return;
        FAddress = QString::fromUtf8(FBus.readLine()).trimmed();
        const QString script = folder + "screensaver.py";
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly)) return;
        file.write(kService);
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", FAddress);
        FService.setProcessEnvironment(environment);
        FService.setProcessChannelMode(QProcess::ForwardedChannels);
        // Debian's own Python: its dbus and gi modules are packages of the system.
        FService.start("/usr/bin/python3",
                       {script, FLog, QString::number(unInhibitDelayMs / 1000.0)});
        WaitFor([&] { return Calls().contains("ready"); }, 10000);
    }
    ~TScreenSaverBus() {
        for (QProcess* process : {&FService, &FBus}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    bool Ready() const { return !FAddress.isEmpty() && Calls().value(0) == "ready"; }
    QString Address() const { return FAddress; }
    // The calls so far, after the line "ready".
    QStringList Calls() const {
        return QString::fromUtf8(ReadFile(FLog)).split('\n', Qt::SkipEmptyParts);
    }

  private:
    static constexpr const char* kService = R"(import sys, time
import dbus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib
log = open(sys.argv[1], 'a', buffering=1)
class Saver(dbus.service.Object):
    @dbus.service.method('org.freedesktop.ScreenSaver', in_signature='ss', out_signature='u')
    def Inhibit(self, application, reason):
        log.write('Inhibit\n')
        return 7
    @dbus.service.method('org.freedesktop.ScreenSaver', in_signature='u')
    def UnInhibit(self, cookie):
        log.write('UnInhibit\n')
        time.sleep(float(sys.argv[2]))
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName('org.freedesktop.ScreenSaver', bus)
Saver(bus, '/org/freedesktop/ScreenSaver')
log.write('ready\n')
GLib.MainLoop().run()
)";
    QString FLog;
    QString FAddress;
    QProcess FBus;
    QProcess FService;
};

}  // namespace

TEST(WindowJourney, EveryEdgeAndCornerResizesOverThePictureWhichDragsTheWindow) {
    VexloProcess vexlo;
    WriteSettings(vexlo, {"FrmLeft=400", "FrmTop=300", "FrmWidth=640", "FrmHeight=400"});
    StartPlaying(vexlo, "video.mp4", "clip.mp4");
    ASSERT_EQ(vexlo.Geometry(), QRect(400, 300, 640, 400));
    ASSERT_TRUE(WaitFor([&] { return PictureFills(vexlo.Geometry()); })) << "no picture";

    // Each pull starts a pixel or two inside the edge, over the picture (or, at the bottom,
    // the bar); `to` is what the window becomes.
    struct Pull {
        const char* what;
        std::function<QPoint(const QRect&)> from;
        QPoint by;
        QRect to;
    };
    const Pull pulls[] = {
        {"left edge",
         [](const QRect& g) { return QPoint(g.left() + 1, g.center().y()); },
         {-60, 0},
         {340, 300, 700, 400}},
        {"top edge",
         [](const QRect& g) { return QPoint(g.center().x(), g.top() + 1); },
         {0, -50},
         {340, 250, 700, 450}},
        {"right edge",
         [](const QRect& g) { return QPoint(g.right() - 1, g.center().y()); },
         {80, 0},
         {340, 250, 780, 450}},
        {"bottom edge",
         [](const QRect& g) { return QPoint(g.center().x(), g.bottom() - 1); },
         {0, 40},
         {340, 250, 780, 490}},
        {"top left corner",
         [](const QRect& g) { return g.topLeft() + QPoint(1, 1); },
         {-30, -20},
         {310, 230, 810, 510}},
        {"bottom right corner",
         [](const QRect& g) { return g.bottomRight() - QPoint(1, 1); },
         {20, 30},
         {310, 230, 830, 540}},
        {"top right corner",
         [](const QRect& g) { return QPoint(g.right() - 1, g.top() + 1); },
         {-30, 20},
         {310, 250, 800, 520}},
        {"bottom left corner",
         [](const QRect& g) { return QPoint(g.left() + 1, g.bottom() - 1); },
         {10, -20},
         {320, 250, 790, 500}},
        // Not below the smallest size: the right edge stays where it was.
        {"left edge past the minimum",
         [](const QRect& g) { return QPoint(g.left() + 1, g.center().y()); },
         {1000, 0},
         {790, 250, 320, 500}},
    };
    for (const Pull& pull : pulls) {
        const QPoint from = pull.from(vexlo.Geometry());
        DragOnScreen(from, from + pull.by);
        EXPECT_TRUE(WaitFor([&] { return vexlo.Geometry() == pull.to; }))
            << pull.what << ": " << Text(vexlo.Geometry()).toStdString() << " instead of "
            << Text(pull.to).toStdString();
    }
    // The picture follows the window it fills.
    EXPECT_TRUE(WaitFor([&] { return PictureFills(vexlo.Geometry()); }));

    const QRect before = vexlo.Geometry();
    const QPoint grip = before.topLeft() + QPoint(100, 200);
    DragOnScreen(grip, grip + QPoint(150, 90));
    EXPECT_TRUE(WaitFor([&] { return vexlo.Geometry() == before.translated(150, 90); }))
        << "the picture drags the window: " << Text(vexlo.Geometry()).toStdString();
    EXPECT_TRUE(WaitFor([&] { return PictureFills(vexlo.Geometry()); }));
    SaveShot(vexlo, "WindowJourney-edges");
    EXPECT_EQ(vexlo.Close(), 0);
}

TEST(WindowJourney, PlacementsFullScreenAndBackAndStayOnTop) {
    const QSize screen = GrabScreen().size();
    ASSERT_EQ(screen, QSize(1920, 1080)) << "the places below are those of a 1920 x 1080 screen";
    VexloProcess vexlo;
    StartPlaying(vexlo, "video.mp4", "clip.mp4");

    // The "Auto Sized" items' places on that screen, ending on one wholly on it.
    const std::pair<int, QRect> places[] = {
        {0, {962, -1, 958, 524}},   // Top R
        {1, {0, -1, 958, 524}},     // Top L
        {2, {962, 524, 958, 524}},  // Bottom R
        {4, {-2, -2, 970, 1053}},   // Left of Screen
        {5, {952, -2, 970, 1053}},  // Right of Screen
        {3, {0, 524, 958, 524}},    // Bottom L
    };
    for (const auto& [item, place] : places) {
        Place(vexlo, item);
        EXPECT_TRUE(WaitFor([&] { return vexlo.Geometry() == place; }))
            << "item " << item << ": " << Text(vexlo.Geometry()).toStdString();
        EXPECT_TRUE(WaitFor([&] { return PictureFills(vexlo.Geometry()); })) << "item " << item;
    }
    const QRect normal = vexlo.Geometry();

    // "Fullscreen", third from the bottom: the picture fills the screen, then back.
    ChooseFromMenu(vexlo, kMenuAt, Repeated("Up", 3) << "Return");
    EXPECT_TRUE(WaitFor([&] { return vexlo.Geometry() == QRect(QPoint(0, 0), screen); }))
        << Text(vexlo.Geometry()).toStdString();
    EXPECT_TRUE(WaitFor([&] { return PictureFills(QRect(QPoint(0, 0), screen)); }));
    ChooseFromMenu(vexlo, kMenuAt, Repeated("Up", 3) << "Return");
    EXPECT_TRUE(WaitFor([&] { return vexlo.Geometry() == normal; }))
        << Text(vexlo.Geometry()).toStdString();
    EXPECT_TRUE(WaitFor([&] { return PictureFills(normal); }));

    // "Stay On Top", second from the bottom, on and off again: the same window where it was,
    // with its picture, above the others where a window manager keeps them in order.
    const auto above = [&] { return WindowState(vexlo).contains("_NET_WM_STATE_ABOVE"); };
    for (const bool onTop : {true, false}) {
        ChooseFromMenu(vexlo, kMenuAt, Repeated("Up", 2) << "Return");
        // A bare server has no one to keep the order, nor to note it.
        if (UnderWindowManager()) {
            EXPECT_TRUE(WaitFor([&] { return above() == onTop; })) << onTop;
        }
        EXPECT_TRUE(vexlo.IsViewable());
        EXPECT_EQ(vexlo.Geometry(), normal) << Text(vexlo.Geometry()).toStdString();
        EXPECT_TRUE(WaitFor([&] { return PictureFills(normal); })) << onTop;
    }
    SaveShot(vexlo, "WindowJourney-placements");
    EXPECT_EQ(vexlo.Close(), 0);
    EXPECT_EQ(Setting(vexlo, "StayOnTop"), "0");
    EXPECT_EQ(Setting(vexlo, "FrmTop"), std::to_string(normal.y()));
}

TEST(WindowJourney, AwkwardSettingsACancelledDialogAndAnEscapeWhilePlaying) {
    VexloProcess vexlo;
    // The saver answers UnInhibit after more than the 2-second clip lasts.
    TScreenSaverBus bus(vexlo.DriveRoot(), 2500);
    ASSERT_TRUE(bus.Ready()) << "no private bus with a screen saver (dbus-daemon, python3-dbus, "
                                "python3-gi): "
                             << bus.Calls().join(' ').toStdString();
    vexlo.Environment().insert("DBUS_SESSION_BUS_ADDRESS", bus.Address());
    const QString folder =
        MakeMediaFolder(vexlo, "films", {{"video.mp4", "a.mp4"}, {"video.mp4", "b.mp4"}});
    // No volume stored, and a size far beyond the screen.
    WriteSettings(vexlo, {"FrmWidth=5000", "FrmHeight=3000", "VideoFolder=" + folder});
    QFile history(vexlo.Home() + "FolderLocation.txt");
    ASSERT_TRUE(history.open(QIODevice::WriteOnly));
    history.write((folder + "\r\n").toUtf8());
    history.close();

    // The whole name in the caption, colon and all. The caption's first time comes a second
    // into playback: a 1-second clip could end first, round after round.
    StartPlaying(vexlo, "video.mp4", "Night Train: Part 2.mp4");
    const QRect geometry = vexlo.Geometry();
    const QImage screen = GrabScreen();
    EXPECT_TRUE(screen.rect().contains(geometry)) << Text(geometry).toStdString();
    EXPECT_EQ(geometry.size(), screen.size());
    // The bottom bar with its "Open" label, and the green text over the picture, on screen.
    const QRect openLabel(geometry.right() - 105, geometry.bottom() - 14, 40, 15);
    EXPECT_TRUE(WaitFor([&] { return ShareNear(GrabScreen(), openLabel, kYellow, 60) > 0.05; }))
        << "no bar at the bottom of the screen";
    const QRect text(geometry.left() + 10, geometry.bottom() - 45, 500, 24);
    EXPECT_TRUE(WaitFor([&] { return GreenTextShare(GrabScreen(), text) > 0.01; }))
        << "no green text";

    // The panel with the folder's two rows; the second, not selected, in lime.
    const TPlayerLayout layout(geometry.size());
    vexlo.Click(layout.OpenLabel());
    const int panelLeft = geometry.width() / 4;
    const QRect secondRow = QRect(layout.Row(panelLeft, 1) - QPoint(55, 8), QSize(300, 17))
                                .translated(geometry.topLeft());
    ASSERT_TRUE(WaitFor([&] { return GreenTextShare(GrabScreen(), secondRow) > 0.01; }))
        << "no rows";
    const QByteArray historyBefore = ReadFile(vexlo.Home() + "FolderLocation.txt");

    // The folder button at the right of the panel's bottom strip; the dialog, cancelled.
    vexlo.Click(QPoint(geometry.width() - 12, geometry.height() - kBar - 11));
    QString dialog;
    ASSERT_TRUE(WaitFor([&] {
        const ToolRun search = RunTool(
            "xdotool", {"search", "--onlyvisible", "--name", "^Choose a folder with video files$"});
        dialog = QString::fromUtf8(search.output.split('\n').value(0)).trimmed();
        return !dialog.isEmpty();
    })) << "no folder dialog";
    Xdotool({"windowfocus", "--sync", dialog, "key", "Escape"});
    EXPECT_TRUE(WaitFor([&] {
        return RunTool("xdotool",
                       {"search", "--onlyvisible", "--name", "^Choose a folder with video files$"})
            .output.trimmed()
            .isEmpty();
    }));
    // The rows stay as they were.
    EXPECT_FALSE(WaitFor([&] { return GreenTextShare(GrabScreen(), secondRow) < 0.01; }, 1500))
        << "the list lost its rows";
    SaveShot(vexlo, "WindowJourney-settings");

    // Escape while the clip plays: the screen saver is switched back on last.
    ASSERT_TRUE(WaitFor([&] { return bus.Calls().contains("Inhibit"); })) << "never inhibited";
    vexlo.Key("Escape");
    EXPECT_EQ(vexlo.WaitForExit(), 0);
    EXPECT_EQ(bus.Calls().join(' ').toStdString(), "ready Inhibit UnInhibit");

    EXPECT_EQ(Setting(vexlo, "Volumepos"), "10000");
    EXPECT_EQ(Setting(vexlo, "VideoFolder"), folder.toStdString());
    EXPECT_EQ(Setting(vexlo, "FrmWidth"), std::to_string(screen.width()));
    EXPECT_EQ(ReadFile(vexlo.Home() + "FolderLocation.txt"), historyBefore);
}
