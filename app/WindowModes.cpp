// Window modes and placement: minimise, restore, full screen, stay on top, the fixed
// placements, dragging and zooming the picture, keys.
#include "app/WindowModes.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "app/Main.h"
#include "app/PlayerState.h"
#include "desktop/FunctionMix.h"

namespace {

constexpr int kThinBar = 15;
constexpr int kTallBar = 20;
constexpr int kZoomLimit = 50;
constexpr int kLargeZoomLimit = 300;

QRect PrimaryScreen() {
    return QGuiApplication::primaryScreen()->geometry();
}

void Place(TFormQuelm& form, TPlacement placement) {
    const QRect screen = PrimaryScreen();
    const QRect place = PlacementRect(placement, screen.size(), form.minimumSize());
    form.setGeometry(place.translated(screen.topLeft()));
}

void SetListFonts(TFormQuelm& form, int points) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{form.LvVideoSource, form.BigDirComboBox}) {
        QFont font = control->font();
        font.setPointSize(points);
        control->setFont(font);
    }
}

// Before the window is maximised or fills the screen: where it goes back to.
void KeepNormalPlace(TFormQuelm& form) {
    if (!(form.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        form.FNormalPlace = form.geometry();
}

// The window back in its normal state, at the place it had before it filled the screen.
void ShowNormal(TFormQuelm& form) {
    const bool filled = form.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
    form.showNormal();
    if (filled && form.FNormalPlace.isValid()) form.setGeometry(form.FNormalPlace);
}

// The zoom goes to the window that shows the picture: the EVR window for a file, the classic
// one for a DVD. (Routed by the "EVR" box, which only diagnostic mode shows, a file's picture
// never zoomed.)
void ZoomPicture(TFormQuelm& form, int32_t amount, bool enable, bool verticalOnly) {
    if (PlayerState.DvdMode)
        form.VideoWindow1->ZoomPicture(amount, enable, verticalOnly);
    else
        form.EVRVideoWindow1->ZoomPicture(amount, enable, verticalOnly);
}

void WheelZoom(TFormQuelm& form, bool up) {
    if (!PlayerState.PlayerReady || !form.FG.Active()) return;
    const bool vertical = form.chkboxZoomVertical->isChecked();
    const int32_t limit = ZoomLimit(vertical, form.chkboxEVR->isChecked());
    StepZoom(PlayerState.ZoomAmount, PlayerState.ZoomUpStep, PlayerState.ZoomDownStep, up, limit);
    form.LbLOpenList->setText(QString::number(PlayerState.ZoomAmount));
    if (form.FG.Active()) ZoomPicture(form, PlayerState.ZoomAmount, true, vertical);
}

}  // namespace

QRect PlacementRect(TPlacement placement, const QSize& screen, const QSize& minimum) {
    const int W = screen.width(), H = screen.height();
    const bool half = placement != plLeftOfScreen && placement != plRightOfScreen;
    const int height = std::max(half ? H / 2 - 16 : H - 27, minimum.height());
    const int width = std::max(half ? W / 2 - 2 : W / 2 + 10, minimum.width());
    switch (placement) {
        case plTopRight:
            return QRect(W - width, -1, width, height);
        case plTopLeft:
            return QRect(0, -1, width, height);
        case plBottomRight:
            return QRect(W - width, height, width, height);
        case plBottomLeft:
            return QRect(0, height, width, height);
        case plLeftOfScreen:
            return QRect(-2, -2, width, height);
        case plRightOfScreen:
            break;
    }
    return QRect(W - width + 2, -2, width, height);
}

TBarLayout BarLayoutFor(const QSize& window) {
    const bool tall = window.height() > 700;
    const int speedWidth = window.width() <= 700 ? 50 : window.width() <= 1000 ? 100 : 200;
    return {tall ? kTallBar : kThinBar, tall, speedWidth};
}

int32_t ZoomLimit(bool verticalZoom, bool evr) {
    return verticalZoom || evr ? kLargeZoomLimit : kZoomLimit;
}

void StepZoom(int32_t& amount, int32_t& upStep, int32_t& downStep, bool up, int32_t limit) {
    (up ? downStep : upStep) = 0;
    int32_t& step = up ? upStep : downStep;
    amount = std::min(amount, limit);
    step = std::min(step, limit);
    ++step;
    amount = up ? std::min(amount + step, limit) : std::max(amount - step, 0);
}

bool NearlyCoversScreen(const QSize& window, const QSize& screen) {
    return window.width() > screen.width() - 100 && window.height() > screen.height() - 100;
}

// In place: QWidget::setWindowFlag would hide the window and make it anew, and the renderer's
// window inside with it, so the picture of a playing file would be lost.
void TFormQuelm::SetStayOnTop(bool onTop) {
    const Qt::WindowFlags flags = windowFlags().setFlag(Qt::WindowStaysOnTopHint, onTop);
    overrideWindowFlags(flags);
    if (QWindow* window = windowHandle()) window->setFlags(flags);
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
    if (QCursor::pos().y() < y() + height() - 30 && Paneles1->height() > kThinBar)
        Paneles1->setFixedHeight(kThinBar);
}

void TFormQuelm::btnMinClick() {
    if (!PlayerState.FullScreenOn) showMinimized();
}

// Maximised (or minimised, or full screen) back to normal with the small fonts; normal to
// maximised, a caption's height short of the screen, with large fonts and no slider tooltips.
void TFormQuelm::btnRestoreClick() {
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        ShowNormal(*this);
        PlayerState.OverlayFontSize = 10;
        SetListFonts(*this, 10);
        return;
    }
    // The size first: a window manager that maximises sizes the window its own way, and
    // where there is none the state alone would not change the size.
    KeepNormalPlace(*this);
    const QRect screen = PrimaryScreen();
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    setGeometry(screen.x(), screen.y(), screen.width(), screen.height() - caption - 1);
    showMaximized();
    PlayerState.OverlayFontSize = 14;
    SetListFonts(*this, 15);
    for (QWidget* slider :
         std::initializer_list<QWidget*>{TrackProgress, TrackBrightness, TrackVolume})
        slider->setToolTip(QString());
}

// There is no taskbar to hide or show: full screen covers the panels.
void TFormQuelm::Fullscreen1Click() {
    if (PlayerState.FullScreenState == "FullScreen") {
        ShowNormal(*this);
        PlayerState.FullScreenState = "Normal";
        PlayerState.FullScreenOn = false;
        return;
    }
    KeepNormalPlace(*this);
    setGeometry(PrimaryScreen());
    showFullScreen();
    PlayerState.FullScreenState = "FullScreen";
    PlayerState.FullScreenOn = true;
}

void TFormQuelm::TopR1Click() {
    Place(*this, plTopRight);
}

void TFormQuelm::TopL1Click() {
    Place(*this, plTopLeft);
}

void TFormQuelm::BottomR1Click() {
    Place(*this, plBottomRight);
}

void TFormQuelm::BottomL1Click() {
    Place(*this, plBottomLeft);
}

void TFormQuelm::mnLeftScreenClick() {
    Place(*this, plLeftOfScreen);
}

void TFormQuelm::mnRightScreenClick() {
    Place(*this, plRightOfScreen);
}

void TFormQuelm::FormResize() {
    const TBarLayout layout = BarLayoutFor(size());
    Paneles1->setFixedHeight(layout.BarHeight);
    Paneles2->setFixedHeight(layout.BarHeight);
    Paneles2->setFixedWidth(layout.SpeedWidth);
    const QPixmap& thumb = (layout.LargeThumbs ? ThumbLarge : ThumbSmall)->Bitmap();
    for (TRxSlider* slider :
         std::initializer_list<TRxSlider*>{TrackProgress, TrackBrightness, TrackVolume, TrackSpeed})
        slider->SetImageHThumb(thumb);
}

// A press on the picture: the DVD menu button under it, and the whole window follows the
// pointer, unless the window nearly covers the screen. The move is the left button's: the
// right one opens the context menu, which a window manager's move would take the pointer from.
void TFormQuelm::FormMouseDown(QObject* sender, const QMouseEvent& event) {
    EVRVideoWindow1->SetMouseButtonHeld(true);
    if (NearlyCoversScreen(size(), PrimaryScreen().size())) return;
    ActivateDvdButtonAt(sender, event.position().toPoint());
    if (y() + height() - 40 < 0 || event.button() != Qt::LeftButton) return;
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    MoveOrResizeWithPointer(this, event.globalPosition().toPoint());
}

void TFormQuelm::FormMouseMove(QObject* sender, const QMouseEvent& event) {
    EVRVideoWindow1->SetMouseButtonHeld(false);
    SelectDvdButtonAt(sender, event.position().toPoint());
}

void TFormQuelm::FormMouseWheelDown(QObject*, const QWheelEvent&) {
    WheelZoom(*this, false);
}

void TFormQuelm::FormMouseWheelUp(QObject*, const QWheelEvent&) {
    WheelZoom(*this, true);
}

void TFormQuelm::FormKeyPress(QChar key) {
    if (key == QChar(27)) close();
}

// A press on the picture holds its placing until the mouse moves or a button comes up anywhere:
// a press that opened the context menu sees no move on the picture, and its hold would keep
// the picture at its old size through the next resize. A resize held off is placed now.
void TFormQuelm::EndMouseButtonHold() {
    if (!EVRVideoWindow1->MouseButtonHeld()) return;
    EVRVideoWindow1->SetMouseButtonHeld(false);
    EVRVideoWindow1->UpdateVideoPosition();
}

// Sees every event of the application. A middle-button press resets the zoom, whether or not
// anything plays; it is taken once, where it reaches a window.
void TFormQuelm::HandleAppMessage(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseMove)
        EndMouseButtonHold();
    if (event->type() != QEvent::MouseButtonPress || !receiver->isWindowType() ||
        static_cast<QMouseEvent*>(event)->button() != Qt::MiddleButton)
        return;
    PlayerState.ZoomDownStep = 0;
    PlayerState.ZoomUpStep = 0;
    PlayerState.ZoomAmount = 0;
    LbLOpenList->setText("Open");
    ZoomPicture(*this, 0, false, false);
}
