#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
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
