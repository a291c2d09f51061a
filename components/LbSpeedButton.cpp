#include "components/LbSpeedButton.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {

constexpr int kHotSteps = 8;       // fading out takes kHotSteps ticks
constexpr int kFadeInterval = 30;  // ms per fading step
constexpr int kSpacing = 4;        // between glyph, caption and edges

struct TColorSet {
    QColor Color, WhenDown, Light, Shadow, HotTrack;
};

TColorSet ColorSetOf(TLbColorStyle style, const QPalette& palette) {
    switch (style) {
        case lcsGold:
            return {"#e8c860", "#c8a030", "#fff0b0", "#806010", "#f8dc80"};
        case lcsChrome:
            return {"#c8ccd0", "#a0a4a8", "#f4f6f8", "#60646a", "#dde0e4"};
        case lcsBlue:
            return {"#4a78c8", "#2c58a8", "#a8c4f0", "#1c3470", "#6a94e0"};
        case lcsRed:
            return {"#c84a4a", "#a02c2c", "#f0a8a8", "#701c1c", "#e06a6a"};
        case lcsUltraFlat1:
        case lcsUltraFlat2:
            return {"#e0e0e0", "#c0c0c0", "#e0e0e0", "#808080", "#f0f0f0"};
        case lcsUltraFlatXP:
            return {"#ece9d8", "#c1d2ee", "#ffffff", "#316ac5", "#c1d2ee"};
        case lcsAqua:
            return {"#78b4f0", "#4a8cd8", "#d0e8ff", "#285890", "#9ccaf8"};
        case lcsQuicken:
            return {"#d8d0b8", "#b8b098", "#f8f0d8", "#706850", "#e8e0c8"};
        default:
            return {palette.color(QPalette::Button), palette.color(QPalette::Mid),
                    palette.color(QPalette::Light), palette.color(QPalette::Dark), QColor()};
    }
}

QColor Blend(const QColor& from, const QColor& to, double amount) {
    auto mix = [amount](int a, int b) { return int(a + (b - a) * amount + 0.5); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}

}  // namespace

TLbSpeedButton::TLbSpeedButton(QWidget* parent) : QWidget(parent) {
    const TColorSet colours = ColorSetOf(lcsDefault, palette());
    FColor = colours.Color;
    FColorWhenDown = colours.WhenDown;
    FLightColor = colours.Light;
    FShadowColor = colours.Shadow;
    FFontColor = FHotTrackFontColor = palette().color(QPalette::ButtonText);
    FHotTrackFont = font();
    FFadeTimer.setInterval(kFadeInterval);
    connect(&FFadeTimer, &QTimer::timeout, this, &TLbSpeedButton::Fade);
}

void TLbSpeedButton::Set(QColor& field, const QColor& value) {
    field = value;
    update();
}

void TLbSpeedButton::SetCaption(const QString& caption) {
    FCaption = caption;
    updateGeometry();
    update();
}

void TLbSpeedButton::SetGlyph(const QPixmap& glyph) {
    FGlyph = glyph;
    updateGeometry();
    update();
}

void TLbSpeedButton::SetNumGlyphs(int count) {
    FNumGlyphs = std::clamp(count, 1, 4);
    updateGeometry();
    update();
}

void TLbSpeedButton::SetStyle(TLbButtonStyle style) {
    FStyle = style;
    update();
}

void TLbSpeedButton::SetColorStyle(TLbColorStyle style) {
    FColorStyle = style;
    if (style == lcsCustom) return;
    const TColorSet colours = ColorSetOf(style, palette());
    FColor = colours.Color;
    FColorWhenDown = colours.WhenDown;
    FLightColor = colours.Light;
    FShadowColor = colours.Shadow;
    FHotTrackColor = colours.HotTrack;
    update();
}

void TLbSpeedButton::SetColor(const QColor& color) {
    Set(FColor, color);
}
void TLbSpeedButton::SetColorWhenDown(const QColor& color) {
    Set(FColorWhenDown, color);
}
void TLbSpeedButton::SetLightColor(const QColor& color) {
    Set(FLightColor, color);
}
void TLbSpeedButton::SetShadowColor(const QColor& color) {
    Set(FShadowColor, color);
}
void TLbSpeedButton::SetHotTrackColor(const QColor& color) {
    Set(FHotTrackColor, color);
}
void TLbSpeedButton::SetFontColor(const QColor& color) {
    Set(FFontColor, color);
}
void TLbSpeedButton::SetHotTrackFontColor(const QColor& color) {
    Set(FHotTrackFontColor, color);
}

void TLbSpeedButton::SetHotTrackFont(const QFont& font) {
    FHotTrackFont = font;
    update();
}

void TLbSpeedButton::SetUseHotTrackFont(bool use) {
    FUseHotTrackFont = use;
    update();
}

void TLbSpeedButton::SetDown(bool down) {
    if (FGroupIndex == 0) down = false;
    if (down == FDown || (FDown && !FAllowAllUp)) return;
    FDown = down;
    if (down && parentWidget()) {
        for (QObject* child : parentWidget()->children()) {
            auto* other = dynamic_cast<TLbSpeedButton*>(child);
            if (other && other != this && other->FGroupIndex == FGroupIndex && other->FDown) {
                other->FDown = false;
                other->update();
            }
        }
    }
    update();
}

void TLbSpeedButton::SetGroupIndex(int index) {
    FGroupIndex = std::max(0, index);
    if (FGroupIndex == 0 && FDown) {
        FDown = false;
        update();
    }
}

void TLbSpeedButton::SetAllowAllUp(bool allow) {
    FAllowAllUp = allow;
}

void TLbSpeedButton::SetFlat(bool flat) {
    FFlat = flat;
    update();
}

void TLbSpeedButton::SetTransparent(bool transparent) {
    FTransparent = transparent;
    update();
}

void TLbSpeedButton::SetWordWrap(bool wrap) {
    FWordWrap = wrap;
    update();
}

void TLbSpeedButton::SetLayout(TButtonLayout layout) {
    FLayout = layout;
    update();
}

void TLbSpeedButton::SetAlignment(Qt::Alignment alignment) {
    FAlignment = alignment & Qt::AlignHorizontal_Mask;
    update();
}

void TLbSpeedButton::SetSlowDecease(bool slow) {
    FSlowDecease = slow;
}

void TLbSpeedButton::SetPopupMenu(QMenu* menu) {
    FPopupMenu = menu;
}

QSize TLbSpeedButton::sizeHint() const {
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, FCaption);
    const QSize glyph(FGlyph.width() / FNumGlyphs, FGlyph.height());
    const bool beside = FLayout == blGlyphLeft || FLayout == blGlyphRight;
    const int gap = !FCaption.isEmpty() && !FGlyph.isNull() ? kSpacing : 0;
    const QSize content =
        beside ? QSize(glyph.width() + gap + text.width(), std::max(glyph.height(), text.height()))
               : QSize(std::max(glyph.width(), text.width()), glyph.height() + gap + text.height());
    return content + QSize(2 * kSpacing, 2 * kSpacing);
}

// --- Mouse ----------------------------------------------------------------------------------

void TLbSpeedButton::Click() {
    if (FPopupMenu) FPopupMenu->popup(mapToGlobal(QPoint(0, height())));
    if (OnClick) OnClick();
}

void TLbSpeedButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        FPressed = FPressedInside = true;
        update();
    }
    if (OnMouseDown) OnMouseDown(*event);
}

void TLbSpeedButton::mouseMoveEvent(QMouseEvent* event) {
    if (FPressed) {
        const bool inside = rect().contains(event->position().toPoint());
        if (inside != FPressedInside) {
            FPressedInside = inside;
            update();
        }
    }
    if (OnMouseMove) OnMouseMove(*event);
}

void TLbSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool clicked = event->button() == Qt::LeftButton && FPressed &&
                         rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) FPressed = false;
    if (clicked && FGroupIndex != 0) SetDown(!FDown);
    update();
    if (OnMouseUp) OnMouseUp(*event);
    if (clicked) Click();
}

void TLbSpeedButton::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (!isEnabled() || !isVisible()) return;
    FMouseIn = true;
    FFadeTimer.stop();
    FHotLevel = kHotSteps;
    update();
    if (OnMouseEnter) OnMouseEnter();
}

void TLbSpeedButton::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!FMouseIn) return;
    FMouseIn = false;
    if (FSlowDecease) {
        FFadeTimer.start();
    } else {
        FHotLevel = 0;
        update();
    }
    if (OnMouseExit) OnMouseExit();
}

void TLbSpeedButton::Fade() {
    if (--FHotLevel <= 0) {
        FHotLevel = 0;
        FFadeTimer.stop();
    }
    update();
}

// --- Drawing --------------------------------------------------------------------------------

double TLbSpeedButton::Hotness() const {
    return double(FHotLevel) / kHotSteps;
}

int TLbSpeedButton::GlyphFrame() const {
    if (!isEnabled() && FNumGlyphs > 1) return 1;
    if (FPressed && FPressedInside && FNumGlyphs > 2) return 2;
    if (FDown && FNumGlyphs > 3) return 3;
    return 0;
}

void TLbSpeedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!FTransparent) {
        const QColor hot = FHotTrackColor.isValid() ? FHotTrackColor : FColor.lighter(125);
        painter.fillRect(rect(), ShownDown() ? FColorWhenDown : Blend(FColor, hot, Hotness()));
    }
    DrawFrame(painter);
    DrawContents(painter);
}

// Raised frame in LightColor over ShadowColor, sunken while down; a flat button shows it
// only while hot or down. bsModern's frame is one pixel, the classic styles' two.
void TLbSpeedButton::DrawFrame(QPainter& painter) const {
    if (FFlat && FHotLevel == 0 && !ShownDown()) return;
    const QColor topLeft = ShownDown() ? FShadowColor : FLightColor;
    const QColor bottomRight = ShownDown() ? FLightColor : FShadowColor;
    QRect edge = rect().adjusted(0, 0, -1, -1);
    const int lines = FStyle == bsModern ? 1 : 2;
    for (int i = 0; i < lines; ++i, edge.adjust(1, 1, -1, -1)) {
        painter.setPen(topLeft);
        painter.drawLine(edge.topLeft(), edge.topRight());
        painter.drawLine(edge.topLeft(), edge.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(edge.bottomLeft(), edge.bottomRight());
        painter.drawLine(edge.topRight(), edge.bottomRight());
    }
}

void TLbSpeedButton::DrawContents(QPainter& painter) const {
    QRect area = rect().adjusted(kSpacing, kSpacing, -kSpacing, -kSpacing);
    if (ShownDown()) area.translate(1, 1);
    if (!FGlyph.isNull()) {
        const QSize size(FGlyph.width() / FNumGlyphs, FGlyph.height());
        QRect glyph(QPoint(), size);
        glyph.moveCenter(area.center());
        if (!FCaption.isEmpty()) {
            if (FLayout == blGlyphLeft) glyph.moveLeft(area.left());
            if (FLayout == blGlyphRight) glyph.moveRight(area.right());
            if (FLayout == blGlyphTop) glyph.moveTop(area.top());
            if (FLayout == blGlyphBottom) glyph.moveBottom(area.bottom());
        }
        painter.setOpacity(!isEnabled() && FNumGlyphs == 1 ? 0.4 : 1.0);
        painter.drawPixmap(glyph, FGlyph, QRect(QPoint(GlyphFrame() * size.width(), 0), size));
        painter.setOpacity(1.0);
        const bool beside = FLayout == blGlyphLeft || FLayout == blGlyphRight;
        const int taken = (beside ? size.width() : size.height()) + kSpacing;
        if (FLayout == blGlyphLeft) area.setLeft(area.left() + taken);
        if (FLayout == blGlyphRight) area.setRight(area.right() - taken);
        if (FLayout == blGlyphTop) area.setTop(area.top() + taken);
        if (FLayout == blGlyphBottom) area.setBottom(area.bottom() - taken);
    }
    const bool hotFont = FUseHotTrackFont && FHotLevel > 0;
    painter.setFont(hotFont ? FHotTrackFont : font());
    const QColor text = !isEnabled() ? palette().color(QPalette::Disabled, QPalette::ButtonText)
                        : hotFont    ? Blend(FFontColor, FHotTrackFontColor, Hotness())
                                     : FFontColor;
    painter.setPen(text);
    painter.drawText(area, FAlignment | Qt::AlignVCenter | (FWordWrap ? Qt::TextWordWrap : 0),
                     FCaption);
}
