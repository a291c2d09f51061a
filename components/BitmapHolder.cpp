#include "components/BitmapHolder.h"

#include <algorithm>

TBitmapChangeLink::TBitmapChangeLink(std::function<void()> onChange)
    : OnChange(std::move(onChange)) {}

TBitmapChangeLink::~TBitmapChangeLink() {
    SetHolder(nullptr);
}

void TBitmapChangeLink::SetHolder(TBitmapHolder* holder) {
    if (holder == FHolder) return;
    if (FHolder) FHolder->Unlink(this);
    FHolder = holder;
    if (FHolder) FHolder->FLinks.push_back(this);
}

TBitmapHolder::TBitmapHolder(QObject* parent) : QObject(parent) {}

TBitmapHolder::~TBitmapHolder() {
    // One link at a time: a client reacting to the loss may destroy links still waiting,
    // which then take themselves off the list.
    while (!FLinks.empty()) {
        TBitmapChangeLink* link = FLinks.front();
        FLinks.erase(FLinks.begin());
        link->FHolder = nullptr;
        if (link->OnChange) link->OnChange();
    }
}

void TBitmapHolder::SetBitmap(const QPixmap& bitmap) {
    FBitmap = bitmap;
    Changed();
}

void TBitmapHolder::EditBitmap(const std::function<void(QPixmap&)>& edit) {
    edit(FBitmap);
    Changed();
}

void TBitmapHolder::Changed() {
    // A client's handler may destroy or unlink other clients (or itself): walk a snapshot
    // and call only links that are still registered.
    const std::vector<TBitmapChangeLink*> snapshot = FLinks;
    for (TBitmapChangeLink* link : snapshot) {
        if (std::find(FLinks.begin(), FLinks.end(), link) == FLinks.end()) continue;
        if (link->OnChange) link->OnChange();
    }
}

void TBitmapHolder::Unlink(TBitmapChangeLink* link) {
    FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), link), FLinks.end());
}
