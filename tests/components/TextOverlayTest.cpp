// The text overlay over a native window that someone else paints (as a video renderer does):
// the glyphs show, the picture shows around and between them, and a pass that changes nothing
// costs no repaint.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "components/TextOverlay.h"
#include "tests/support/EventPump.h"

namespace {

const QColor kPicture(200, 0, 0);

// A native window filled with one colour, standing in for the renderer's window.
class TPicture : public QWidget {
  public:
    explicit TPicture(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_NativeWindow);
        QPalette colours = palette();
        colours.setColor(QPalette::Window, kPicture);
        setPalette(colours);
        setAutoFillBackground(true);
    }
};

class TCountingOverlay : public TTextOverlay {
  public:
    using TTextOverlay::TTextOverlay;
    int Paints = 0;

  protected:
    void paintEvent(QPaintEvent* event) override {
        ++Paints;
        TTextOverlay::paintEvent(event);
    }
};

class TextOverlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X display";
        Target.setAttribute(Qt::WA_NativeWindow);
        Target.setGeometry(50, 50, 300, 200);
        Picture = new TPicture(&Target);
        Picture->setGeometry(-10, -2, 320, 204);  // overhangs, as the EVR picture does
        Overlay = new TCountingOverlay(&Target);
        Overlay->OnPaintText = [](QPainter& painter, const QPoint& at, int pointSize,
                                  const QString& text) {
            QFont font = painter.font();
            font.setPointSize(pointSize);
            painter.setFont(font);
            painter.setPen(QColor(0, 255, 0));
            painter.drawText(QPoint(at.x(), at.y() + painter.fontMetrics().ascent()), text);
        };
        Target.show();
        ASSERT_TRUE(PumpUntil([&] { return Target.windowHandle()->isExposed(); }, 3000));
    }

    QImage Shot() {
        PumpFor(100);
        return QGuiApplication::primaryScreen()->grabWindow(Target.winId()).toImage();
    }

    QWidget Target;
    TPicture* Picture = nullptr;
    TCountingOverlay* Overlay = nullptr;
};

TEST_F(TextOverlayTest, GlyphsShowOverThePictureAndThePictureShowsBetweenThem) {
    Overlay->ShowText(&Target, QPoint(10, 155), 10, "Hill 0:00:01");
    const QRect area = Overlay->GlyphArea();
    ASSERT_FALSE(area.isEmpty());
    EXPECT_GE(area.left(), 10);
    EXPECT_GE(area.top(), 155);
    EXPECT_LT(area.top(), 175);

    const QImage shot = Shot();
    int green = 0, picture = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = shot.pixelColor(x, y);
            green += pixel == QColor(0, 255, 0);
            picture += pixel == kPicture;
        }
    // Pure green where the glyphs are (no edges blended with a background of our own), the
    // picture everywhere else in the text's box.
    EXPECT_GT(green, 20);
    EXPECT_GT(picture, 20);
    EXPECT_EQ(green + picture, area.width() * area.height());
    EXPECT_EQ(shot.pixelColor(5, 5), kPicture);
}

TEST_F(TextOverlayTest, APassThatChangesNothingNeitherRepaintsNorLosesTheFront) {
    Overlay->ShowText(&Target, QPoint(10, 150), 10, "0:00:01");
    PumpFor(100);
    const int paints = Overlay->Paints;
    ASSERT_GT(paints, 0);
    for (int i = 0; i < 20; ++i) Overlay->ShowText(&Target, QPoint(10, 150), 10, "0:00:01");
    PumpFor(100);
    EXPECT_EQ(Overlay->Paints, paints);

    // Something raised over it (the renderer's window re-placed) is passed again.
    Picture->raise();
    Overlay->ShowText(&Target, QPoint(10, 150), 10, "0:00:01");
    EXPECT_EQ(Target.children().constLast(), Overlay);

    Overlay->ShowText(&Target, QPoint(10, 150), 10, "0:00:02");
    PumpFor(100);
    EXPECT_GT(Overlay->Paints, paints);
}

TEST_F(TextOverlayTest, EmptyTextTextOutsideTheTargetAndBiggerTextAreHandled) {
    Overlay->ShowText(&Target, QPoint(10, 150), 10, "Idle");
    const QRect small = Overlay->GlyphArea();
    Overlay->ShowText(&Target, QPoint(10, 150), 14, "Idle");
    EXPECT_GT(Overlay->GlyphArea().height(), small.height());

    Overlay->ShowText(&Target, QPoint(10, 150), 10, "");
    EXPECT_TRUE(Overlay->GlyphArea().isEmpty());
    Overlay->ShowText(&Target, QPoint(10, 250), 10, "Idle");  // below the target's bottom
    EXPECT_TRUE(Overlay->GlyphArea().isEmpty());
    Overlay->ShowText(&Target, QPoint(10, 150), 10, "Idle");
    EXPECT_EQ(Overlay->GlyphArea(), small);
}

TEST_F(TextOverlayTest, ItFollowsTheTargetInFront) {
    QWidget other(&Target);
    other.setGeometry(0, 0, 300, 200);
    other.show();
    Overlay->ShowText(&other, QPoint(10, 150), 10, "DVD 0:01:02");
    EXPECT_EQ(Overlay->parentWidget(), &other);
    EXPECT_FALSE(Overlay->GlyphArea().isEmpty());
    Overlay->ShowText(&Target, QPoint(10, 150), 10, "DVD 0:01:02");
    EXPECT_EQ(Overlay->parentWidget(), &Target);
    EXPECT_FALSE(Overlay->GlyphArea().isEmpty());
}

}  // namespace
