// DVD volumes: the open with its messages, the DVD commands of the popup menu and the "DVD
// Title Menu" button, the menu buttons under the mouse, the DVD time and the jump to a time.
#include <QMessageBox>
#include <QStackedLayout>
#include <algorithm>

#include "app/Main.h"
#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"
#include "graph/DirectShowErrors.h"
#include "platform/ScreenSaver.h"

namespace {

// The progress slider counts seconds on a DVD: 2 h 46 min 40 s at most.
constexpr int kDvdSliderMax = 10000;

std::string ClockText(int hours, int minutes, int seconds) {
    return QString::asprintf("%d:%2.2d:%2.2d", hours, minutes, seconds).toStdString();
}

}  // namespace

void TFormQuelm::OpenDvdVolume(const std::string& path) {
    FG.SetActive(false);  // the changes below then build nothing; an open under way ends
    FOpenDone = nullptr;
    NoteChoicesAtOpen();
    PlayerState.DvdMode = true;
    TrackProgress->SetMaxValue(kDvdSliderMax);
    TrackProgress->SetValue(0);
    EVRVideoWindow1->SetFilterGraph(nullptr);
    FG.SetMode(gmDVD);
    if (chkboxEVR->isVisible()) chkboxEVR->setChecked(false);
    EVRVideoWindow1->lower();
    DSVideoWindowEx1->SetFilterGraph(&FG);
    VideoWindow1->SetFilterGraph(&FG);
    VideoWindow1->SetMode(vmVMR);
    ShowDvdWindow();
    // The speed slider does not reach a DVD: a rate a file was slowed to must not either.
    FG.SetRate(1.0);
    FG.SetActive(true);
    if (DvdRenderer) {
        AM_DVD_RENDERSTATUS status;
        const HRESULT result = DvdRenderer(status, path);
        return FinishDvdOpen(result, status);
    }
    const HRESULT started = FG.RenderDvd(path, AM_DVD_HWDEC_PREFER);
    if (started != S_OK) return FinishDvdOpen(started, FG.DvdRenderStatus());
    FOpenDone = [this](HRESULT result) { FinishDvdOpen(result, FG.DvdRenderStatus()); };
}

void TFormQuelm::FinishDvdOpen(HRESULT result, const AM_DVD_RENDERSTATUS& status) {
    if (result != S_OK) {
        ReportDvdRender(result, status);
        FG.ClearGraph();
        return;
    }
    PlayUnlessPausedDuringOpen();
    if (IDvdControl2* dvd = FG.DvdControl2()) {
        dvd->SetOption(DVD_NotifyParentalLevelChange, false);
        dvd->SetOption(DVD_HMSF_TimeCodeEvents, true);
    }
    SetScreenSaverActive(false);
    WriteUsedFilters(OpenErrorForm()->MemoError);
    // The DVD time is written for the text over the picture: without the worker it would show
    // only after a file had been played first.
    StartOverlay();
}

// The DVD window in front, the overlay-mixer window right behind it.
void TFormQuelm::ShowDvdWindow() {
    DSVideoWindowEx1->show();
    DSVideoWindowEx1->raise();
    VideoWindow1->show();
    PictureStack->setCurrentWidget(VideoWindow1.get());
    VideoWindow1->raise();
}

void TFormQuelm::ReportDvdRender(HRESULT result, const AM_DVD_RENDERSTATUS& status) {
    switch (result) {
        case S_FALSE:
            if (status.hrVPEStatus != 0)
                ShowDvdMessage(QString::fromStdString(AMGetErrorText(status.hrVPEStatus)));
            if (status.bDvdVolInvalid)
                ShowDvdMessage("The specified DVD volume to be played does not exist.");
            if (status.bDvdVolUnknown) ShowDvdMessage("No DVD volume is specified or isn't found.");
            if (status.bNoLine21In)
                ShowDvdMessage(
                    "The video decoder doesn't produce line 21 (closed captioning) data.");
            if (status.bNoLine21Out)
                ShowDvdMessage(
                    "The video decoder can't be shown as closed captioning on video due to a "
                    "problem with graph building.");
            if (status.iNumStreamsFailed > 0) ShowDvdMessage("Can't render one or more stream.");
            break;
        case VFW_E_DVD_RENDERFAIL:
            ShowDvdMessage(
                "Some basic error occurred in building the graph.\r"
                "Possibilities include the DVD Navigator filter or the video or audio renderer "
                "not instantiating,\r"
                "a trivial connection or pin enumeration failing, or none of the streams "
                "rendering.");
            break;
        case VFW_E_DVD_DECNOTENOUGH:
            ShowDvdMessage(
                "There isn't enough hardware or software decoders to decode all streams.");
            break;
        case E_INVALIDARG:
            ShowDvdMessage("Invalid Argument.");
            break;
        default:
            break;
    }
}

// A modal box the user confirms; the lines of a message are separated by carriage returns,
// which the box shows as line breaks.
void TFormQuelm::ShowDvdMessage(const QString& text) {
    if (DvdMessage) {
        DvdMessage(text);
        return;
    }
    QString shown = text;
    QMessageBox box(QMessageBox::NoIcon, "Error", shown.replace('\r', '\n'), QMessageBox::Ok, this);
    box.exec();
}

void TFormQuelm::SeekDvdTime(int seconds) {
    if (!FG.Active() || seconds <= 0) return;
    DVD_HMSF_TIMECODE time;
    time.bHours = static_cast<uint8_t>(seconds / 3600);  // higher bits dropped
    const int rest = seconds - time.bHours * 3600;
    time.bMinutes = static_cast<uint8_t>(rest / 60);
    time.bSeconds = static_cast<uint8_t>(rest % 60);
    if (IDvdControl2* dvd = FG.DvdControl2()) dvd->PlayAtTime(time, DVD_CMD_FLAG_None);
}

void TFormQuelm::FGDVDCurrentHMSFTime(uint32_t hmsfTimeCode, uint32_t) {
    if (!FG.Active()) return;
    const int hours = hmsfTimeCode & 0xFF;
    const int minutes = hmsfTimeCode >> 8 & 0xFF;
    const int seconds = hmsfTimeCode >> 16 & 0xFF;
    ShowOverlayText(ClockText(hours, minutes, seconds));
    // The slider's change holds these updates off while the user may be moving it.
    if (!PlayerState.DvdSeekPending)
        TrackProgress->SetValue(
            std::clamp(hours * 3600 + minutes * 60 + seconds, 0, kDvdSliderMax));
}

// The point, given in the sender's coordinates, as the DVD picture shows it.
bool TFormQuelm::DvdPicturePoint(QObject* sender, const QPoint& at, DVD_POINT& point) const {
    auto* widget = qobject_cast<QWidget*>(sender);
    if (!PlayerState.DvdMode || !widget) return false;
    QPoint picture;
    if (!VideoWindow1->PicturePoint(VideoWindow1->mapFromGlobal(widget->mapToGlobal(at)), picture))
        return false;
    point = DVD_POINT{picture.x(), picture.y()};
    return true;
}

void TFormQuelm::ActivateDvdButtonAt(QObject* sender, const QPoint& at) {
    DVD_POINT point;
    if (DvdPicturePoint(sender, at, point))
        RunDvdCommand([point](IDvdControl2& dvd) { dvd.ActivateAtPosition(point); });
}

void TFormQuelm::SelectDvdButtonAt(QObject* sender, const QPoint& at) {
    DVD_POINT point;
    if (DvdPicturePoint(sender, at, point))
        RunDvdCommand([point](IDvdControl2& dvd) { dvd.SelectAtPosition(point); });
}

// The commands act on whatever DVD graph there is; a file's graph has no DVD control.
void TFormQuelm::RunDvdCommand(const std::function<void(IDvdControl2&)>& command) {
    if (!FG.Active()) return;
    if (IDvdControl2* dvd = FG.DvdControl2()) command(*dvd);
}

void TFormQuelm::RootMenu1Click() {
    RunDvdCommand([](IDvdControl2& dvd) { dvd.ShowMenu(DVD_MENU_Root, DVD_CMD_FLAG_None); });
}

void TFormQuelm::TitleMenu1Click() {
    RunDvdCommand([](IDvdControl2& dvd) { dvd.ShowMenu(DVD_MENU_Title, DVD_CMD_FLAG_None); });
}

void TFormQuelm::NextChapter1Click() {
    RunDvdCommand([](IDvdControl2& dvd) { dvd.PlayNextChapter(DVD_CMD_FLAG_None); });
}

void TFormQuelm::PreviousChapter1Click() {
    RunDvdCommand([](IDvdControl2& dvd) { dvd.PlayPrevChapter(DVD_CMD_FLAG_None); });
}

void TFormQuelm::MenuItem2Click() {
    RunDvdCommand([](IDvdControl2& dvd) { dvd.PlayForwards(8.0, DVD_CMD_FLAG_None); });
}

void TFormQuelm::MenuItem3Click() {
    RunDvdCommand([](IDvdControl2& dvd) { dvd.PlayBackwards(8.0, DVD_CMD_FLAG_None); });
}

// A file goes back to normal speed as if the speed slider were released at its normal value,
// so the slider shows the speed played.
void TFormQuelm::Normal1Click() {
    if (FG.Active() && FG.DvdControl2()) {
        RunDvdCommand([](IDvdControl2& dvd) { dvd.PlayForwards(1.0, DVD_CMD_FLAG_None); });
        return;
    }
    TrackSpeed->SetValue(2);
    TrackSpeedChanged();
}
