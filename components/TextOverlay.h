#pragma once
// TTextOverlay: a line of text shown over a control whose picture is drawn by someone else (a
// video renderer drawing straight into a native window), where painting on the control itself
// would be painted over. The overlay is a native child window of the control, kept above its
// siblings and shaped to the glyphs, so the picture shows everywhere else.
//
// The text is drawn by OnPaintText. A shaped window has no partly transparent pixels to blend
// glyph edges with, so each pixel shows fully or not at all.

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

class QPainter;

class TTextOverlay : public QWidget {
  public:
    explicit TTextOverlay(QWidget* parent = nullptr);

    // Shows the text over target with its top-left corner at `at` (target's coordinates),
    // clipped to target. Repaints and reshapes only when the text, size, place or target
    // changed; otherwise it only keeps itself in front. An empty text or no target hides it.
    void ShowText(QWidget* target, const QPoint& at, int pointSize, const QString& text);
    // The region the glyphs cover, in the target's coordinates (empty while hidden).
    QRect GlyphArea() const;

    // Draws one line with its top-left corner at `at`; set before the first ShowText.
    std::function<void(QPainter& painter, const QPoint& at, int pointSize, const QString& text)>
        OnPaintText;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct TShown {
        QPointer<QWidget> Target;
        QSize TargetSize;
        QPoint At;
        int PointSize = 0;
        QString Text;
        bool operator==(const TShown&) const = default;
    };
    void Render(const TShown& shown);
    void KeepInFront();

    TShown FShown;
    QImage FGlyphs;  // the glyphs as painted, cropped to their bounds
};
