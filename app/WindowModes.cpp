// Window modes and placement: minimise, restore, full screen, stay on top, the fixed
// placements, dragging and zooming the picture, keys.
#include <QCursor>

#include "app/Main.h"

void TFormQuelm::SetStayOnTop(bool onTop) {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (shown) show();  // a change of window flags hides a shown window
    StayOnTop1->setChecked(onTop);
}

// The check of the item changed with the click; the window follows it.
void TFormQuelm::StayOnTop1Click() {
    SetStayOnTop(StayOnTop1->isChecked());
}

// Does nothing: the bottom bar grows only with the window.
void TFormQuelm::GrowBottomBar() {}

// The pointer left a bottom-bar control: unless it went down to the window's lowest 30 pixels,
// a grown bar goes back to its thin size.
void TFormQuelm::ShrinkBottomBar() {
    constexpr int kThinBar = 15;
    if (QCursor::pos().y() < y() + height() - 30 && Paneles1->height() > kThinBar)
        Paneles1->setFixedHeight(kThinBar);
}

// These handlers do nothing yet.

void TFormQuelm::btnMinClick() {}

void TFormQuelm::btnRestoreClick() {}

void TFormQuelm::Fullscreen1Click() {}

void TFormQuelm::TopR1Click() {}

void TFormQuelm::TopL1Click() {}

void TFormQuelm::BottomR1Click() {}

void TFormQuelm::BottomL1Click() {}

void TFormQuelm::mnLeftScreenClick() {}

void TFormQuelm::mnRightScreenClick() {}

void TFormQuelm::FormResize() {}

void TFormQuelm::FormMouseDown(QObject*, const QMouseEvent&) {}

void TFormQuelm::FormMouseMove(QObject*, const QMouseEvent&) {}

void TFormQuelm::FormMouseWheelDown(QObject*, const QWheelEvent&) {}

void TFormQuelm::FormMouseWheelUp(QObject*, const QWheelEvent&) {}

void TFormQuelm::FormKeyPress(QChar) {}

void TFormQuelm::HandleAppMessage(QObject*, QEvent*) {}
