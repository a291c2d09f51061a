// TRxSlider: a slider drawn from a ruler image and a thumb image, with an integer range.
//
// Geometry along the slider's length L (the width, or the height when vertical):
// - the ruler image is stretched across L less EdgeSize at each end, centred across;
// - the thumb travels the ruler's length less a 6-pixel indent at each end, so its track
//   starts 6 pixels inside the ruler's edge and is (ruler length - 12) - thumb length long;
// - a vertical slider has MinValue at the bottom.
// Thumb images hold NumThumbStates frames side by side; the second one shows while the
// thumb is dragged. A null image stands for the built-in one.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

enum TSliderOrientation { soHorizontal, soVertical };

enum TSliderOption {
    soShowFocus = 0x1,
    soShowPoints = 0x2,
    soSmooth = 0x4,
    soRulerOpaque = 0x8,
    soThumbOpaque = 0x10
};
Q_DECLARE_FLAGS(TSliderOptions, TSliderOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSliderOptions)

class TRxSlider : public QWidget {
  public:
    explicit TRxSlider(QWidget* parent = nullptr);

    int MinValue() const { return FMinValue; }
    int MaxValue() const { return FMaxValue; }
    // A range with min >= max is refused. Otherwise Increment is cut to the range width and
    // Value is set again (clamped, OnChange when it moved).
    void SetMinValue(int value) { SetRange(value, FMaxValue); }
    void SetMaxValue(int value) { SetRange(FMinValue, value); }
    void SetRange(int minValue, int maxValue);

    int Value() const { return FValue; }
    // Clamps into the range, moves the thumb, calls OnChange when the stored value differs.
    virtual void SetValue(int value);

    int Increment() const { return FIncrement; }
    // Throws std::range_error("Value must be between 1 and <width>") outside 1..width.
    void SetIncrement(int value);

    TSliderOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TSliderOrientation orientation);
    TSliderOptions Options() const { return FOptions; }
    void SetOptions(TSliderOptions options);
    int NumThumbStates() const { return FNumThumbStates; }
    void SetNumThumbStates(int states);  // 1 or 2
    int EdgeSize() const { return FEdgeSize; }
    void SetEdgeSize(int size);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);

    const QPixmap& ImageHThumb() const { return FImageHThumb; }
    void SetImageHThumb(const QPixmap& image);
    const QPixmap& ImageHRuler() const { return FImageHRuler; }
    void SetImageHRuler(const QPixmap& image);
    const QPixmap& ImageVThumb() const { return FImageVThumb; }
    void SetImageVThumb(const QPixmap& image);
    const QPixmap& ImageVRuler() const { return FImageVRuler; }
    void SetImageVRuler(const QPixmap& image);

    // Where the ruler and the thumb are drawn, in widget coordinates.
    QRect RulerRect() const;
    QRect ThumbRect() const;

    QSize sizeHint() const override;

    std::function<void()> OnChange;   // every change of Value
    std::function<void()> OnChanged;  // end of a user action (drag, ruler press, key)
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;
    std::function<void(const QMouseEvent&)> OnMouseDown;
    std::function<void(const QMouseEvent&)> OnMouseUp;

  protected:
    virtual void Change();
    virtual void Changed();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    enum TUserAction { uaNone, uaDrag, uaStep };

    bool Horizontal() const { return FOrientation == soHorizontal; }
    int Length() const;
    int Along(const QPoint& point) const;
    QRect AlongRect(int start, int length, int crossStart, int crossLength) const;
    QPixmap ThumbImage() const;
    QPixmap RulerImage() const;
    QSize ThumbSize() const;
    int ThumbLength() const;
    int TrackStart() const;
    int TrackLength() const;
    int PositionOf(int offset) const;
    int ThumbPos() const;
    int ValueAt(int thumbPos) const;
    void Step(int direction);
    void RepeatStep();
    bool PointerBesideThumb(const QPoint& point, int direction) const;
    void DrawImage(QPainter& painter, const QRect& target, const QPixmap& image,
                   const QRect& source, bool opaque) const;
    void DrawPoints(QPainter& painter) const;
    void Refresh();

    int FMinValue = 0;
    int FMaxValue = 100;
    int FValue = 0;
    int FIncrement = 10;
    TSliderOrientation FOrientation = soHorizontal;
    TSliderOptions FOptions = soShowFocus | soShowPoints | soSmooth;
    int FNumThumbStates = 2;
    int FEdgeSize = 2;
    QColor FColor = Qt::black;
    QPixmap FImageHThumb, FImageHRuler, FImageVThumb, FImageVRuler;

    TUserAction FAction = uaNone;
    int FGrabOffset = 0;     // pointer's distance from the thumb's start while dragging
    int FStepDirection = 0;  // -1 or 1 while stepping on the ruler
    QPoint FPointer;         // last pointer position while stepping
    QTimer FRepeatTimer;
};

// The look every slider of the program shares: steps of 1, focus shown, smooth, one thumb
// state, black, hand cursor. Set the range first (the step must fit into it).
void UseProgramSliderLook(TRxSlider& slider);
