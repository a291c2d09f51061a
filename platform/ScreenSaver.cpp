#include "platform/ScreenSaver.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <optional>

namespace {

// A desktop that does not answer within this time is taken as absent.
constexpr int kCallTimeoutMs = 2000;

struct TInhibition {
    bool Wanted = false;         // what the player last asked for
    bool Asking = false;         // an Inhibit call awaits its answer
    std::optional<uint> Cookie;  // the desktop drops it when the program ends
};

TInhibition& Inhibition() {
    static TInhibition inhibition;
    return inhibition;
}

QDBusMessage ScreenSaverCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.ScreenSaver",
                                                       "/org/freedesktop/ScreenSaver",
                                                       "org.freedesktop.ScreenSaver", method);
    call.setArguments(arguments);
    return call;
}

void ReleaseCookie() {
    TInhibition& inhibition = Inhibition();
    QDBusConnection::sessionBus().send(ScreenSaverCall("UnInhibit", {*inhibition.Cookie}));
    inhibition.Cookie.reset();
}

void TakeInhibitAnswer(QDBusPendingCallWatcher* watcher) {
    TInhibition& inhibition = Inhibition();
    inhibition.Asking = false;
    const QDBusPendingReply<uint> reply = *watcher;
    if (!reply.isError()) inhibition.Cookie = reply.value();
    // The player may have wanted the screen saver back while the desktop made up its mind.
    if (inhibition.Cookie && !inhibition.Wanted) ReleaseCookie();
    watcher->deleteLater();
}

void AskForInhibition() {
    TInhibition& inhibition = Inhibition();
    if (inhibition.Cookie || inhibition.Asking) return;
    if (!SessionBusRunning() || !QDBusConnection::sessionBus().isConnected()) return;
    inhibition.Asking = true;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(
        ScreenSaverCall("Inhibit", {QString("Vexlo Player"), QString("Playing media")}),
        kCallTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &TakeInhibitAnswer);
}

}  // namespace

namespace {

bool gSessionBusKeptAway = false;

}  // namespace

bool SessionBusRunning() {
    if (gSessionBusKeptAway) return false;
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + "/bus").exists();
}

void SetScreenSaverActive(bool active) {
    TInhibition& inhibition = Inhibition();
    inhibition.Wanted = !active;
    if (inhibition.Wanted)
        AskForInhibition();
    else if (inhibition.Cookie)
        ReleaseCookie();
}

bool ScreenSaverInhibited() {
    return Inhibition().Cookie.has_value();
}

void KeepFromStartingSessionBus() {
    if (SessionBusRunning()) return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null/no-session-bus");
    gSessionBusKeptAway = true;
}
