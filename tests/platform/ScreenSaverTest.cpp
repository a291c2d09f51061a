#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

#include "platform/ScreenSaver.h"

namespace {

// A desktop's screen-saver service, answering from its own thread, slowly, as a busy desktop
// does.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

  public:
    std::vector<QString> Calls() {
        const QMutexLocker lock(&Guard);
        return FCalls;
    }

  public slots:
    uint Inhibit(const QString& application, const QString&) {
        QThread::msleep(kAnswerMs);
        Note("Inhibit " + application);
        return 42;
    }
    void UnInhibit(uint cookie) { Note("UnInhibit " + QString::number(cookie)); }

  public:
    static constexpr int kAnswerMs = 700;

  private:
    void Note(const QString& call) {
        const QMutexLocker lock(&Guard);
        FCalls.push_back(call);
    }
    QMutex Guard;
    std::vector<QString> FCalls;
};

// Lets the caller's event loop take the desktop's answers until the condition holds.
template <typename TCondition>
bool AwaitAnswer(TCondition condition, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return condition();
}

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
    SetScreenSaverActive(false);
    SetScreenSaverActive(true);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(ScreenSaverInhibited());
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

TEST_F(ScreenSaverTest, WithoutADesktopServiceNothingIsHeld) {
    SetScreenSaverActive(false);
    EXPECT_FALSE(AwaitAnswer(ScreenSaverInhibited, 1000));
    SetScreenSaverActive(true);
}

// The player never waits for the desktop; one inhibition is held however often it is asked
// for, and released with its cookie, also when the release was asked for before the grant.
TEST_F(ScreenSaverTest, HoldsOneInhibitionWithoutWaitingAndReleasesItWithItsCookie) {
    QThread serviceThread;
    FakeScreenSaver service;
    service.moveToThread(&serviceThread);
    serviceThread.start();
    QDBusConnection desktop = QDBusConnection::connectToBus(Address, "desktop");
    ASSERT_TRUE(desktop.registerService("org.freedesktop.ScreenSaver"));
    ASSERT_TRUE(desktop.registerObject(
        "/org/freedesktop/ScreenSaver", &service,
        QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllSlots));
    const std::vector<QString> oneRound{"Inhibit Vexlo Player", "UnInhibit 42"};

    QElapsedTimer clock;
    clock.start();
    SetScreenSaverActive(false);
    SetScreenSaverActive(false);
    EXPECT_LT(clock.elapsed(), FakeScreenSaver::kAnswerMs / 2) << "the caller waited";
    ASSERT_TRUE(AwaitAnswer(ScreenSaverInhibited));
    SetScreenSaverActive(true);
    SetScreenSaverActive(true);
    EXPECT_FALSE(ScreenSaverInhibited());
    EXPECT_TRUE(AwaitAnswer([&] { return service.Calls() == oneRound; })) << "one round";

    SetScreenSaverActive(false);
    SetScreenSaverActive(true);  // before the desktop's grant
    const std::vector<QString> twoRounds{oneRound[0], oneRound[1], oneRound[0], oneRound[1]};
    EXPECT_TRUE(AwaitAnswer([&] { return service.Calls() == twoRounds; })) << "late grant";
    EXPECT_FALSE(ScreenSaverInhibited());

    serviceThread.quit();
    serviceThread.wait();
    desktop.unregisterObject("/org/freedesktop/ScreenSaver");
    QDBusConnection::disconnectFromBus("desktop");
}

}  // namespace

#include "ScreenSaverTest.moc"
