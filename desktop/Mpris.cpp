#include "desktop/Mpris.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "platform/DebugOutput.h"
#include "platform/ScreenSaver.h"
#include "platform/Shell.h"

namespace {

const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.vexlo");
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
// RequestName: fail at once rather than wait in the queue for the name.
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;

const char kIntrospection[] = R"(<interface name="org.mpris.MediaPlayer2">
  <method name="Raise"/><method name="Quit"/>
  <property name="CanQuit" type="b" access="read"/>
  <property name="CanRaise" type="b" access="read"/>
  <property name="HasTrackList" type="b" access="read"/>
  <property name="Identity" type="s" access="read"/>
  <property name="DesktopEntry" type="s" access="read"/>
  <property name="SupportedUriSchemes" type="as" access="read"/>
  <property name="SupportedMimeTypes" type="as" access="read"/>
</interface>
<interface name="org.mpris.MediaPlayer2.Player">
  <method name="Next"/><method name="Previous"/><method name="Pause"/>
  <method name="PlayPause"/><method name="Stop"/><method name="Play"/>
  <method name="Seek"><arg direction="in" name="Offset" type="x"/></method>
  <method name="SetPosition">
    <arg direction="in" name="TrackId" type="o"/><arg direction="in" name="Position" type="x"/>
  </method>
  <method name="OpenUri"><arg direction="in" name="Uri" type="s"/></method>
  <signal name="Seeked"><arg name="Position" type="x"/></signal>
  <property name="PlaybackStatus" type="s" access="read"/>
  <property name="Rate" type="d" access="readwrite"/>
  <property name="Metadata" type="a{sv}" access="read"/>
  <property name="Volume" type="d" access="readwrite"/>
  <property name="Position" type="x" access="read"/>
  <property name="MinimumRate" type="d" access="read"/>
  <property name="MaximumRate" type="d" access="read"/>
  <property name="CanGoNext" type="b" access="read"/>
  <property name="CanGoPrevious" type="b" access="read"/>
  <property name="CanPlay" type="b" access="read"/>
  <property name="CanPause" type="b" access="read"/>
  <property name="CanSeek" type="b" access="read"/>
  <property name="CanControl" type="b" access="read"/>
</interface>
)";

QString StatusText(TMprisStatus status) {
    switch (status) {
        case msPlaying: return QStringLiteral("Playing");
        case msPaused: return QStringLiteral("Paused");
        case msStopped: break;
    }
    return QStringLiteral("Stopped");
}

// A track is named by its file: the same file is the same track, wherever it was opened from.
QString TrackId(const TMprisState& state) {
    if (state.Url.empty()) return kNoTrack;
    return QStringLiteral("/org/vexlo/Track/T%1").arg(qHash(QString::fromStdString(state.Url)));
}

QStringList MimeTypes() {
    QStringList types;
    for (const std::string& type : PlayerMimeTypes()) types << QString::fromStdString(type);
    return types;
}

void Send(const QDBusConnection& connection, const QDBusMessage& message) {
    if (!connection.send(message)) OutputDebugString("MPRIS: a message could not be sent");
}

}  // namespace

TMprisService::TMprisService(TMprisCommands commands, QObject* parent)
    : QDBusVirtualObject(parent), FCommands(std::move(commands)) {}

TMprisService::~TMprisService() {
    if (FRegistered) QDBusConnection::sessionBus().unregisterObject(kObjectPath);
}

bool TMprisService::Register() {
    if (!SessionBusRunning()) return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() ||
        !bus.registerVirtualObject(kObjectPath, this, QDBusConnection::SingleNode)) {
        OutputDebugString("MPRIS: not on the session bus: " +
                          bus.lastError().message().toStdString());
        return false;
    }
    FRegistered = true;
    QDBusMessage request = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName");
    request << kServiceName << kDoNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(request), this);
    // Another player of ours has the name already: the desktop's controls stay with it.
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<uint> reply = *call;
                call->deleteLater();
                if (!reply.isError() && reply.value() == kPrimaryOwner) return;
                OutputDebugString("MPRIS: the name " + kServiceName.toStdString() +
                                  " is not ours " + reply.error().message().toStdString());
                QDBusConnection::sessionBus().unregisterObject(kObjectPath);
                FRegistered = false;
            });
    return true;
}

void TMprisService::StateChanged() {
    if (!FRegistered || FSignalPending) return;
    FSignalPending = true;
    QTimer::singleShot(0, this, [this] { SignalChanges(); });
}

// Position changes all the time and is not signalled: clients follow it from the rate.
void TMprisService::SignalChanges() {
    FSignalPending = false;
    QVariantMap properties = PlayerProperties();
    properties.remove("Position");
    QVariantMap changed;
    for (auto property = properties.cbegin(); property != properties.cend(); ++property)
        if (FSignalled.value(property.key()) != property.value())
            changed.insert(property.key(), property.value());
    FSignalled = properties;
    if (changed.isEmpty()) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, kPropertiesInterface, "PropertiesChanged");
    signal << kPlayerInterface << changed << QStringList();
    Send(QDBusConnection::sessionBus(), signal);
}

QString TMprisService::introspect(const QString&) const {
    return QString::fromLatin1(kIntrospection);
}

bool TMprisService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage) return false;
    const QString interface = message.interface();
    QDBusMessage reply;
    if (interface == kPropertiesInterface) reply = HandleProperties(message);
    if (interface.isEmpty() || interface == kRootInterface) reply = HandleRoot(message);
    if (reply.type() == QDBusMessage::InvalidMessage &&
        (interface.isEmpty() || interface == kPlayerInterface))
        reply = HandlePlayer(message);
    if (reply.type() == QDBusMessage::InvalidMessage) {
        // Introspection and the rest of the standard interfaces are Qt's.
        if (interface != kRootInterface && interface != kPlayerInterface &&
            interface != kPropertiesInterface)
            return false;
        reply = message.createErrorReply(
            QDBusError::UnknownMethod,
            "No method " + message.member() + " (" + message.signature() + ") in " + interface);
    }
    Send(connection, reply);
    return true;
}

QDBusMessage TMprisService::HandleRoot(const QDBusMessage& message) {
    if (message.member() == "Raise")
        Later(FCommands.Raise);
    else if (message.member() == "Quit")
        Later(FCommands.Quit);
    else
        return {};
    return message.createReply();
}

QDBusMessage TMprisService::HandlePlayer(const QDBusMessage& message) {
    const QString method = message.member();
    const QList<QVariant> arguments = message.arguments();
    const QString signature = message.signature();
    const TMprisState state = FCommands.State();
    if (method == "PlayPause" || (method == "Play" && state.Status != msPlaying) ||
        (method == "Pause" && state.Status == msPlaying)) {
        if (state.CanPlay) Later(FCommands.PlayPause);
    } else if (method == "Play" || method == "Pause") {
        // Already as asked.
    } else if (method == "Stop") {
        Later(FCommands.Stop);
    } else if (method == "Next" || method == "Previous") {
        const int step = method == "Next" ? 1 : -1;
        if (step > 0 ? state.CanGoNext : state.CanGoPrevious)
            Later([this, step] { FCommands.PlayNeighbour(step); });
    } else if (method == "Seek" && signature == "x") {
        const int64_t target = std::max<int64_t>(0, state.PositionUs + arguments[0].toLongLong());
        // Past the end is on to the next track.
        if (state.CanSeek && target > state.LengthUs)
            Later([this] { FCommands.PlayNeighbour(1); });
        else if (state.CanSeek)
            Later([this, target] { SeekTo(target); });
    } else if (method == "SetPosition" && signature == "ox") {
        // A position for a track that has gone meanwhile, or outside this one, is ignored.
        const int64_t target = arguments[1].toLongLong();
        if (state.CanSeek &&
            qvariant_cast<QDBusObjectPath>(arguments[0]).path() == TrackId(state) && target >= 0 &&
            target <= state.LengthUs)
            Later([this, target] { SeekTo(target); });
    } else if (method == "OpenUri" && signature == "s") {
        const QUrl uri(arguments[0].toString());
        if (!uri.isLocalFile())
            return message.createErrorReply(QDBusError::NotSupported,
                                            "Only file:// URIs are played");
        const std::string path = uri.toLocalFile().toStdString();
        Later([this, path] { FCommands.OpenFile(path); });
    } else {
        return {};
    }
    return message.createReply();
}

void TMprisService::SeekTo(int64_t positionUs) {
    FCommands.SeekTo(positionUs);
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kPlayerInterface, "Seeked");
    signal << qlonglong(positionUs);
    Send(QDBusConnection::sessionBus(), signal);
}

QDBusMessage TMprisService::HandleProperties(const QDBusMessage& message) {
    const QString method = message.member();
    const QList<QVariant> arguments = message.arguments();
    const QString signature = message.signature();
    if (method == "GetAll" && signature == "s")
        return message.createReply(Properties(arguments[0].toString()));
    if (method == "Get" && signature == "ss") {
        const QVariantMap properties = Properties(arguments[0].toString());
        const QString name = arguments[1].toString();
        if (!properties.contains(name))
            return message.createErrorReply(QDBusError::UnknownProperty, "No property " + name);
        return message.createReply(QVariant::fromValue(QDBusVariant(properties[name])));
    }
    if (method == "Set" && signature == "ssv") {
        const QString name = arguments[1].toString();
        if (arguments[0].toString() != kPlayerInterface || (name != "Volume" && name != "Rate"))
            return message.createErrorReply(QDBusError::PropertyReadOnly, name + " is read-only");
        const QVariant value = qvariant_cast<QDBusVariant>(arguments[2]).variant();
        Later([this, name, value] { SetProperty(name, value); });
        return message.createReply();
    }
    return {};
}

// A rate of 0 is a pause; a volume below 0 is silence.
void TMprisService::SetProperty(const QString& name, const QVariant& value) {
    const double number = value.toDouble();
    if (name == "Volume") {
        FCommands.SetVolume(std::clamp(number, 0.0, 1.0));
    } else if (number > 0) {
        FCommands.SetRate(std::clamp(number, kMinimumRate, kMaximumRate));
    } else if (FCommands.State().Status == msPlaying) {
        FCommands.PlayPause();
    }
}

QVariantMap TMprisService::Properties(const QString& interface) const {
    if (interface == kRootInterface) return RootProperties();
    if (interface == kPlayerInterface) return PlayerProperties();
    return {};
}

QVariantMap TMprisService::RootProperties() const {
    static const QStringList mimeTypes = MimeTypes();
    return {{"CanQuit", true},
            {"CanRaise", true},
            {"HasTrackList", false},
            {"Identity", QStringLiteral("Vexlo Player")},
            {"DesktopEntry", QStringLiteral("vexlo")},
            {"SupportedUriSchemes", QStringList{"file"}},
            {"SupportedMimeTypes", mimeTypes}};
}

QVariantMap TMprisService::PlayerProperties() const {
    const TMprisState state = FCommands.State();
    return {{"PlaybackStatus", StatusText(state.Status)},
            {"Rate", state.Rate},
            {"Metadata", Metadata(state)},
            {"Volume", state.Volume},
            {"Position", qlonglong(state.PositionUs)},
            {"MinimumRate", kMinimumRate},
            {"MaximumRate", kMaximumRate},
            {"CanGoNext", state.CanGoNext},
            {"CanGoPrevious", state.CanGoPrevious},
            {"CanPlay", state.CanPlay},
            {"CanPause", state.CanPlay},
            {"CanSeek", state.CanSeek},
            {"CanControl", true}};
}

QVariantMap TMprisService::Metadata(const TMprisState& state) const {
    QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(TrackId(state)))}};
    if (state.Url.empty()) return metadata;
    metadata.insert("xesam:url", QString::fromStdString(state.Url));
    metadata.insert("xesam:title", QString::fromStdString(state.Title));
    if (state.LengthUs > 0) metadata.insert("mpris:length", qlonglong(state.LengthUs));
    return metadata;
}

void TMprisService::Later(std::function<void()> command) {
    QTimer::singleShot(0, this, std::move(command));
}
