// The text drawn over the picture: a worker wakes every 10 ms (every 200 ms while the text is
// switched off) and has the UI thread draw the current text over the picture control in front.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPainter>
#include <QStackedLayout>
#include <chrono>
#include <thread>

#include "adjust/FilterSettings.h"
#include "app/Main.h"
#include "app/PlayerState.h"

namespace {

constexpr auto kDrawingPause = std::chrono::milliseconds(10);
constexpr auto kMutedPause = std::chrono::milliseconds(200);
constexpr int kTextLeft = 10;
constexpr int kTextAboveBottom = 45;  // of the player window

}  // namespace

int TFormQuelm::OverlayTextTop() const {
    return height() - kTextAboveBottom;
}

// The text over the picture is the window's caption as well. It is drawn at once: after Stop
// the worker no longer draws, and "Idle" or a message must not leave the old text showing.
void TFormQuelm::ShowOverlayText(const std::string& text) {
    PlayerState.OverlayText = text;
    setWindowTitle(QString::fromStdString(text));
    if (FTextOverlay) DrawOverlay();
}

// The item's check flips with the click and is saved as a setting. Switched off, the text goes
// at once: ours is a window of its own, which no repaint of the picture would take away.
void TFormQuelm::mnNoTextClick() {
    FOverlayMuted = mnNoText->isChecked();
    if (FOverlayMuted && FTextOverlay) FTextOverlay->hide();
}

// When a file starts to play. A worker asked to stop has not ended yet: the next one starts
// when it has, since starting meanwhile does nothing and resuming would not keep it.
void TFormQuelm::StartOverlay() {
    if (!DrawTextThread.OnExecute) {
        DrawTextThread.OnExecute = [this](TBMDThreadBase* sender, TBMDExecuteThread* thread,
                                          void*& data) {
            DrawTextThreadExecute(sender, thread, data);
        };
        DrawTextThread.OnTerminate = [this](TBMDThreadBase*, TBMDExecuteThread*, void*&) {
            if (FOverlayRestart) DrawTextThread.Start();
            FOverlayRestart = false;
        };
    }
    const TBMDExecuteThread* worker = DrawTextThread.Worker();
    FOverlayRestart = worker && worker->Terminated();
    if (DrawTextThread.Running())
        DrawTextThread.Resume();
    else
        DrawTextThread.Start();
}

// After this no new text is drawn; the last one stays.
void TFormQuelm::StopOverlay() {
    FOverlayRestart = false;
    if (DrawTextThread.Running()) DrawTextThread.Stop();
}

// At shutdown the worker must end while the window is still whole: waiting for it hands the
// UI thread's pending steps (a timer tick) to handlers that use the window's components.
void TFormQuelm::EndOverlay() {
    constexpr int kEndWaitMs = 2000;
    StopOverlay();
    QDeadlineTimer deadline(kEndWaitMs);
    while (DrawTextThread.Running() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void TFormQuelm::DrawTextThreadExecute(TBMDThreadBase*, TBMDExecuteThread* thread, void*&) {
    while (!thread->Terminated()) {
        thread->SynchronizeEvent([this](TBMDThread*) { Guard(this, [this] { DrawOverlay(); }); });
        // A stale read of the switch only changes the length of one pause.
        std::this_thread::sleep_for(FOverlayMuted ? kMutedPause : kDrawingPause);
    }
}

void TFormQuelm::DrawOverlay() {
    DrawSubtitle();
    FOverlayMuted = mnNoText->isChecked();
    if (FOverlayMuted) return;
    QWidget* picture = PictureStack->currentWidget();
    if (!FTextOverlay) {
        FTextOverlay = new TTextOverlay(picture);
        FTextOverlay->setObjectName("TextOverlay");
        FTextOverlay->OnPaintText = [](QPainter& painter, const QPoint& at, int pointSize,
                                       const QString& text) {
            DrawOverlayText(painter, at.x(), at.y(), pointSize, text.toStdString());
        };
    }
    FTextOverlay->ShowText(picture, QPoint(kTextLeft, OverlayTextTop()),
                           PlayerState.OverlayFontSize,
                           QString::fromStdString(PlayerState.OverlayText));
}
