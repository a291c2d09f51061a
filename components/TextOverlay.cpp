#include "components/TextOverlay.h"

#include <QBitmap>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {

// Makes every pixel opaque or fully transparent, as the window's shape is (half-covered glyph
// edges count as covered), and returns the smallest rectangle holding the opaque ones.
QRect HardenEdges(QImage& image) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) < 128) {
                line[x] = 0;
                continue;
            }
            line[x] = qUnpremultiply(line[x]) | 0xff000000u;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

TTextOverlay::TTextOverlay(QWidget* parent) : QWidget(parent) {
    // A window of its own, stacked above the renderer's window in the X server.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void TTextOverlay::ShowText(QWidget* target, const QPoint& at, int pointSize, const QString& text) {
    const TShown shown{target, target ? target->size() : QSize(), at, pointSize, text};
    if (target && target != parentWidget()) {
        setParent(target);  // hides us; the shape goes with the old window
        FShown = {};
    }
    if (!target || text.isEmpty() || !OnPaintText) {
        hide();
        FShown = shown;
        return;
    }
    if (shown == FShown) {
        if (!FGlyphs.isNull()) KeepInFront();
        return;
    }
    FShown = shown;
    Render(shown);
}

void TTextOverlay::Render(const TShown& shown) {
    // Only the part of the target from the text's corner on can show glyphs.
    const QRect area =
        QRect(shown.At, shown.TargetSize).intersected(QRect(QPoint(), shown.TargetSize));
    FGlyphs = QImage();
    if (area.isEmpty()) {
        hide();
        return;
    }
    QImage canvas(area.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        OnPaintText(painter, shown.At - area.topLeft(), shown.PointSize, shown.Text);
    }
    const QRect bounds = HardenEdges(canvas);
    if (bounds.isEmpty()) {
        hide();
        return;
    }
    FGlyphs = canvas.copy(bounds);
    setGeometry(bounds.translated(area.topLeft()));
    setMask(QBitmap::fromImage(FGlyphs.createAlphaMask()));
    // Opaque wherever it shows: each repaint is then a plain copy to the window.
    FGlyphs.convertTo(QImage::Format_RGB32);
    update();
    show();
    KeepInFront();
}

// The renderer's window is our sibling; whatever was raised after us would cover the text.
// Other overlays may stay above: they show their text elsewhere, and raising each other in
// turn would restack the windows at every pass.
void TTextOverlay::KeepInFront() {
    const QObjectList& siblings = parentWidget()->children();
    if (isHidden()) show();
    const auto after = std::find(siblings.begin(), siblings.end(), this);
    if (std::any_of(after == siblings.end() ? after : after + 1, siblings.end(),
                    [](QObject* sibling) { return !dynamic_cast<TTextOverlay*>(sibling); }))
        raise();
}

QRect TTextOverlay::GlyphArea() const {
    return isHidden() ? QRect() : geometry();
}

void TTextOverlay::paintEvent(QPaintEvent* event) {
    QPainter(this).drawImage(event->rect().topLeft(), FGlyphs, event->rect());
}
