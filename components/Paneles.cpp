#include "components/Paneles.h"

#include <QPainter>
#include <QPalette>

TPaneles::TPaneles(QWidget* parent)
    : QFrame(parent), FHolderLink([this] { update(); }), FColor(palette().color(QPalette::Window)) {
    setFrameShape(QFrame::NoFrame);
}

void TPaneles::SetBitmap(const QPixmap& bitmap) {
    FBitmap = bitmap;
    update();
}

void TPaneles::SetBitmapHolder(TBitmapHolder* holder) {
    FHolderLink.SetHolder(holder);
    update();
}

void TPaneles::SetColor(const QColor& color) {
    FColor = color;
    update();
}

void TPaneles::SetBevelOuter(TPanelBevel bevel) {
    FBevelOuter = bevel;
    update();
}

void TPaneles::SetBevelInner(TPanelBevel bevel) {
    FBevelInner = bevel;
    update();
}

void TPaneles::SetBevelWidth(int width) {
    FBevelWidth = std::max(1, width);
    update();
}

const QPixmap& TPaneles::Picture() const {
    if (!FBitmap.isNull() || !BitmapHolder()) return FBitmap;
    return BitmapHolder()->Bitmap();
}

void TPaneles::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap& picture = Picture();
    // Tiling from (0, 0) clips the last row and column at the right and bottom edges.
    if (picture.isNull())
        painter.fillRect(rect(), FColor);
    else
        painter.drawTiledPixmap(rect(), picture);
    QRect inner = rect();
    DrawBevel(painter, inner, FBevelOuter);
    DrawBevel(painter, inner, FBevelInner);
}

// Draws one bevel of BevelWidth lines around `rect` and shrinks `rect` inside it.
void TPaneles::DrawBevel(QPainter& painter, QRect& rect, TPanelBevel bevel) const {
    if (bevel == bvNone) return;
    const QPalette& colours = palette();
    const QColor light = colours.color(QPalette::Light);
    const QColor shadow = colours.color(QPalette::Dark);
    const QColor topLeft = bevel == bvLowered ? shadow : light;
    const QColor bottomRight = bevel == bvLowered ? light : shadow;
    for (int i = 0; i < FBevelWidth && rect.width() > 1 && rect.height() > 1; ++i) {
        if (bevel != bvSpace) {
            painter.setPen(topLeft);
            painter.drawLine(rect.topLeft(), rect.topRight());
            painter.drawLine(rect.topLeft(), rect.bottomLeft());
            painter.setPen(bottomRight);
            painter.drawLine(rect.bottomLeft(), rect.bottomRight());
            painter.drawLine(rect.topRight(), rect.bottomRight());
        }
        rect.adjust(1, 1, -1, -1);
    }
}

void TPaneles::enterEvent(QEnterEvent* event) {
    QFrame::enterEvent(event);
    if (OnMouseEnter) OnMouseEnter();
}

void TPaneles::leaveEvent(QEvent* event) {
    QFrame::leaveEvent(event);
    if (OnMouseLeave) OnMouseLeave();
}
