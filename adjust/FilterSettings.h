#pragma once
// The external filters' settings.

#include <cstdint>
#include <string>

class QPainter;

// Registers the filter files of the program folder whose classes are missing, started and not
// waited for.
void RegisterMissingFilters();
// Turns off the status windows and tray icons of the external filters.
void DisableFilterTrayUi();
// Switches the external decoders' picture adjustment on (1) or off (0).
void SetFfdshowPictureProps(int value);
// Switches the sharpen stage of the ffdshow video decoder and raw video filter on (1) or off
// (0); each instance reads it as it is made.
void SetFfdshowSharpen(uint32_t value);

// Draws one line of the on-video text with its top-left corner at (x, y): green, the system
// sans-serif at pointSize points, bold above 10 points, on a transparent background (only the
// glyphs are painted). Line breaks in the text are not interpreted.
void DrawOverlayText(QPainter& painter, int x, int y, int pointSize, const std::string& text);
