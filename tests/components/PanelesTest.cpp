#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <memory>
#include <string>
#include <vector>

#include "components/BitmapHolder.h"
#include "components/Paneles.h"
#include "tests/components/InputSupport.h"

namespace {

// A 10 x 7 picture, blue with a red top-left pixel, so each tile's origin can be found.
QPixmap MarkedTile(const QColor& fill = Qt::blue) {
    QImage image(10, 7, QImage::Format_RGB32);
    image.fill(fill);
    image.setPixelColor(0, 0, Qt::red);
    return QPixmap::fromImage(image);
}

std::unique_ptr<TPaneles> PlainPanel() {
    auto panel = std::make_unique<TPaneles>();
    panel->SetBevelOuter(bvNone);
    panel->SetColor(Qt::darkGreen);
    panel->setGeometry(200, 200, 25, 20);  // away from the pointer
    panel->show();
    return panel;
}

QColor PixelAt(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixelColor(x, y).toRgb();
}

TEST(PanelesTest, PictureIsTiledFromTheTopLeftAndClipped) {
    auto panel = PlainPanel();
    panel->SetBitmap(MarkedTile());
    const QImage shot = panel->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(25, 20));
    for (QPoint origin : {QPoint(0, 0), QPoint(10, 0), QPoint(20, 7), QPoint(0, 14)})
        EXPECT_EQ(shot.pixelColor(origin), QColor(Qt::red)) << origin.x() << "," << origin.y();
    EXPECT_EQ(shot.pixelColor(24, 19), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(5, 3), QColor(Qt::blue));
}

TEST(PanelesTest, WithoutPictureThePanelShowsItsColour) {
    auto panel = PlainPanel();
    EXPECT_EQ(PixelAt(*panel, 12, 10), QColor(Qt::darkGreen));
    TBitmapHolder emptyHolder;
    panel->SetBitmapHolder(&emptyHolder);
    EXPECT_EQ(PixelAt(*panel, 12, 10), QColor(Qt::darkGreen));
}

TEST(PanelesTest, BevelIsDrawnOverThePicture) {
    auto panel = PlainPanel();
    panel->SetBitmap(MarkedTile());
    panel->SetBevelOuter(bvRaised);
    EXPECT_EQ(PixelAt(*panel, 0, 0).rgb(), panel->palette().color(QPalette::Light).rgb());
    EXPECT_EQ(PixelAt(*panel, 24, 19).rgb(), panel->palette().color(QPalette::Dark).rgb());
}

TEST(PanelesTest, LinkedHolderPictureFollowsChangesAndGoesWithTheHolder) {
    auto panel = PlainPanel();
    auto holder = std::make_unique<TBitmapHolder>();
    holder->SetBitmap(MarkedTile());
    panel->SetBitmapHolder(holder.get());
    EXPECT_EQ(PixelAt(*panel, 5, 3), QColor(Qt::blue));

    holder->SetBitmap(MarkedTile(Qt::yellow));
    EXPECT_EQ(PixelAt(*panel, 5, 3), QColor(Qt::yellow));
    holder->EditBitmap(
        [](QPixmap& bitmap) { QPainter(&bitmap).fillRect(bitmap.rect(), Qt::cyan); });
    EXPECT_EQ(PixelAt(*panel, 5, 3), QColor(Qt::cyan));

    // The panel's own picture wins over the holder's.
    panel->SetBitmap(MarkedTile(Qt::magenta));
    EXPECT_EQ(PixelAt(*panel, 5, 3), QColor(Qt::magenta));
    panel->SetBitmap(QPixmap());

    holder.reset();
    EXPECT_EQ(panel->BitmapHolder(), nullptr);
    EXPECT_EQ(PixelAt(*panel, 5, 3), QColor(Qt::darkGreen));
}

TEST(PanelesTest, PanelDestroyedBeforeItsHolderIsUnlinked) {
    TBitmapHolder holder;
    auto panel = PlainPanel();
    panel->SetBitmapHolder(&holder);
    panel.reset();
    holder.SetBitmap(MarkedTile());  // must not reach the destroyed panel
}

TEST(PanelesTest, PointerEnterAndLeaveAreReported) {
    auto panel = PlainPanel();
    std::vector<std::string> calls;
    panel->OnMouseEnter = [&] { calls.push_back("enter"); };
    panel->OnMouseLeave = [&] { calls.push_back("leave"); };
    Enter(panel.get());
    Leave(panel.get());
    EXPECT_EQ(calls, (std::vector<std::string>{"enter", "leave"}));
}

TEST(BitmapHolderTest, LinksAreCalledInLinkOrder) {
    TBitmapHolder holder;
    std::vector<int> calls;
    TBitmapChangeLink first([&] { calls.push_back(1); });
    TBitmapChangeLink second([&] { calls.push_back(2); });
    TBitmapChangeLink third([&] { calls.push_back(3); });
    second.SetHolder(&holder);
    first.SetHolder(&holder);
    third.SetHolder(&holder);
    holder.SetBitmap(MarkedTile());
    EXPECT_EQ(calls, (std::vector<int>{2, 1, 3}));
}

TEST(BitmapHolderTest, ClientDestroyedDuringNotificationIsNotCalled) {
    TBitmapHolder holder;
    std::vector<int> calls;
    auto victim = std::make_unique<TBitmapChangeLink>([&] { calls.push_back(2); });
    TBitmapChangeLink killer([&] {
        calls.push_back(1);
        victim.reset();
    });
    killer.SetHolder(&holder);
    victim->SetHolder(&holder);
    holder.SetBitmap(MarkedTile());
    holder.SetBitmap(MarkedTile());
    EXPECT_EQ(calls, (std::vector<int>{1, 1}));
}

TEST(BitmapHolderTest, DestroyedHolderDropsItsLinksOnce) {
    auto holder = std::make_unique<TBitmapHolder>();
    int calls = 0;
    TBitmapChangeLink link([&] { ++calls; });
    link.SetHolder(holder.get());
    holder.reset();
    EXPECT_EQ(link.Holder(), nullptr);
    EXPECT_EQ(calls, 1);
    link.SetHolder(nullptr);  // nothing left to leave
    EXPECT_EQ(calls, 1);
}

}  // namespace
