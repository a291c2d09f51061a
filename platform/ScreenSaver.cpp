#include "platform/ScreenSaver.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <optional>

namespace {

// A desktop that does not answer within this time is taken as absent.
constexpr int kCallTimeoutMs = 2000;

// The inhibition the program holds, if any; the desktop drops it when the program ends.
std::optional<uint>& HeldCookie() {
    static std::optional<uint> cookie;
    return cookie;
}

QDBusMessage CallScreenSaver(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.ScreenSaver",
                                                       "/org/freedesktop/ScreenSaver",
                                                       "org.freedesktop.ScreenSaver", method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
}

}  // namespace

bool SessionBusRunning() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + "/bus").exists();
}

bool SetScreenSaverActive(bool active) {
    std::optional<uint>& cookie = HeldCookie();
    if (active != cookie.has_value()) return true;
    if (!SessionBusRunning() || !QDBusConnection::sessionBus().isConnected()) return false;
    if (active) {
        const QDBusMessage reply = CallScreenSaver("UnInhibit", {*cookie});
        cookie.reset();
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    const QDBusMessage reply =
        CallScreenSaver("Inhibit", {QString("Vexlo Player"), QString("Playing media")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    cookie = reply.arguments().front().toUInt();
    return true;
}
