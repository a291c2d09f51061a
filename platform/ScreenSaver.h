#pragma once
// The screen-saver switch: while media plays the desktop's screen saver is held off through
// org.freedesktop.ScreenSaver on the session bus. Without a session bus or such a service
// the switch does nothing. UI thread only.

// False turns the screen saver off (one inhibition held for the program, however often
// called), true turns it back on. The desktop is asked without waiting for its answer: a
// desktop that answers late or never must not hold up playback.
void SetScreenSaverActive(bool active);

// Whether the desktop has granted the inhibition the program asked for.
bool ScreenSaverInhibited();

// Whether a session bus already runs: the address the session gives, or the user's bus
// socket. Asking Qt for the session bus without either would have D-Bus start a bus of its own
// for the X display, a daemon that outlives the player.
bool SessionBusRunning();

// Called before the application object exists: without a session bus, the address is pointed
// at nothing, so that no library of the program (Qt's accessibility bridge asks for the bus at
// start-up) has D-Bus start a bus of its own: a daemon nobody uses, and a fork from a process
// whose threads are already busy. From then on SessionBusRunning says false.
void KeepFromStartingSessionBus();
