#include "desktop/FunctionMix.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <system_error>

#include "desktop/FastStrings.h"
#include "platform/Paths.h"

// --- Paths and text ------------------------------------------------------------

std::string AddBackslash(const std::string& path) {
    return !path.empty() && path.back() == '/' ? path : path + '/';
}

std::ptrdiff_t FindTextPos(std::string_view pattern, std::string_view source, bool caseSensitive) {
    std::ptrdiff_t position = SearchText(source, pattern, caseSensitive, 1);
    return position < 0 ? 0 : position;
}

std::string FileNameOf(const std::string& path) {
    size_t cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string FolderOf(const std::string& path) {
    size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string NumberText(std::int32_t n) {
    return std::to_string(n);
}

bool IsVistaOrLater() {
    return true;
}

bool FormIsOpen(const QString& name) {
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name) return true;
    return false;
}

// --- File sizes ------------------------------------------------------------------

bool FileExists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

std::uint64_t FileSizeOf(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return 0;
    // Non-blocking, so that a named pipe in a media folder cannot hang the scan.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw EFOpenError("Cannot open file \"" + path + "\". " +
                          std::generic_category().message(errno));
    std::uint64_t size = fstat(fd, &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
    close(fd);
    return size;
}

namespace {

// Three significant digits of a value given in hundredths (below 100000).
std::string ThreeDigits(std::uint64_t hundredths) {
    std::string whole = std::to_string(hundredths / 100);
    std::string fraction = std::to_string(hundredths % 100 + 100).substr(1);  // two digits
    if (hundredths < 1000) return whole + "." + fraction;
    if (hundredths < 10000) return whole + "." + fraction.substr(0, 1);
    return whole;
}

}  // namespace

std::string ByteSizeText(std::uint64_t size) {
    if (size < 1024) return std::to_string(size) + " bytes";
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    int unit = 0;
    std::uint64_t hundredths = 0;
    for (;; ++unit) {
        // Truncated; in 128 bits, as size * 100 may not fit in 64.
        hundredths = static_cast<std::uint64_t>(static_cast<unsigned __int128>(size) * 100 >>
                                                (10 * (unit + 1)));
        if (hundredths < 100000 || unit == 5) break;
    }
    return ThreeDigits(hundredths) + " " + kUnits[unit];
}

std::string FileSizeText(const std::string& path) {
    return ByteSizeText(FileSizeOf(path));
}

// --- Folders -----------------------------------------------------------------------

std::string ShellFolder(int csidl) {
    QStandardPaths::StandardLocation location;
    switch (csidl & 0xFF) {  // the high byte holds flags such as CSIDL_FLAG_CREATE
        case CSIDL_DESKTOP:
            location = QStandardPaths::DesktopLocation;
            break;
        case CSIDL_PERSONAL:
            location = QStandardPaths::DocumentsLocation;
            break;
        case CSIDL_MYMUSIC:
            location = QStandardPaths::MusicLocation;
            break;
        case CSIDL_MYVIDEO:
            location = QStandardPaths::MoviesLocation;
            break;
        case CSIDL_MYPICTURES:
            location = QStandardPaths::PicturesLocation;
            break;
        case CSIDL_APPDATA:
            location = QStandardPaths::GenericConfigLocation;
            break;
        case CSIDL_LOCAL_APPDATA:
            location = QStandardPaths::GenericDataLocation;
            break;
        case CSIDL_PROFILE:
            location = QStandardPaths::HomeLocation;
            break;
        case CSIDL_SYSTEM:
            return "/usr/lib";
        default:
            return {};
    }
    return QStandardPaths::writableLocation(location).toStdString();
}

std::string SystemFolderPath() {
    return AddBackslash(ShellFolder(CSIDL_SYSTEM));
}

std::string ProgramFolder() {
    return ProgramFolderPath();
}

// --- Caption removal -------------------------------------------------------------

namespace {

// Where a window that was at start goes once the pointer, pressed on its edges, has moved by
// `by`: those edges follow the pointer, the others stay, and the size keeps to minimum.
QRect FollowedRect(const QRect& start, Qt::Edges edges, const QPoint& by, const QSize& minimum) {
    int left = start.left(), top = start.top();
    int right = left + start.width(), bottom = top + start.height();  // past the last pixel
    if (edges & Qt::LeftEdge) left = std::min(left + by.x(), right - minimum.width());
    if (edges & Qt::RightEdge) right = std::max(right + by.x(), left + minimum.width());
    if (edges & Qt::TopEdge) top = std::min(top + by.y(), bottom - minimum.height());
    if (edges & Qt::BottomEdge) bottom = std::max(bottom + by.y(), top + minimum.height());
    return QRect(left, top, right - left, bottom - top);
}

// Whether a press at this point of the screen reached the window through its own native
// window rather than a native child's.
bool PressedOnOwnWindow(const QWidget* window, const QPoint& pointer) {
    const QWidget* under = QApplication::widgetAt(pointer);
    return under && under->effectiveWinId() == window->effectiveWinId();
}

// Moves or resizes a window with the pointer until the left button is released.
class TPointerFollower : public QObject {
  public:
    TPointerFollower(QWidget* window, const QPoint& pointer, Qt::Edges edges)
        : QObject(window),
          FWindow(window),
          FStart(window->geometry()),
          FStartPos(window->pos()),
          FPointer(pointer),
          FEdges(edges) {
        qApp->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            End();
        } else if (event->type() == QEvent::MouseMove) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            // A release we did not see (taken by a popup) ends it as well.
            if (mouse->buttons() & Qt::LeftButton)
                Follow(mouse->globalPosition().toPoint() - FPointer);
            else
                End();
        }
        return false;
    }

  private:
    void Follow(const QPoint& by) {
        if (!FEdges)
            FWindow->move(FStartPos + by);
        else
            FWindow->setGeometry(FollowedRect(FStart, FEdges, by, FWindow->minimumSize()));
    }

    // At once, not only when the deferred delete runs: no later event may move the window.
    void End() {
        qApp->removeEventFilter(this);
        deleteLater();
    }

    QWidget* FWindow;
    QRect FStart;      // the window's geometry at the press
    QPoint FStartPos;  // and its frame's place
    QPoint FPointer;   // the pointer at the press
    Qt::Edges FEdges;
};

// Lets a frameless window be resized from its edges: the window manager
// resizes where it can (startSystemResize), the window follows the pointer
// itself where none does. It watches the window's QWindow and those of its
// native children (the picture's renderer window among them), which see every
// mouse event over them before the widgets do.
class EdgeResizer : public QObject {
  public:
    explicit EdgeResizer(QWidget* form) : QObject(form), FForm(form) {
        qApp->installEventFilter(this);
    }
    ~EdgeResizer() override { ShowCursorFor({}); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::Leave && type != QEvent::MouseMove && type != QEvent::MouseButtonPress)
            return false;
        if (!OwnWindow(watched)) return false;
        if (type == QEvent::Leave) {
            ShowCursorFor({});
            return false;
        }
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint pointer = mouse->globalPosition().toPoint();
        const Qt::Edges edges = EdgesAt(FormPoint(static_cast<QWindow*>(watched), *mouse));
        if (type == QEvent::MouseMove) {
            if (mouse->buttons() == Qt::NoButton) ShowCursorFor(edges);
            return false;
        }
        if (!edges || mouse->button() != Qt::LeftButton) return false;
        MoveOrResizeWithPointer(FForm, pointer, edges);
        return true;
    }

  private:
    static constexpr int kGrip = 4;  // pixels along each edge

    // The form's own window or one inside it.
    bool OwnWindow(QObject* watched) const {
        const QWindow* own = FForm->windowHandle();
        for (auto* window = qobject_cast<QWindow*>(watched); own && window;
             window = window->parent())
            if (window == own) return true;
        return false;
    }

    // The event's place in the form, from the places of the windows it went through: under a
    // reparenting window manager Qt's idea of where the form is on the screen can be stale.
    QPoint FormPoint(const QWindow* watched, const QMouseEvent& mouse) const {
        QPoint point = mouse.position().toPoint();
        for (const QWindow* window = watched; window && window != FForm->windowHandle();
             window = window->parent())
            point += window->position();
        return point;
    }

    // A window that fills the screen has no edges to pull.
    Qt::Edges EdgesAt(const QPoint& point) const {
        if (FForm->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return {};
        const QSize size = FForm->size();
        Qt::Edges edges;
        if (point.x() < kGrip) edges |= Qt::LeftEdge;
        if (point.x() >= size.width() - kGrip) edges |= Qt::RightEdge;
        if (point.y() < kGrip) edges |= Qt::TopEdge;
        if (point.y() >= size.height() - kGrip) edges |= Qt::BottomEdge;
        return edges;
    }

    static Qt::CursorShape CursorFor(Qt::Edges edges) {
        if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
            return Qt::SizeFDiagCursor;
        if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
            return Qt::SizeBDiagCursor;
        return edges & (Qt::LeftEdge | Qt::RightEdge) ? Qt::SizeHorCursor : Qt::SizeVerCursor;
    }

    // The override cursor stack holds at most one entry of ours.
    void ShowCursorFor(Qt::Edges edges) {
        if (!edges) {
            if (FCursorShown) QGuiApplication::restoreOverrideCursor();
            FCursorShown = false;
        } else if (FCursorShown) {
            QGuiApplication::changeOverrideCursor(CursorFor(edges));
        } else {
            QGuiApplication::setOverrideCursor(CursorFor(edges));
            FCursorShown = true;
        }
    }

    QWidget* FForm;
    bool FCursorShown = false;
};

// Under a reparenting window manager Qt can be left believing that the window it mapped sits
// at 0,0 of the screen: it reads the place while the frame has not been moved there yet, and
// the manager, having granted the place asked for, tells nothing more. Every place-dependent
// step (centring a window over it, the place saved at exit, edges, the bottom bar) would go
// wrong. When the window shows, the X server's answer reaches Qt the way a window manager
// tells a client its place: as a synthetic ConfigureNotify.
class PlaceFromServer : public QObject {
  public:
    explicit PlaceFromServer(QWidget* form) : QObject(form), FForm(form) {
        qApp->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && watched == FForm->windowHandle()) Correct();
        return false;
    }

  private:
    void Correct() const {
        xcb_connection_t* connection = X11Connection();
        if (!connection || !FForm->windowHandle()->isExposed()) return;
        const auto window = static_cast<xcb_window_t>(FForm->winId());
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr);
        if (!place) return;
        const QPoint onScreen(place->dst_x, place->dst_y);
        free(place);
        if (onScreen == FForm->geometry().topLeft()) return;
        xcb_configure_notify_event_t told{};
        told.response_type = XCB_CONFIGURE_NOTIFY;
        told.event = told.window = window;
        told.x = static_cast<int16_t>(onScreen.x());
        told.y = static_cast<int16_t>(onScreen.y());
        told.width = static_cast<uint16_t>(FForm->width());
        told.height = static_cast<uint16_t>(FForm->height());
        xcb_send_event(connection, false, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&told));
        xcb_flush(connection);
    }

    QWidget* FForm;
};

constexpr int kDefaultCaptionHeight = 18;

// A shown, decorated window knows how far its frame reaches above the client
// area (on X11 Qt reads it from the window manager's _NET_FRAME_EXTENTS): the
// title bar and the top border. Before the window is shown nothing is known.
int CaptionHeight(const QWidget* form) {
    int above = form->geometry().top() - form->frameGeometry().top();
    return form->isVisible() && above > 0 ? above : kDefaultCaptionHeight;
}

}  // namespace

void HideCaptionAndTaskbarButton(QWidget* form) {
    // Qt has no hidden application window with a taskbar button of its own:
    // every top-level window is one taskbar entry, which the form keeps.
    if (!form || !form->isWindow() || form->windowFlags() & Qt::FramelessWindowHint) return;
    Qt::WindowType type = form->windowType();
    if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool) return;
    int caption = CaptionHeight(form);
    bool visible = form->isVisible();
    form->setWindowFlags(form->windowFlags() | Qt::FramelessWindowHint);
    form->resize(form->width(), form->height() - caption);
    new EdgeResizer(form);
    new PlaceFromServer(form);
    if (visible) form->show();  // changing the flags hid it
    form->update();
}

xcb_connection_t* X11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

void MoveOrResizeWithPointer(QWidget* window, const QPoint& pointer, Qt::Edges edges) {
    QWindow* handle = window->windowHandle();
    const bool taken = handle && PressedOnOwnWindow(window, pointer) &&
                       (edges ? handle->startSystemResize(edges) : handle->startSystemMove());
    if (!taken) new TPointerFollower(window, pointer, edges);
}

bool InstallInfDriver(const std::string&, QWidget*) {
    return false;
}

// --- Directory search ----------------------------------------------------------

namespace {

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The entry type comes with the entry on most file systems; links and file
// systems that leave it unknown cost a stat.
int AttributesOf(DIR* dir, const dirent& entry) {
    int attributes = entry.d_name[0] == '.' && !IsDotOrDotDot(entry.d_name) ? faHidden : 0;
    bool directory = entry.d_type == DT_DIR;
    if (entry.d_type == DT_LNK || entry.d_type == DT_UNKNOWN) {
        struct stat status;
        directory = fstatat(dirfd(dir), entry.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
    }
    return directory ? attributes | faDirectory : attributes;
}

}  // namespace

TSearchRec::~TSearchRec() {
    FindCloseEntry(*this);
}

int FindFirstEntry(const std::string& pattern, int attributes, TSearchRec& rec) {
    FindCloseEntry(rec);
    size_t slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    rec.FMask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (rec.FMask == "*" || rec.FMask == "*.*") rec.FMask.clear();
    rec.FExcluded = ~attributes & (faHidden | faSysFile | faVolumeID | faDirectory);
    rec.FDir = opendir(folder.c_str());
    if (!rec.FDir) return errno;
    int result = FindNextEntry(rec);
    if (result != 0) FindCloseEntry(rec);
    return result;
}

int FindNextEntry(TSearchRec& rec) {
    if (!rec.FDir) return ERROR_NO_MORE_FILES;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(rec.FDir);
        if (!entry) return errno ? errno : ERROR_NO_MORE_FILES;
        if (!rec.FMask.empty() &&
            fnmatch(rec.FMask.c_str(), entry->d_name, FNM_NOESCAPE | FNM_CASEFOLD) != 0)
            continue;
        int attributes = AttributesOf(rec.FDir, *entry);
        if (attributes & rec.FExcluded) continue;
        rec.Name = entry->d_name;
        rec.Attr = attributes;
        return 0;
    }
}

void FindCloseEntry(TSearchRec& rec) {
    if (rec.FDir) closedir(rec.FDir);
    rec.FDir = nullptr;
}
