// Subtitles over the picture, and the menus that pick a file's subtitle and audio tracks. The
// graph hands each cue over as it comes due; it is drawn in white, outlined in black, centred
// at the bottom of the picture above the green time text, at a size that follows the picture.
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStackedLayout>
#include <algorithm>
#include <limits>

#include "app/Main.h"
#include "app/PlayerState.h"

namespace {

constexpr int kGapAboveText = 6;
constexpr int kLinesPerPicture = 16;  // the text's pixel size is the picture's height by this
constexpr int kSmallestPixels = 12;

QFont SubtitleFont(int pixels) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

// Each line centred across the painter's width, the first line's top at at.y().
void PaintSubtitle(QPainter& painter, const QPoint& at, int pixels, const QString& text) {
    const QFont font = SubtitleFont(pixels);
    const QFontMetrics metrics(font);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPen outline(Qt::black, std::max(2, pixels / 8), Qt::SolidLine, Qt::RoundCap,
                       Qt::RoundJoin);
    int top = at.y();
    for (const QString& line : text.split('\n')) {
        QPainterPath path;
        const int left = (painter.device()->width() - metrics.horizontalAdvance(line)) / 2;
        path.addText(left, top + metrics.ascent(), font, line);
        painter.strokePath(path, outline);
        painter.fillPath(path, Qt::white);
        top += metrics.lineSpacing();
    }
}

}  // namespace

void TFormQuelm::FGSubtitle(const std::string& text, int64_t durationMs) {
    FSubtitleText = QString::fromStdString(text).trimmed();
    FSubtitleEnd.stop();
    if (!FSubtitleText.isEmpty() && durationMs > 0)
        FSubtitleEnd.start(
            static_cast<int>(std::min<int64_t>(durationMs, std::numeric_limits<int>::max())));
    DrawSubtitle();
}

// Called with every drawing step of the green text too, so the subtitle follows the window's
// size and stays in front of the picture.
void TFormQuelm::DrawSubtitle() {
    QWidget* picture = PictureStack->currentWidget();
    const bool shown = mnSubtitles->isChecked() && !PlayerState.DvdMode;
    const QString text = shown ? FSubtitleText : QString();
    if (!FSubtitleOverlay && text.isEmpty()) return;
    if (!FSubtitleOverlay) {
        FSubtitleOverlay = new TTextOverlay(picture);
        FSubtitleOverlay->setObjectName("SubtitleOverlay");
        FSubtitleOverlay->OnPaintText = PaintSubtitle;
    }
    // Every 10 ms with the green text: no font metrics while there is nothing to show.
    if (text.isEmpty()) {
        FSubtitleOverlay->ShowText(picture, {}, 0, text);
        return;
    }
    const int pixels = std::max(kSmallestPixels, picture->height() / kLinesPerPicture);
    const int lines = static_cast<int>(text.count('\n')) + 1;
    const int bottom = OverlayTextTop() - kGapAboveText;
    const int top = bottom - lines * QFontMetrics(SubtitleFont(pixels)).lineSpacing();
    FSubtitleOverlay->ShowText(picture, QPoint(0, std::max(0, top)), pixels, text);
}

// The item's check flips with the click and is saved as a setting.
void TFormQuelm::mnSubtitlesClick() {
    DrawSubtitle();
}

void TFormQuelm::FillTrackMenus() {
    FillTrackMenu(SubtitleTrack1, tkSubtitle);
    FillTrackMenu(AudioTrack1, tkAudio);
}

// Filled as the context menu opens: the tracks of the file that plays now, the current one checked.
// Nothing to choose while nothing plays, and on a DVD, whose navigator picks its own streams.
void TFormQuelm::FillTrackMenu(QMenu* menu, TTrackKind kind) {
    menu->clear();
    const std::vector<std::string> names =
        PlayerState.DvdMode ? std::vector<std::string>() : FG.TrackNames(kind);
    const int current = FG.CurrentTrack(kind);
    for (int index = 0; index < static_cast<int>(names.size()); ++index) {
        QAction* item = menu->addAction(QString::fromStdString(names[index]));
        item->setCheckable(true);
        item->setChecked(index == current);
        connect(item, &QAction::triggered, this,
                [this, kind, index] { Guard(this, [&] { ChooseTrack(kind, index); }); });
    }
    menu->setEnabled(!names.empty());
}

void TFormQuelm::ChooseTrack(TTrackKind kind, int index) {
    FG.SetCurrentTrack(kind, index);
    if (kind == tkSubtitle) FGSubtitle({}, -1);
}
