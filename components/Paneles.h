// TPaneles: a panel whose background is a picture tiled from the top-left corner (its own
// Bitmap, else a linked TBitmapHolder's), or its colour when it has none; bevels on top.
#pragma once

#include <QColor>
#include <QFrame>
#include <QPixmap>
#include <functional>

#include "components/BitmapHolder.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

class TPaneles : public QFrame {
  public:
    explicit TPaneles(QWidget* parent = nullptr);

    const QPixmap& Bitmap() const { return FBitmap; }
    void SetBitmap(const QPixmap& bitmap);
    TBitmapHolder* BitmapHolder() const { return FHolderLink.Holder(); }
    // Links the panel to `holder` (nullptr: unlinks); the link drops when the holder goes.
    void SetBitmapHolder(TBitmapHolder* holder);

    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);

    TPanelBevel BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TPanelBevel bevel);
    TPanelBevel BevelInner() const { return FBevelInner; }
    void SetBevelInner(TPanelBevel bevel);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int width);

    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    const QPixmap& Picture() const;
    void DrawBevel(QPainter& painter, QRect& rect, TPanelBevel bevel) const;

    QPixmap FBitmap;
    TBitmapChangeLink FHolderLink;
    QColor FColor;
    TPanelBevel FBevelOuter = bvRaised;
    TPanelBevel FBevelInner = bvNone;
    int FBevelWidth = 1;
};
