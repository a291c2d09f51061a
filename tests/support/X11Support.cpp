#include "tests/support/X11Support.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

ToolRun RunTool(const QString& program, const QStringList& arguments, int timeoutMs) {
    ToolRun run;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        run.errors = (program + ": " + process.errorString()).toUtf8();
        return run;
    }
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(5000);
        run.errors =
            program.toUtf8() + " did not finish within " + QByteArray::number(timeoutMs) + " ms; ";
    }
    if (process.exitStatus() == QProcess::NormalExit) run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.errors += process.readAllStandardError();
    return run;
}

QByteArray ToolOutput(const QString& program, const QStringList& arguments, int timeoutMs) {
    ToolRun run = RunTool(program, arguments, timeoutMs);
    if (!run.Succeeded())
        ADD_FAILURE() << program.toStdString() << ' ' << arguments.join(' ').toStdString()
                      << " failed (exit code " << run.exitCode << "): " << run.errors.toStdString();
    return run.output;
}

QImage GrabScreen(const QRect& area) {
    QStringList arguments = {"-silent", "-window", "root"};
    if (!area.isNull())
        arguments << "-crop"
                  << QString("%1x%2+%3+%4")
                         .arg(area.width())
                         .arg(area.height())
                         .arg(area.x())
                         .arg(area.y())
                  << "+repage";
    QImage image = QImage::fromData(ToolOutput("import", arguments << "png:-"), "PNG");
    if (image.isNull()) ADD_FAILURE() << "no screenshot (is DISPLAY an X server?)";
    return image;
}

QColor AverageColour(const QImage& image, const QRect& area) {
    const QRect inside = area & image.rect();
    if (inside.isEmpty()) return QColor();
    long long red = 0, green = 0, blue = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            red += qRed(pixel);
            green += qGreen(pixel);
            blue += qBlue(pixel);
        }
    const long long count = static_cast<long long>(inside.width()) * inside.height();
    return QColor(int(red / count), int(green / count), int(blue / count));
}

bool ColourNear(const QColor& actual, const QColor& expected, int tolerance) {
    return actual.isValid() && std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

namespace {

// Closing waits for the server to have carried out every request: a message sent just before
// the close was now and then never delivered (an XDND leave, and the target stayed in the
// refused drag).
void SyncAndDisconnect(xcb_connection_t* connection) {
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}

using TConnection = std::unique_ptr<xcb_connection_t, decltype(&SyncAndDisconnect)>;

TConnection Connect() {
    return TConnection(xcb_connect(nullptr, nullptr), SyncAndDisconnect);
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    auto cookie = xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

void SendClientMessage(xcb_connection_t* connection, uint32_t window, xcb_atom_t type,
                       std::initializer_list<uint32_t> data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

// Sends the WM_DELETE_WINDOW message a window manager sends for its close button.
bool SendDeleteWindow(uint32_t window) {
    TConnection connection = Connect();
    if (xcb_connection_has_error(connection.get())) return false;
    const xcb_atom_t protocols = Atom(connection.get(), "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = Atom(connection.get(), "WM_DELETE_WINDOW");
    if (protocols == XCB_ATOM_NONE || deleteWindow == XCB_ATOM_NONE) return false;
    SendClientMessage(connection.get(), window, protocols, {deleteWindow, XCB_CURRENT_TIME});
    return !xcb_connection_has_error(connection.get());
}

// The source side of a drag and drop (the XDND protocol) of a list of URIs onto a window, as a
// file manager does it: enter, one position, the drop, the data handed over on request.
class TUriDrop {
  public:
    TUriDrop(xcb_connection_t* connection, QByteArray uriList)
        : FConnection(connection), FUriList(std::move(uriList)) {}

    bool Drop(uint32_t target, QPoint rootAt) {
        FSource = xcb_generate_id(FConnection);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data;
        xcb_create_window(FConnection, XCB_COPY_FROM_PARENT, FSource, screen->root, -10, -10, 1,
                          1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(FConnection, FSource, A("XdndSelection"), XCB_CURRENT_TIME);
        const uint32_t version = 5;
        SendClientMessage(FConnection, target, A("XdndEnter"),
                          {FSource, version << 24, A("text/uri-list"), 0, 0});
        SendClientMessage(FConnection, target, A("XdndPosition"),
                          {FSource, 0, uint32_t(rootAt.x() << 16 | rootAt.y()), XCB_CURRENT_TIME,
                           A("XdndActionCopy")});
        const xcb_client_message_event_t* status = WaitFor(A("XdndStatus"));
        if (!status || !(status->data.data32[1] & 1)) {
            SendClientMessage(FConnection, target, A("XdndLeave"), {FSource, 0, 0, 0, 0});
            return false;
        }
        SendClientMessage(FConnection, target, A("XdndDrop"), {FSource, 0, XCB_CURRENT_TIME});
        return WaitFor(A("XdndFinished")) != nullptr;
    }

  private:
    xcb_atom_t A(const char* name) { return Atom(FConnection, name); }

    // Answers requests for the data meanwhile; null when the message did not come in time.
    const xcb_client_message_event_t* WaitFor(xcb_atom_t type) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000) {
            std::unique_ptr<xcb_generic_event_t, decltype(&free)> event(
                xcb_poll_for_event(FConnection), free);
            if (!event) {
                QThread::msleep(5);
                continue;
            }
            const uint8_t kind = event->response_type & 0x7f;
            if (kind == XCB_SELECTION_REQUEST)
                Answer(*reinterpret_cast<xcb_selection_request_event_t*>(event.get()));
            if (kind != XCB_CLIENT_MESSAGE) continue;
            FLast = *reinterpret_cast<xcb_client_message_event_t*>(event.get());
            if (FLast.type == type) return &FLast;
        }
        return nullptr;
    }

    void Answer(const xcb_selection_request_event_t& request) {
        xcb_change_property(FConnection, XCB_PROP_MODE_REPLACE, request.requestor,
                            request.property, request.target, 8, uint32_t(FUriList.size()),
                            FUriList.constData());
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = request.property;
        xcb_send_event(FConnection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(FConnection);
    }

    xcb_connection_t* FConnection;
    QByteArray FUriList;
    uint32_t FSource = 0;
    xcb_client_message_event_t FLast{};
};

// The value after "label" in xwininfo's output.
QString InfoField(const QString& info, const QString& label) {
    QRegularExpression pattern("^\\s*" + QRegularExpression::escape(label) + "\\s*(.*)$",
                               QRegularExpression::MultilineOption);
    return pattern.match(info).captured(1).trimmed();
}

}  // namespace

VexloProcess::VexloProcess() : FEnvironment(QProcessEnvironment::systemEnvironment()) {
    QDir work(FWork.path());
    work.mkdir("home");
    work.mkdir("drive");
    FEnvironment.insert("VEXLO_HOME", Home());
    FEnvironment.insert("VEXLO_DRIVE_ROOT", DriveRoot());
    FEnvironment.insert("QT_QPA_PLATFORM", "xcb");
    // The desktop of whoever runs the tests is none of the program's business: a journey that
    // wants a session bus gives it one of its own.
    FEnvironment.remove("DBUS_SESSION_BUS_ADDRESS");
    FProcess.setProcessChannelMode(QProcess::MergedChannels);
    // A file, not a pipe: a chatty program must never block on a full pipe.
    FProcess.setStandardOutputFile(FWork.filePath("output.log"));
}

VexloProcess::~VexloProcess() {
    if (FProcess.state() == QProcess::NotRunning) return;
    FProcess.kill();
    FProcess.waitForFinished(5000);
}

QString VexloProcess::Home() const {
    return FWork.filePath("home") + "/";
}

QString VexloProcess::DriveRoot() const {
    return FWork.filePath("drive") + "/";
}

bool VexloProcess::Start(const QStringList& arguments) {
    if (!FWork.isValid()) {
        ADD_FAILURE() << "no temporary folder: " << FWork.errorString().toStdString();
        return false;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        ADD_FAILURE() << "DISPLAY is not set: e2e tests run under Xvfb (xvfb-run, scripts/test)";
        return false;
    }
    const QString binDir = qEnvironmentVariable("VEXLO_BIN_DIR");
    if (binDir.isEmpty()) {
        ADD_FAILURE() << "VEXLO_BIN_DIR is not set: run this test through ctest";
        return false;
    }
    FProcess.setProcessEnvironment(FEnvironment);
    FProcess.start(binDir + "/vexlo", arguments);
    if (!FProcess.waitForStarted(10000)) {
        ADD_FAILURE() << "vexlo did not start: " << FProcess.errorString().toStdString();
        return false;
    }
    FStarted = true;
    return true;
}

bool VexloProcess::WaitForWindow(const QString& titlePattern, int timeoutMs) {
    const QString pid = QString::number(FProcess.processId());
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs && FProcess.state() == QProcess::Running) {
        ToolRun search = RunTool(
            "xdotool", {"search", "--all", "--onlyvisible", "--pid", pid, "--name", titlePattern},
            5000);
        const QByteArray first = search.output.split('\n').value(0).trimmed();
        if (search.Succeeded() && !first.isEmpty()) {
            FWindow = first.toULong();
            return true;
        }
        FProcess.waitForFinished(100);  // a pause that notices an early end
    }
    const QString state = FProcess.state() == QProcess::Running
                              ? "still running"
                              : QString("ended with exit code %1").arg(FProcess.exitCode());
    ADD_FAILURE() << "no window titled " << titlePattern.toStdString() << " within " << timeoutMs
                  << " ms; the program " << state.toStdString() << "; its output:\n"
                  << Output().toStdString();
    return false;
}

QString VexloProcess::WindowInfo() const {
    return QString::fromUtf8(ToolOutput("xwininfo", {"-id", QString::number(FWindow)}));
}

QRect VexloProcess::Geometry() const {
    const QString info = WindowInfo();
    return QRect(InfoField(info, "Absolute upper-left X:").toInt(),
                 InfoField(info, "Absolute upper-left Y:").toInt(),
                 InfoField(info, "Width:").toInt(), InfoField(info, "Height:").toInt());
}

bool VexloProcess::IsViewable() const {
    return InfoField(WindowInfo(), "Map State:") == "IsViewable";
}

QString VexloProcess::Title() const {
    return QString::fromUtf8(ToolOutput("xdotool", {"getwindowname", QString::number(FWindow)}))
        .trimmed();
}

void VexloProcess::Xdotool(const QStringList& arguments) const {
    ToolOutput("xdotool", arguments);
}

void VexloProcess::Click(QPoint at, int button, int repeat) {
    const QString window = QString::number(FWindow);
    // A synchronous move to where the pointer already is waits for a motion that never comes.
    const QPoint target = Geometry().topLeft() + at;
    const QByteArray pointer = ToolOutput("xdotool", {"getmouselocation"});
    const QRegularExpressionMatch place =
        QRegularExpression(R"(x:(-?\d+) y:(-?\d+))").match(QString::fromUtf8(pointer));
    const bool there = place.hasMatch() && place.captured(1).toInt() == target.x() &&
                       place.captured(2).toInt() == target.y();
    QStringList arguments = {"mousemove"};
    if (!there) arguments << "--sync";
    Xdotool(arguments << "--window" << window << QString::number(at.x()) << QString::number(at.y())
                      << "click"
                      << "--repeat" << QString::number(repeat) << "--delay"
                      << "80" << QString::number(button));
}

void VexloProcess::Drag(QPoint from, QPoint to, int button) {
    const QString window = QString::number(FWindow);
    QStringList arguments = {"mousemove",
                             "--sync",
                             "--window",
                             window,
                             QString::number(from.x()),
                             QString::number(from.y()),
                             "mousedown",
                             QString::number(button)};
    // Steps, so that the program sees a motion and not a jump.
    constexpr int kSteps = 8;
    for (int step = 1; step <= kSteps; ++step) {
        const QPoint point = from + (to - from) * step / kSteps;
        arguments << "sleep"
                  << "0.02"
                  << "mousemove"
                  << "--window" << window << QString::number(point.x())
                  << QString::number(point.y());
    }
    Xdotool(arguments << "mouseup" << QString::number(button));
}

bool VexloProcess::DropFiles(QPoint at, const QStringList& paths) {
    TConnection connection = Connect();
    if (xcb_connection_has_error(connection.get())) return false;
    QByteArray uriList;
    for (const QString& path : paths) uriList += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    return TUriDrop(connection.get(), uriList).Drop(uint32_t(FWindow), Geometry().topLeft() + at);
}

void VexloProcess::Key(const QString& keys) {
    // No window manager gives the focus under Xvfb; take it, then type through XTEST.
    Xdotool(
        QStringList{"windowfocus", "--sync", QString::number(FWindow), "key", "--clearmodifiers"}
        << keys.split(' ', Qt::SkipEmptyParts));
}

QImage VexloProcess::Grab() const {
    return GrabScreen(Geometry());
}

void VexloProcess::RequestClose() {
    if (!SendDeleteWindow(uint32_t(FWindow)))
        ADD_FAILURE() << "could not send WM_DELETE_WINDOW to window " << FWindow;
}

int VexloProcess::WaitForExit(int timeoutMs) {
    if (!FStarted) {
        ADD_FAILURE() << "vexlo was not started";
        return -1;
    }
    if (FProcess.state() != QProcess::NotRunning && !FProcess.waitForFinished(timeoutMs)) {
        FProcess.kill();
        FProcess.waitForFinished(5000);
        ADD_FAILURE() << "vexlo did not end within " << timeoutMs << " ms and was killed; output:\n"
                      << Output().toStdString();
        return -1;
    }
    if (FProcess.exitStatus() == QProcess::CrashExit) {
        ADD_FAILURE() << "vexlo crashed; output:\n" << Output().toStdString();
        return -1;
    }
    return FProcess.exitCode();
}

int VexloProcess::Close(int timeoutMs) {
    constexpr int kResendMs = 1000;
    QElapsedTimer clock;
    clock.start();
    do {
        RequestClose();
    } while (FProcess.state() != QProcess::NotRunning && !FProcess.waitForFinished(kResendMs) &&
             clock.elapsed() + kResendMs < timeoutMs);
    return WaitForExit(std::max(0, timeoutMs - int(clock.elapsed())));
}

QString VexloProcess::Output() const {
    QFile log(FWork.filePath("output.log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
