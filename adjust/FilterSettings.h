#pragma once
// The external filters' settings: whether each filter is present, their per-user values in
// the registry store (under HKEY_CURRENT_USER, all DWORDs), and the overlay painter. UI thread.
//
// Writes open the key (creating it where said), and skip a key that cannot be opened; a value
// that cannot be written in an opened key raises ERegistryException
// ("Failed to set data for '<name>'"). Nothing here reads a value back.

#include <cstdint>
#include <string>

class QPainter;

// Presence: the filter's stand-in is in the class-factory table (where the table makes it) and
// the GStreamer elements behind it are in GStreamer's registry.
bool IsEvrRegistered();
bool IsVideoDecoderRegistered();
// Also, when the equaliser is missing, writes "Enabled" = 1 into its settings key if that key
// exists (it is not created).
bool IsEqualizerRegistered();
// Runs the three presence tests (renderer, equaliser, decoder) and, when one answers no, starts
// a scan of the program folder's plugin files into GStreamer's registry, not waited for.
void RegisterMissingFilters();
// Xvid's "display_status" and the Haali splitter's "ui.trayicon" := 0 (keys created).
void DisableFilterTrayUi();
// "isPictProp" := value for the ffdshow decoder, then the raw filter (keys created); 1 turns
// their picture adjustment on. Each filter instance reads it as it is made.
void SetFfdshowPictureProps(int value);
// "xsharpen" := value for the same two keys: the sharpen stage on (1) or off (0).
void SetFfdshowSharpen(uint32_t value);

// Draws one line of the on-video text with its top-left corner at (x, y): green, the system
// sans-serif at pointSize points, bold above 10 points, on a transparent background (only the
// glyphs are painted). Line breaks in the text are not interpreted.
void DrawOverlayText(QPainter& painter, int x, int y, int pointSize, const std::string& text);
