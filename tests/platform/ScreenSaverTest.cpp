#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

#include "platform/ScreenSaver.h"

namespace {

// A desktop's screen-saver service, answering from its own thread while the caller blocks.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

  public:
    std::vector<QString> Calls;

  public slots:
    uint Inhibit(const QString& application, const QString&) {
        Calls.push_back("Inhibit " + application);
        return 42;
    }
    void UnInhibit(uint cookie) { Calls.push_back("UnInhibit " + QString::number(cookie)); }
};

// D-Bus processes started to give a display a bus of its own.
int AutolaunchedBuses() {
    int count = 0;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile commandLine("/proc/" + pid + "/cmdline");
        if (commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains("--autolaunch"))
            ++count;
    }
    return count;
}

// Runs before the suite below connects this program to its private bus.
TEST(ScreenSaverWithoutBusTest, NoSessionBusMeansNothingIsStarted) {
    QTemporaryDir runtime;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const int before = AutolaunchedBuses();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(SetScreenSaverActive(false));
    EXPECT_TRUE(SetScreenSaverActive(true));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(AutolaunchedBuses(), before) << "no bus of our own for the display";
    qunsetenv("XDG_RUNTIME_DIR");
}

// A private session bus for this test program.
class ScreenSaverTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Daemon = new QProcess;
        Daemon->start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(Daemon->waitForReadyRead(5000)) << "dbus-daemon did not start";
        Address = QString::fromUtf8(Daemon->readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", Address.toUtf8());
    }
    static void TearDownTestSuite() {
        Daemon->kill();
        Daemon->waitForFinished();
        delete Daemon;
    }
    static inline QProcess* Daemon = nullptr;
    static inline QString Address;
};

TEST_F(ScreenSaverTest, WithoutADesktopServiceTheSwitchReportsFailure) {
    EXPECT_FALSE(SetScreenSaverActive(false));
    EXPECT_TRUE(SetScreenSaverActive(true)) << "nothing held, nothing to do";
}

TEST_F(ScreenSaverTest, HoldsOneInhibitionAndReleasesItWithItsCookie) {
    QThread serviceThread;
    FakeScreenSaver service;
    service.moveToThread(&serviceThread);
    serviceThread.start();
    QDBusConnection desktop = QDBusConnection::connectToBus(Address, "desktop");
    ASSERT_TRUE(desktop.registerService("org.freedesktop.ScreenSaver"));
    ASSERT_TRUE(desktop.registerObject(
        "/org/freedesktop/ScreenSaver", &service,
        QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllSlots));

    EXPECT_TRUE(SetScreenSaverActive(false));
    EXPECT_TRUE(SetScreenSaverActive(false));
    EXPECT_TRUE(SetScreenSaverActive(true));
    EXPECT_TRUE(SetScreenSaverActive(true));
    serviceThread.quit();
    serviceThread.wait();
    EXPECT_EQ(service.Calls, (std::vector<QString>{"Inhibit Vexlo Player", "UnInhibit 42"}));
    desktop.unregisterObject("/org/freedesktop/ScreenSaver");
    QDBusConnection::disconnectFromBus("desktop");
}

}  // namespace

#include "ScreenSaverTest.moc"
