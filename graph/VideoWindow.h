#pragma once
// TVideoWindow: the classic video window that shows the picture of DVD volumes.

#include <QWidget>
#include <cstdint>

class TVideoWindow : public QWidget {
  public:
    explicit TVideoWindow(QWidget* parent = nullptr);
    ~TVideoWindow() override;

    // Enable: zoom by amount (vertically only, or by cropping the source); otherwise reset.
    void ZoomPicture(int32_t amount, bool enable, bool verticalOnly);
};
