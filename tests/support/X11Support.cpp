#include "tests/support/X11Support.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
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

// Sends the WM_DELETE_WINDOW message a window manager sends for its close button.
bool SendDeleteWindow(uint32_t window) {
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(nullptr, nullptr), xcb_disconnect);
    if (xcb_connection_has_error(connection.get())) return false;
    auto atom = [&](const char* name) -> xcb_atom_t {
        auto cookie = xcb_intern_atom(connection.get(), 0, uint16_t(strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection.get(), cookie, nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    if (event.type == XCB_ATOM_NONE || event.data.data32[0] == XCB_ATOM_NONE) return false;
    xcb_send_event(connection.get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    return xcb_flush(connection.get()) > 0;
}

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
