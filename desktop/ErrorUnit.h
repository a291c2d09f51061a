#pragma once
// The error and log window: a borderless, translucent, always-on-top window with the error pane
// MemoError (the used-filters list or the last error) over the log pane MemoLog (trace lines
// of the video window, kept for the whole run). Dismissed by pressing the mouse elsewhere.
//
// UI thread only. Code below the player window writes to it through the free routines:
// LogLine appends to MemoLog, ErrorForm->MemoError is the error pane.
#include <QPlainTextEdit>
#include <QSplitter>
#include <QWidget>
#include <string>

#include "components/OutsidePress.h"
#include "components/ThdTimer.h"

class TErrorForm : public QWidget {
  public:
    explicit TErrorForm(QWidget* parent = nullptr);
    ~TErrorForm() override;

    QPlainTextEdit* MemoError;
    QSplitter* Splitter1;  // its handle is the yellow bar between the panes
    QPlainTextEdit* MemoLog;
    // Hides the window on its tick; nothing starts it.
    TThreadedTimer ErrorTimer;

    // Shows the window in front of the others and activates it; the first showing centres it
    // on `owner` (the player window), later ones keep the place it had.
    void ShowInFront(const QWidget* owner);
    // Clears the error pane and writes `text` as its only content.
    void SetErrorText(const std::string& text);

  private:
    void ErrorTimerTimer();
    // A press elsewhere hides the window: it has no border and no close button.
    void Dismiss();

    bool FPlaced = false;
    TOutsidePress FOutsidePress;
};

// The window of the running program, or null while there is none.
extern TErrorForm* ErrorForm;

// Creates the error window, hidden, unless a window named "ErrorForm" is open, and returns the
// instance. The instance belongs to this unit until FreeErrorForm.
TErrorForm* OpenErrorForm();
// Destroys the instance (before the application object goes).
void FreeErrorForm();

// Appends one line to the log pane; does nothing while there is no error window.
void LogLine(const std::string& line);
