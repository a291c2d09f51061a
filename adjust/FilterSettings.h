#pragma once
// The external filters' settings.

// Registers the filter files of the program folder whose classes are missing, started and not
// waited for.
void RegisterMissingFilters();
// Turns off the status windows and tray icons of the external filters.
void DisableFilterTrayUi();
// Switches the external decoders' picture adjustment on (1) or off (0).
void SetFfdshowPictureProps(int value);
