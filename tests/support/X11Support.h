// Helpers for tests that drive the real vexlo binary on the X display of the test command
// (Xvfb): run tools, read the screen, and start, operate and close the program.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What an external tool did.
struct ToolRun {
    bool finished = false;  // exited by itself within the time allowed
    int exitCode = -1;
    QByteArray output;  // standard output
    QByteArray errors;  // standard error, or why the tool did not run
    bool Succeeded() const { return finished && exitCode == 0; }
};

// Runs a tool to completion, killing it after timeoutMs. Reports nothing.
ToolRun RunTool(const QString& program, const QStringList& arguments, int timeoutMs = 20000);

// Runs a tool and returns its standard output; reports a test failure (with the tool's error
// output) when it does not succeed.
QByteArray ToolOutput(const QString& program, const QStringList& arguments, int timeoutMs = 20000);

// The screen as shown now, or the given part of it (ImageMagick import of the root window).
// A null image (and a reported failure) when it cannot be read.
QImage GrabScreen(const QRect& area = QRect());

// The mean colour of the pixels of area inside image.
QColor AverageColour(const QImage& image, const QRect& area);

// Whether every channel of actual lies within tolerance of expected.
bool ColourNear(const QColor& actual, const QColor& expected, int tolerance = 24);

// One run of the vexlo binary (VEXLO_BIN_DIR/vexlo) with a temporary program folder and
// drive root of its own, so a test never touches the build's folder or the real "/". The
// program is killed when this object goes, whatever the test did. Coordinates of the
// input methods are relative to the window's top-left corner; failures are reported as
// test failures.
class VexloProcess {
  public:
    VexloProcess();
    ~VexloProcess();
    VexloProcess(const VexloProcess&) = delete;
    VexloProcess& operator=(const VexloProcess&) = delete;

    // The program folder given as VEXLO_HOME (ends in "/"); fill it before Start.
    QString Home() const;
    // The drive root given as VEXLO_DRIVE_ROOT (ends in "/").
    QString DriveRoot() const;
    // The environment the program starts with; change it before Start.
    QProcessEnvironment& Environment() { return FEnvironment; }

    bool Start(const QStringList& arguments = {});
    // Waits for a mapped window of this process whose title matches titlePattern (a POSIX
    // regular expression) and makes it the window the other methods use.
    bool WaitForWindow(const QString& titlePattern = "^Vexlo Player$", int timeoutMs = 15000);
    unsigned long Window() const { return FWindow; }

    QRect Geometry() const;   // position on the screen and size
    bool IsViewable() const;  // mapped, with mapped parents
    QString Title() const;

    // Buttons 1 to 3 are left, middle, right; 4 and 5 turn the wheel up and down.
    void Click(QPoint at, int button = 1, int repeat = 1);
    void Drag(QPoint from, QPoint to, int button = 1);
    // Drops the files on the window at the point, as a file manager's drag and drop does.
    // Returns whether the window took them.
    bool DropFiles(QPoint at, const QStringList& paths);
    // Focuses the window and presses keys given by their X names ("Escape", "ctrl+o").
    void Key(const QString& keys);
    // The window as it shows on the screen.
    QImage Grab() const;

    // Asks the window to close as a desktop's close button does (WM_DELETE_WINDOW).
    void RequestClose();
    // Ends the program as a desktop does at logout (SIGTERM).
    void Terminate() { FProcess.terminate(); }
    // The exit code, or -1 after a crash or a timeout (the program is killed then).
    int WaitForExit(int timeoutMs = 10000);
    // RequestClose, repeated every second while the program runs (a close sent within moments
    // of the window's first showing is now and then ignored by Qt), then WaitForExit.
    int Close(int timeoutMs = 10000);

    // Everything the program wrote to its standard output and error so far.
    QString Output() const;

  private:
    QString WindowInfo() const;
    void Xdotool(const QStringList& arguments) const;

    QTemporaryDir FWork;
    QProcessEnvironment FEnvironment;
    QProcess FProcess;
    bool FStarted = false;
    unsigned long FWindow = 0;
};
