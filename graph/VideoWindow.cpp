#include "graph/VideoWindow.h"

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent) {}

TVideoWindow::~TVideoWindow() = default;

// Does nothing yet.
void TVideoWindow::ZoomPicture(int32_t, bool, bool) {}
