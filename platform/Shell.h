#pragma once
// The desktop's side of a file association (freedesktop): the program's desktop entry
// "vexlo.desktop" in $XDG_DATA_HOME/applications/, the per-user defaults in
// $XDG_CONFIG_HOME/mimeapps.list, and the desktop's cache of both. An XDG variable that is not
// an absolute path is ignored ($HOME/.local/share and $HOME/.config stand in).
//
// Files are replaced through a temporary file and a rename, so a crash never leaves half of
// one. A file that cannot be read or written raises EShellError: one that is not a regular
// file, or has no write permission bit (refused even for root, who could rename over it).
#include <stdexcept>
#include <string>
#include <vector>

// A file of the association that could not be read or written; the message names it.
class EShellError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The desktop entry's file name, which is also its id in mimeapps.list.
inline constexpr char kDesktopEntryId[] = "vexlo.desktop";

// $XDG_DATA_HOME/applications/, ending in "/".
std::string ApplicationsFolder();
// $XDG_CONFIG_HOME/mimeapps.list.
std::string MimeAppsListPath();

// The MIME types the player plays, as its desktop entry lists them.
std::vector<std::string> PlayerMimeTypes();

// The MIME type of a file named "x." + extension, judged by the name alone; "" when no
// particular type is known (defaults for the catch-all type would hand every unknown file to
// the player).
std::string MimeTypeOfExtension(const std::string& extension);

// The Exec value that starts exe with one file: exe quoted and escaped as a desktop entry
// needs it (quotes only when the path holds a reserved character), then " %f".
std::string DesktopExecCommand(const std::string& exe);

// Writes the desktop entry afresh: Exec starts exe, MimeType lists the types the player
// handles, then those the entry had and mimeType (each once, in the order they came).
void RegisterDesktopEntry(const std::string& exe, const std::string& mimeType);

// Makes the desktop entry the default for mimeType under [Default Applications] of
// mimeapps.list: only that key's line is replaced (or added to the group, which is added when
// missing); every other byte of the file stays as it was.
void SetDefaultApplication(const std::string& mimeType);

// The entry and the default for files ending in "." + extension; nothing when the extension
// has no known MIME type.
void AssociateExtension(const std::string& extension, const std::string& exe);

// Tells the desktop that associations changed: starts update-desktop-database on the
// applications folder when it is on PATH, without waiting for it.
void NotifyAssociationsChanged();
