#pragma once
// TffdshowDialog: the ffdshow stand-ins' own video-adjustment dialog, one slider per picture
// setting, opened on the values in force; it deletes itself when closed.

#include <QDialog>

class IffDecoder;

class TffdshowDialog : public QDialog {
  public:
    TffdshowDialog(IffDecoder& decoder, QWidget* owner);
};
