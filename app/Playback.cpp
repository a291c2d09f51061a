// Playback control: the ready step, the Play, Pause and Stop buttons, and what follows the end
// of a file.
#include <QPixmap>
#include <QStackedLayout>
#include <QTimer>

#include "app/Main.h"
#include "app/PlayerState.h"
#include "desktop/FunctionMix.h"
#include "graph/DirectShowErrors.h"

// The first tick after start-up: from here on the controls act. It fires once.
void TFormQuelm::ReadyTimerTimer() {
    PlayerState.PlayerReady = true;
    ApplyVolume();
    TrackProgress->SetFilterGraph(&FG);
    ReadyTimer.SetEnabled(false);
    PlayCommandLineFile();
}

void TFormQuelm::PlayCommandLineFile() {
    if (PlayerState.CommandLineFile.empty()) return;
    IntroMemo->hide();
    PlayerState.DvdMode = false;
    ShowVideoWindow();
    PlayerState.MediaName = FileNameOf(PlayerState.CommandLineFile);
    OpenMediaOrShowError(PlayerState.CommandLineFile);
}

void TFormQuelm::ShowVideoWindow() {
    EVRVideoWindow1->show();
    PictureStack->setCurrentWidget(EVRVideoWindow1.get());
    EVRVideoWindow1->raise();
}

void TFormQuelm::OpenMediaOrShowError(const std::string& path, std::function<void()> failed) {
    auto showWhy = [this, path, failed = std::move(failed)] {
        ShowMediaFileError(path);
        if (failed) failed();
    };
    try {
        OpenMediaFile(path, showWhy);
    } catch (const std::exception&) {
        showWhy();
        throw;
    }
}

void TFormQuelm::ShowMediaFileError(const std::string& path) {
    ShowOverlayText("Media file: \r\n" + path + "\r\n" + "wrong format or does not exist!");
}

void TFormQuelm::BtnPlayClick() {
    if (!PlayerState.CommandLineFile.empty()) {
        OpenMediaOrShowError(PlayerState.CommandLineFile);
        return;
    }
    if (RowCount() == 0 && !Panel14->isVisible()) {
        btnOpenFolderClick();
        return;
    }
    const int index = SelectedRow();
    if (index < 0) {
        if (RowCount() == 0) return;
        SelectRow(0);
        LvVideoSourceClick();
        return;
    }
    const std::string path = PlayerState.CurrentFolder + RowFileName(index);
    if (FileExists(path)) OpenMediaOrShowError(path);
}

// The pause image is read from the program folder each time; a missing image raises before the
// button changes, so the next click takes the same branch again.
void TFormQuelm::ShowPauseImage(const char* fileName) {
    const std::string path = ProgramFolder() + "BackGround/" + fileName;
    const QPixmap image(QString::fromStdString(path));
    if (image.isNull())
        throw EFOpenError("Cannot open file \"" + path + "\". No such file or unreadable image");
    BtnPause->setIcon(image);
}

bool TFormQuelm::PausedByUser() const {
    return BtnPause->property("Tag").toInt() == 1;
}

void TFormQuelm::BtnPauseClick() {
    if (!PausedByUser()) {
        FG.Pause();
        ShowPauseImage("Clock.bmp");
        BtnPlay->hide();
        BtnPause->setProperty("Tag", 1);
    } else {
        FG.Play();
        ShowPauseImage("Pause.bmp");
        BtnPlay->show();
        BtnPause->setProperty("Tag", 0);
    }
}

void TFormQuelm::BtnStopClick() {
    FG.Stop();
    FG.DisconnectFilters();
    StopOverlay();
    TrackProgress->SetValue(0);
    BtnPlay->setEnabled(true);
    ShowPauseImage("Pause.bmp");
    BtnPlay->show();
    BtnPause->setProperty("Tag", 0);
    ShowOverlayText("Idle");
}

void TFormQuelm::FGGraphComplete() {
    FG.Stop();
    FG.SetActive(false);
    TrackProgress->SetValue(0);
    TrackSpeed->SetValue(2);
    if (!FPlayedAWhile.hasExpired()) return EndedAtOnce();
    PlayNextEntry();
}

// Repeating a file that ends as it starts would open it many times a second, for ever.
void TFormQuelm::EndedAtOnce() {
    FPlayedAWhile = QDeadlineTimer();
    ShowMediaFileError(FOpenedPath);
    if (PlayerState.CommandLineFile.empty() && RowCount() > 0 && SelectedRow() >= 0)
        SkipFailedEntry();
}

void TFormQuelm::FGGraphError(HRESULT code) {
    ShowMediaFileError(FOpenedPath);
    HandleAppException(this, EDirectShowException(code));
    FGGraphComplete();
}

void TFormQuelm::PlayNextEntry() {
    // A file from the command line repeats until a playlist row is clicked.
    if (!PlayerState.CommandLineFile.empty()) {
        OpenMediaOrShowError(PlayerState.CommandLineFile);
        return;
    }
    int index = SelectedRow();
    if (!rBtnLoop1->isChecked()) index = index == RowCount() - 1 ? 0 : index + 1;
    if (index < 0 || index >= RowCount()) return;
    SelectRow(index);
    PlayerState.MediaPath = PlayerState.CurrentFolder + RowFileName(index);
    PlayerState.MediaName = RowCaption(index);
    PlayerState.LastListIndex = index;
    OpenMediaOrShowError(PlayerState.MediaPath, [this] { SkipFailedEntry(); });
}

// One damaged file must not end an evening of "Loop All": the next row is tried once the
// failure has been told, until every row has failed once in a row.
void TFormQuelm::SkipFailedEntry() {
    if (rBtnLoop1->isChecked() || ++FFailedInARow >= RowCount()) {
        FFailedInARow = 0;
        return;
    }
    QTimer::singleShot(0, this, Handler(&TFormQuelm::PlayNextEntry));
}
