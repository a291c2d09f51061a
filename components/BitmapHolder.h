// TBitmapHolder: one shared bitmap that several controls show. Clients follow it through
// change links, which are told in link order whenever the bitmap is assigned or edited.
#pragma once

#include <QObject>
#include <QPixmap>
#include <functional>
#include <vector>

class TBitmapHolder;

// A client's connection to a holder. The link unregisters itself when destroyed, and the
// holder detaches every link when it goes, so neither side ever calls a dead partner.
class TBitmapChangeLink {
  public:
    explicit TBitmapChangeLink(std::function<void()> onChange = {});
    ~TBitmapChangeLink();
    TBitmapChangeLink(const TBitmapChangeLink&) = delete;
    TBitmapChangeLink& operator=(const TBitmapChangeLink&) = delete;

    // Links to `holder` (nullptr: unlinks), leaving any earlier holder.
    void SetHolder(TBitmapHolder* holder);
    TBitmapHolder* Holder() const { return FHolder; }

    // Called after the holder's bitmap changed, and once when the holder is destroyed
    // (Holder() is then already nullptr).
    std::function<void()> OnChange;

  private:
    friend class TBitmapHolder;
    TBitmapHolder* FHolder = nullptr;
};

class TBitmapHolder : public QObject {
  public:
    explicit TBitmapHolder(QObject* parent = nullptr);
    ~TBitmapHolder() override;

    const QPixmap& Bitmap() const { return FBitmap; }
    void SetBitmap(const QPixmap& bitmap);
    // Changes the bitmap in place, then tells the links.
    void EditBitmap(const std::function<void(QPixmap&)>& edit);

  private:
    friend class TBitmapChangeLink;
    void Changed();
    void Unlink(TBitmapChangeLink* link);

    QPixmap FBitmap;
    std::vector<TBitmapChangeLink*> FLinks;
};
