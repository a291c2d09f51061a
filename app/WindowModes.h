#pragma once
// The arithmetic of the window modes: the fixed placements on the screen, the bottom bar's
// layout for a window size and the wheel zoom's steps. Pure, so it can be checked for any
// screen size.
#include <QRect>
#include <QSize>
#include <cstdint>

// The items of the "Auto Sized" menu.
enum TPlacement {
    plTopRight,
    plTopLeft,
    plBottomRight,
    plBottomLeft,
    plLeftOfScreen,
    plRightOfScreen
};

// Where a placement puts the window on a screen of the given size (origin at 0, 0). Height,
// width, left and top are set in that order, so left and top see the size after the minimum
// size applied.
QRect PlacementRect(TPlacement placement, const QSize& screen, const QSize& minimum);

// The bottom bar for a window size.
struct TBarLayout {
    int BarHeight;     // of the bar and of the speed panel
    bool LargeThumbs;  // the sliders' thumbs: large (32 x 20) or small (16 x 10)
    int SpeedWidth;    // of the speed panel
};
TBarLayout BarLayoutFor(const QSize& window);

// The most a wheel zoom adds: 300 pixels with the vertical zoom or the EVR renderer, else 50.
int32_t ZoomLimit(bool verticalZoom, bool evr);

// One wheel notch: consecutive notches in one direction add 1, 2, 3, ... to the amount (or
// take them off), within 0 and the limit; a notch the other way starts the count again.
void StepZoom(int32_t& amount, int32_t& upStep, int32_t& downStep, bool up, int32_t limit);

// Whether a window of this size nearly covers the screen (within 100 pixels each way).
bool NearlyCoversScreen(const QSize& window, const QSize& screen);
