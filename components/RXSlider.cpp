#include "components/RXSlider.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr int kIndent = 6;            // free ruler at each end of the thumb's track
constexpr int kRulerHitMargin = 3;    // a ruler press may miss the ruler by this much across
constexpr int kRepeatInterval = 400;  // ms between steps while the ruler is held

QPixmap Rotated(const QPixmap& image) {
    return image.transformed(QTransform().rotate(90));
}

// The built-in thumb: the small dark thumb, with the lime one as the dragged frame.
QPixmap DefaultThumb(int states, bool horizontal) {
    QPixmap normal(":/images/ThumbSmall.xpm");
    QPixmap dragged(":/images/ThumbSmallLime.xpm");
    if (!horizontal) {
        normal = Rotated(normal);
        dragged = Rotated(dragged);
    }
    if (states == 1) return normal;
    QPixmap image(normal.width() * 2, normal.height());
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.drawPixmap(0, 0, normal);
    painter.drawPixmap(normal.width(), 0, dragged);
    return image;
}

// Floor division, so that steps below zero land on multiples as they do above it.
int FloorDiv(int a, int b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

}  // namespace

TRxSlider::TRxSlider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    FRepeatTimer.setInterval(kRepeatInterval);
    connect(&FRepeatTimer, &QTimer::timeout, this, &TRxSlider::RepeatStep);
}

void TRxSlider::SetRange(int minValue, int maxValue) {
    if (minValue >= maxValue) return;
    FMinValue = minValue;
    FMaxValue = maxValue;
    FIncrement = std::min(FIncrement, maxValue - minValue);
    update();
    SetValue(FValue);
}

void TRxSlider::SetValue(int value) {
    value = std::clamp(value, FMinValue, FMaxValue);
    if (value == FValue) return;
    FValue = value;
    update();
    Change();
}

void TRxSlider::SetIncrement(int value) {
    const int width = FMaxValue - FMinValue;
    if (value < 1 || value > width)
        throw std::range_error(
            QString::asprintf("Value must be between %d and %d", 1, width).toStdString());
    FIncrement = value;
    update();
}

void TRxSlider::SetOrientation(TSliderOrientation orientation) {
    FOrientation = orientation;
    Refresh();
}

void TRxSlider::SetOptions(TSliderOptions options) {
    FOptions = options;
    update();
}

void TRxSlider::SetNumThumbStates(int states) {
    FNumThumbStates = std::clamp(states, 1, 2);
    Refresh();
}

void TRxSlider::SetEdgeSize(int size) {
    FEdgeSize = std::max(0, size);
    Refresh();
}

void TRxSlider::SetColor(const QColor& color) {
    FColor = color;
    update();
}

void TRxSlider::SetImageHThumb(const QPixmap& image) {
    FImageHThumb = image;
    Refresh();
}

void TRxSlider::SetImageHRuler(const QPixmap& image) {
    FImageHRuler = image;
    Refresh();
}

void TRxSlider::SetImageVThumb(const QPixmap& image) {
    FImageVThumb = image;
    Refresh();
}

void TRxSlider::SetImageVRuler(const QPixmap& image) {
    FImageVRuler = image;
    Refresh();
}

void TRxSlider::Refresh() {
    updateGeometry();
    update();
}

void TRxSlider::Change() {
    if (OnChange) OnChange();
}

void TRxSlider::Changed() {
    if (OnChanged) OnChanged();
}

// --- Geometry -------------------------------------------------------------------------------

int TRxSlider::Length() const {
    return Horizontal() ? width() : height();
}

// Distance along the slider from its MinValue end.
int TRxSlider::Along(const QPoint& point) const {
    return Horizontal() ? point.x() : Length() - 1 - point.y();
}

QRect TRxSlider::AlongRect(int start, int length, int crossStart, int crossLength) const {
    if (Horizontal()) return QRect(start, crossStart, length, crossLength);
    return QRect(crossStart, Length() - start - length, crossLength, length);
}

QPixmap TRxSlider::ThumbImage() const {
    const QPixmap& own = Horizontal() ? FImageHThumb : FImageVThumb;
    return own.isNull() ? DefaultThumb(FNumThumbStates, Horizontal()) : own;
}

QPixmap TRxSlider::RulerImage() const {
    const QPixmap& own = Horizontal() ? FImageHRuler : FImageVRuler;
    if (!own.isNull()) return own;
    const QPixmap groove(":/images/Ruler.xpm");
    return Horizontal() ? groove : Rotated(groove);
}

QSize TRxSlider::ThumbSize() const {
    const QPixmap image = ThumbImage();
    return QSize(image.width() / FNumThumbStates, image.height());
}

int TRxSlider::ThumbLength() const {
    const QSize size = ThumbSize();
    return Horizontal() ? size.width() : size.height();
}

int TRxSlider::TrackStart() const {
    return FEdgeSize + kIndent;
}

int TRxSlider::TrackLength() const {
    return std::max(1, Length() - 2 * (FEdgeSize + kIndent) - ThumbLength());
}

// Where the thumb starts for a value `offset` above MinValue.
int TRxSlider::PositionOf(int offset) const {
    const long long range = FMaxValue - FMinValue;
    return TrackStart() + int((offset * (long long)TrackLength() + range / 2) / range);
}

int TRxSlider::ThumbPos() const {
    return PositionOf(FValue - FMinValue);
}

QRect TRxSlider::RulerRect() const {
    const QPixmap image = RulerImage();
    const int thickness = Horizontal() ? image.height() : image.width();
    const int cross = Horizontal() ? height() : width();
    return AlongRect(FEdgeSize, Length() - 2 * FEdgeSize, (cross - thickness) / 2, thickness);
}

QRect TRxSlider::ThumbRect() const {
    const QSize size = ThumbSize();
    const int thickness = Horizontal() ? size.height() : size.width();
    const int cross = Horizontal() ? height() : width();
    return AlongRect(ThumbPos(), ThumbLength(), (cross - thickness) / 2, thickness);
}

QSize TRxSlider::sizeHint() const {
    const QSize thumb = ThumbSize();
    const QPixmap ruler = RulerImage();
    const int cross = 2 * FEdgeSize + (Horizontal() ? std::max(thumb.height(), ruler.height())
                                                    : std::max(thumb.width(), ruler.width()));
    return Horizontal() ? QSize(150, cross) : QSize(cross, 150);
}

// The value whose thumb starts at `thumbPos`: the offset along the track scaled to the range,
// rounded half to even (the FPU's default), to a multiple of Increment unless smooth.
int TRxSlider::ValueAt(int thumbPos) const {
    const int range = FMaxValue - FMinValue;
    double offset = std::nearbyint(double(thumbPos - TrackStart()) * range / TrackLength());
    if (!(FOptions & soSmooth)) offset = std::nearbyint(offset / FIncrement) * FIncrement;
    return FMinValue + int(std::clamp(offset, 0.0, double(range)));
}

// --- User actions ---------------------------------------------------------------------------

// One step to the next multiple of Increment above (direction 1) or below (-1) the value.
void TRxSlider::Step(int direction) {
    const int below = FloorDiv(FValue, FIncrement) * FIncrement;
    if (direction > 0)
        SetValue(below + FIncrement);
    else
        SetValue(below == FValue ? below - FIncrement : below);
}

bool TRxSlider::PointerBesideThumb(const QPoint& point, int direction) const {
    const int along = Along(point);
    return direction < 0 ? along < ThumbPos() : along >= ThumbPos() + ThumbLength();
}

void TRxSlider::RepeatStep() {
    if (FAction == uaStep && PointerBesideThumb(FPointer, FStepDirection)) Step(FStepDirection);
}

void TRxSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && FAction == uaNone) {
        const QPoint point = event->position().toPoint();
        const QRect hitRuler = Horizontal()
                                   ? RulerRect().adjusted(0, -kRulerHitMargin, 0, kRulerHitMargin)
                                   : RulerRect().adjusted(-kRulerHitMargin, 0, kRulerHitMargin, 0);
        if (ThumbRect().contains(point)) {
            FAction = uaDrag;
            FGrabOffset = Along(point) - ThumbPos();
            update();
        } else if (hitRuler.contains(point)) {
            FAction = uaStep;
            FPointer = point;
            FStepDirection = Along(point) < ThumbPos() ? -1 : 1;
            Step(FStepDirection);
            FRepeatTimer.start();
        }
    }
    if (OnMouseDown) OnMouseDown(*event);
}

void TRxSlider::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (FAction == uaDrag) SetValue(ValueAt(Along(point) - FGrabOffset));
    if (FAction == uaStep) FPointer = point;
}

void TRxSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && FAction != uaNone) {
        FRepeatTimer.stop();
        FAction = uaNone;
        update();
        Changed();
    }
    if (OnMouseUp) OnMouseUp(*event);
}

// Disabling the slider ends a drag or ruler press at once, without OnChanged: user actions
// only count while it is enabled.
void TRxSlider::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled() && FAction != uaNone) {
        FRepeatTimer.stop();
        FAction = uaNone;
        update();
    }
}

void TRxSlider::keyPressEvent(QKeyEvent* event) {
    int direction = 0;
    if (Horizontal() && event->key() == Qt::Key_Left) direction = -1;
    if (Horizontal() && event->key() == Qt::Key_Right) direction = 1;
    if (!Horizontal() && event->key() == Qt::Key_Down) direction = -1;
    if (!Horizontal() && event->key() == Qt::Key_Up) direction = 1;
    if (event->key() == Qt::Key_Home)
        SetValue(FMinValue);
    else if (event->key() == Qt::Key_End)
        SetValue(FMaxValue);
    else if (direction != 0)
        Step(direction);
    else
        return QWidget::keyPressEvent(event);
    Changed();
}

void TRxSlider::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (OnMouseEnter) OnMouseEnter();
}

void TRxSlider::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (OnMouseLeave) OnMouseLeave();
}

// --- Drawing --------------------------------------------------------------------------------

void TRxSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), FColor);
    const QPixmap ruler = RulerImage();
    DrawImage(painter, RulerRect(), ruler, ruler.rect(), FOptions & soRulerOpaque);
    if (FOptions & soShowPoints) DrawPoints(painter);
    const QSize size = ThumbSize();
    const int frame = FAction == uaDrag && FNumThumbStates > 1 ? 1 : 0;
    DrawImage(painter, ThumbRect(), ThumbImage(), QRect(QPoint(frame * size.width(), 0), size),
              FOptions & soThumbOpaque);
    if ((FOptions & soShowFocus) && hasFocus()) {
        painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// A transparent image without an alpha channel treats its bottom-left colour as see-through;
// an opaque one covers what lies below it with the slider's colour.
void TRxSlider::DrawImage(QPainter& painter, const QRect& target, const QPixmap& image,
                          const QRect& source, bool opaque) const {
    QPixmap piece = image.copy(source);
    if (opaque)
        painter.fillRect(target, FColor);
    else if (!piece.hasAlphaChannel() && !piece.isNull())
        piece.setMask(piece.createMaskFromColor(piece.toImage().pixelColor(0, piece.height() - 1)));
    painter.drawPixmap(target, piece);
}

// A dot beside the ruler at each multiple of Increment, or only at both ends when they
// would crowd closer than 3 pixels.
void TRxSlider::DrawPoints(QPainter& painter) const {
    const int range = FMaxValue - FMinValue;
    const bool crowded = TrackLength() * (long long)FIncrement < 3LL * range;
    const int step = crowded ? range : FIncrement;
    const QRect ruler = RulerRect();
    painter.setPen(QColor(0x80, 0x80, 0x80));
    for (int offset = 0;; offset = std::min(offset + step, range)) {
        const int along = PositionOf(offset) + ThumbLength() / 2;
        painter.drawPoint(Horizontal() ? QPoint(along, ruler.bottom() + 2)
                                       : QPoint(ruler.right() + 2, Length() - 1 - along));
        if (offset == range) break;
    }
}

void UseProgramSliderLook(TRxSlider& slider) {
    slider.SetIncrement(1);
    slider.SetOptions(soShowFocus | soSmooth);
    slider.SetNumThumbStates(1);
    slider.SetColor(Qt::black);
    slider.setCursor(Qt::PointingHandCursor);
}
