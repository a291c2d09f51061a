#pragma once
// TMprisService: the player as the desktop's media keys, player widgets and `playerctl` see
// it, the MPRIS interfaces (org.mpris.MediaPlayer2 and its Player) on the session bus under
// the name org.mpris.MediaPlayer2.vexlo. It knows nothing of the player window: commands go
// to callbacks, the state is read through one, and the window says when it may have changed.
//
// Registers only where a session bus runs; a bus that is missing or a name that is taken
// leaves a line in the debug output and nothing else. Nothing here waits on the bus. UI
// thread only.
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <string>

enum TMprisStatus { msStopped, msPaused, msPlaying };

struct TMprisState {
    TMprisStatus Status = msStopped;
    int64_t PositionUs = 0;
    int64_t LengthUs = 0;  // 0: not known
    std::string Title;
    std::string Url;    // empty: no track
    double Volume = 0;  // 0..1
    double Rate = 1;
    bool CanPlay = false;
    bool CanSeek = false;
    bool CanGoNext = false;
    bool CanGoPrevious = false;
};

// The window's side. Each command runs from the event loop after the caller had its answer,
// so a command that opens a file or a box never holds up the bus.
struct TMprisCommands {
    std::function<TMprisState()> State;
    std::function<void()> Raise;
    std::function<void()> Quit;
    std::function<void()> PlayPause;  // pauses what plays, plays what does not
    std::function<void()> Stop;
    std::function<void(int step)> PlayNeighbour;  // +1 the next row, -1 the previous one
    std::function<void(int64_t positionUs)> SeekTo;
    std::function<void(const std::string& path)> OpenFile;
    std::function<void(double volume)> SetVolume;
    std::function<void(double rate)> SetRate;
};

class TMprisService : public QDBusVirtualObject {
  public:
    // The slowest and the fastest rate the player plays at.
    static constexpr double kMinimumRate = 0.04;
    static constexpr double kMaximumRate = 1.0;

    explicit TMprisService(TMprisCommands commands, QObject* parent = nullptr);
    ~TMprisService() override;

    // Puts the player on the session bus when one runs; the name is asked for without
    // waiting. False when there is no bus to be on.
    bool Register();
    // The state may have changed: what did is signalled once, when the event loop next runs.
    void StateChanged();

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  private:
    QVariantMap RootProperties() const;
    QVariantMap PlayerProperties() const;
    QVariantMap Properties(const QString& interface) const;
    QVariantMap Metadata(const TMprisState& state) const;
    // Each answers the calls of its interface: the reply, or an invalid message for a call it
    // does not take.
    QDBusMessage HandleProperties(const QDBusMessage& message);
    QDBusMessage HandleRoot(const QDBusMessage& message);
    QDBusMessage HandlePlayer(const QDBusMessage& message);
    void SetProperty(const QString& name, const QVariant& value);
    void SeekTo(int64_t positionUs);
    void SignalChanges();
    // Runs a command from the event loop, once the caller had its answer.
    void Later(std::function<void()> command);

    TMprisCommands FCommands;
    bool FRegistered = false;
    bool FSignalPending = false;
    QVariantMap FSignalled;  // the player's properties as last signalled
};
