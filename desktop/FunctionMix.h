#pragma once
// Path, text and system routines shared by the windows. Paths are UTF-8 with
// "/" between folders; folder paths end in "/"; text positions are 1-based.
#include <dirent.h>

#include <QPoint>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct xcb_connection_t;

class QString;
class QWidget;

// A file that exists but cannot be opened; the message names the file and the reason.
class EFOpenError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Appends "/" unless the path already ends in one; "" gives "/".
std::string AddBackslash(const std::string& path);
// 1-based position of the first occurrence of pattern in source, or 0.
std::ptrdiff_t FindTextPos(std::string_view pattern, std::string_view source, bool caseSensitive);
// The part after the last "/"; the whole path when it has none. A ":" is an ordinary
// character of a name here ("Night Train: Part 2.mkv"), not a drive's end.
std::string FileNameOf(const std::string& path);
// The part up to and including the last "/"; "" when there is none.
std::string FolderOf(const std::string& path);
std::string NumberText(std::int32_t n);
// Every Linux counts as "Vista or later": the steps for older systems never run.
bool IsVistaOrLater();
// Whether a top-level window of the application has exactly this object name.
bool FormIsOpen(const QString& name);

// Whether something other than a folder exists at the path (the bytes of the name as they are).
bool FileExists(const std::string& path);
// Size in bytes; 0 when the file is missing (or is a folder). Throws
// EFOpenError when the file exists but cannot be opened for reading.
std::uint64_t FileSizeOf(const std::string& path);
// The short size text: below 1024 "N bytes"; above, three significant digits,
// truncated, in KB, MB, GB, TB, PB or EB (steps of 1024) with "." as the
// decimal point whatever the locale: 1340 gives "1.30 KB", 23506 "22.9 KB".
// A size of 1000 units or more shows in the next unit ("0.97 MB").
std::string ByteSizeText(std::uint64_t size);
std::string FileSizeText(const std::string& path);

// The Windows folder identifiers that have a Linux counterpart.
inline constexpr int CSIDL_DESKTOP = 0x0000;
inline constexpr int CSIDL_PERSONAL = 0x0005;  // documents
inline constexpr int CSIDL_MYMUSIC = 0x000D;
inline constexpr int CSIDL_MYVIDEO = 0x000E;
inline constexpr int CSIDL_APPDATA = 0x001A;        // $XDG_CONFIG_HOME
inline constexpr int CSIDL_LOCAL_APPDATA = 0x001C;  // $XDG_DATA_HOME
inline constexpr int CSIDL_SYSTEM = 0x0025;         // the system libraries, /usr/lib
inline constexpr int CSIDL_MYPICTURES = 0x0027;
inline constexpr int CSIDL_PROFILE = 0x0028;  // the home folder

// The folder for a CSIDL (flag bits ignored), without a trailing "/"; "" for
// the identifiers without a counterpart.
std::string ShellFolder(int csidl);
std::string SystemFolderPath();
// The program's own folder, ending in "/" (rules in platform/Paths.h).
std::string ProgramFolder();

// Removes the window's caption bar: the window becomes frameless, stays
// resizable from its edges and keeps its own taskbar entry, and its height
// shrinks by the caption height (the window manager's, when the window is
// shown and decorated, else 18 pixels). Windows that are already frameless,
// or are not top-level windows, are left alone. The edges are the outer few
// pixels of the window, over whatever control lies there (native children
// included); a left press there resizes, and the pointer shows the resize
// cursor, except while the window is maximised or fills the screen.
void HideCaptionAndTaskbarButton(QWidget* form);

// Moves (no edges) or resizes (by those edges) the window with the pointer,
// pressed at pointer (screen coordinates), until the left button is released.
// The window manager takes it over where there is one and the press came
// through the window's own native window; otherwise the window follows the
// pointer itself. (For a press on a native child, such as the picture's
// renderer window, Qt would tell the manager a stale pointer place.)
void MoveOrResizeWithPointer(QWidget* window, const QPoint& pointer, Qt::Edges edges = {});

// Qt's connection to the X server, or null on another platform (offscreen tests).
xcb_connection_t* X11Connection();

// Linux has no INF driver installer; nothing is started and the answer is false.
bool InstallInfDriver(const std::string& infPath, QWidget* owner);

// Directory search. Attributes as on Windows; on Linux an entry is "hidden"
// when its name starts with "." (but is not "." or ".."), a "directory" when
// it is one or links to one; system, volume and read-only never apply.
inline constexpr int faReadOnly = 0x01;
inline constexpr int faHidden = 0x02;
inline constexpr int faSysFile = 0x04;
inline constexpr int faVolumeID = 0x08;
inline constexpr int faDirectory = 0x10;
inline constexpr int faArchive = 0x20;
inline constexpr int faAnyFile = 0x3F;
// Returned when a search has no (more) entries, as on Windows.
inline constexpr int ERROR_NO_MORE_FILES = 18;

struct TSearchRec {
    std::string Name;
    int Attr = 0;

    TSearchRec() = default;
    TSearchRec(const TSearchRec&) = delete;
    TSearchRec& operator=(const TSearchRec&) = delete;
    ~TSearchRec();  // ends a search its caller left open

  private:
    friend int FindFirstEntry(const std::string&, int, TSearchRec&);
    friend int FindNextEntry(TSearchRec&);
    friend void FindCloseEntry(TSearchRec&);
    DIR* FDir = nullptr;
    std::string FMask;  // empty: every name
    int FExcluded = 0;
};

// Starts a search for pattern (folder + mask: "/films/*.*"; no folder means
// the current one). Masks use * and ?, case-insensitively; "*" and "*.*"
// match every name. Entries with an attribute outside the given ones among
// hidden, system, volume and directory are skipped. Returns 0 with the first
// entry in rec, or an error code (errno of the folder, ERROR_NO_MORE_FILES);
// on an error the search is already closed.
int FindFirstEntry(const std::string& pattern, int attributes, TSearchRec& rec);
int FindNextEntry(TSearchRec& rec);
void FindCloseEntry(TSearchRec& rec);
