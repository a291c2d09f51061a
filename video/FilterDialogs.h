#pragma once
// The stand-in filters' dialogs, handed to the engine's hook (SetFilterDialogs).

// Once, at program start (and in tests that open the dialogs), before any is asked for.
void RegisterFilterDialogs();
