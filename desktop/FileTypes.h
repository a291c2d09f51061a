#pragma once
// The file-type dialog: the user ticks media file types and Apply makes the player the program
// that opens them, both in the registry store (the file-class keys: ".avi" -> "avifile" with
// its icon and open command) and for the desktop (platform/Shell.h). Closing only hides it,
// so the ticks stay as the user left them. UI thread only.
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

#include "components/Paneles.h"

// A registry key or value that could not be written.
class ERegistryException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TFormFileType : public QWidget {
  public:
    explicit TFormFileType(QWidget* parent = nullptr);

    QTreeWidget* LvTypes;  // one checkable row per extension, in the order they are applied
    TPaneles* Paneles1;
    QPushButton* btnApply;
    QPushButton* btnCancel;

    // The application's exception hook: receives the error that ended an Apply. Without one
    // the error is dropped.
    std::function<void(const std::exception&)> OnException;

    // Associates every ticked row whose caption begins with "." (the first error ends the
    // run), then hides the dialog 100 ms later, error or not.
    void btnApplyClick();
    void btnCancelClick();

    // The association for one extension (without its dot) and the executable's path: the four
    // registry keys, the desktop entry and default, then the desktop is told. Raises
    // ERegistryException or EShellError.
    static void AssociateFileType(const std::string& extension, const std::string& exe);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildComponents();
    void FillTypes();

    bool FPlaced = false;
};
