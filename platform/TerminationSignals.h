#pragma once
// A desktop ends its programs at logout and shutdown with SIGTERM (a terminal with SIGHUP or
// Ctrl+C): the player then leaves its event loop as its exit button does, so that what its
// shutdown keeps (settings, resume positions) is written. A second signal ends it at once.

// Call once, from the UI thread, after the application object exists.
void QuitOnTerminationSignals();
