#pragma once
// The file-type dialog: associates media file types with the player.
#include <QWidget>

class TFormFileType : public QWidget {
  public:
    explicit TFormFileType(QWidget* parent = nullptr);
};
