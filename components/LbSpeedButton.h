// TLbSpeedButton: a drawn button with caption and glyph, a hot look while the pointer is over
// it (optionally fading out), grouped "down" states and an optional popup menu.
// All styles share the flat look of bsModern; the classic ones get a two-pixel frame.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

class QMenu;

enum TLbButtonStyle { bsNormal, bsEncarta, bsModern, bsOld, bsShape, bsQuicken };

enum TLbColorStyle {
    lcsCustom,
    lcsGold,
    lcsChrome,
    lcsBlue,
    lcsRed,
    lcsUltraFlat1,
    lcsUltraFlat2,
    lcsUltraFlatXP,
    lcsAqua,
    lcsDefault,
    lcsQuicken
};

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TLbSpeedButton : public QWidget {
  public:
    explicit TLbSpeedButton(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    // NumGlyphs frames side by side: up, disabled, pressed, stuck down.
    const QPixmap& Glyph() const { return FGlyph; }
    void SetGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int count);  // 1..4
    TLbButtonStyle Style() const { return FStyle; }
    void SetStyle(TLbButtonStyle style);
    TLbColorStyle ColorStyle() const { return FColorStyle; }
    // Any style but lcsCustom assigns its own Color, ColorWhenDown, LightColor, ShadowColor
    // and HotTrackColor.
    void SetColorStyle(TLbColorStyle style);

    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);
    QColor ColorWhenDown() const { return FColorWhenDown; }
    void SetColorWhenDown(const QColor& color);
    QColor LightColor() const { return FLightColor; }
    void SetLightColor(const QColor& color);
    QColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(const QColor& color);
    // The hot fill; invalid (the default) means Color, lightened.
    QColor HotTrackColor() const { return FHotTrackColor; }
    void SetHotTrackColor(const QColor& color);
    // The caption's colour; the caption's font is the widget's font().
    QColor FontColor() const { return FFontColor; }
    void SetFontColor(const QColor& color);
    QFont HotTrackFont() const { return FHotTrackFont; }
    void SetHotTrackFont(const QFont& font);
    QColor HotTrackFontColor() const { return FHotTrackFontColor; }
    void SetHotTrackFontColor(const QColor& color);
    bool UseHotTrackFont() const { return FUseHotTrackFont; }
    void SetUseHotTrackFont(bool use);

    bool Down() const { return FDown; }
    // Only a grouped button stays down; pressing one down raises the others of its group
    // among its siblings, and a down one rises again only when AllowAllUp.
    void SetDown(bool down);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int index);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool allow);
    bool Flat() const { return FFlat; }
    void SetFlat(bool flat);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool transparent);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool wrap);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout layout);
    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment alignment);  // of the caption, horizontally
    // The hot look fades out in 30 ms steps instead of ending at once.
    bool SlowDecease() const { return FSlowDecease; }
    void SetSlowDecease(bool slow);
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu);  // shown below the button on a click, before OnClick

    QSize sizeHint() const override;

    std::function<void()> OnClick;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseExit;
    std::function<void(const QMouseEvent&)> OnMouseDown;
    std::function<void(const QMouseEvent&)> OnMouseMove;
    std::function<void(const QMouseEvent&)> OnMouseUp;

  protected:
    virtual void Click();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool ShownDown() const { return FDown || (FPressed && FPressedInside); }
    double Hotness() const;
    int GlyphFrame() const;
    void DrawFrame(QPainter& painter) const;
    void DrawContents(QPainter& painter) const;
    void Fade();
    void Set(QColor& field, const QColor& value);

    QString FCaption;
    QPixmap FGlyph;
    int FNumGlyphs = 1;
    TLbButtonStyle FStyle = bsNormal;
    TLbColorStyle FColorStyle = lcsCustom;
    QColor FColor, FColorWhenDown, FLightColor, FShadowColor, FHotTrackColor;
    QColor FFontColor, FHotTrackFontColor;
    QFont FHotTrackFont;
    bool FUseHotTrackFont = false;
    bool FDown = false;
    int FGroupIndex = 0;
    bool FAllowAllUp = false;
    bool FFlat = false;
    bool FTransparent = false;
    bool FWordWrap = false;
    TButtonLayout FLayout = blGlyphLeft;
    Qt::Alignment FAlignment = Qt::AlignHCenter;
    bool FSlowDecease = false;
    QMenu* FPopupMenu = nullptr;

    bool FMouseIn = false;  // entered while enabled and visible
    bool FPressed = false;  // left button went down on the button
    bool FPressedInside = false;
    int FHotLevel = 0;  // 0 (normal) .. kHotSteps (fully hot)
    QTimer FFadeTimer;
};
