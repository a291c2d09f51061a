#pragma once
// The player window: one frameless window with the picture, the playlist panel on its right
// and a thin bottom bar of controls. The class is one, its handlers live in files by concern:
// Main.cpp (creation, settings, shutdown, exception hook), MainForm.cpp (building the
// components and menus), Playlist.cpp, Playback.cpp, Transport.cpp, WindowModes.cpp,
// Overlay.cpp, Subtitles.cpp, MediaOpen.cpp, DvdControl.cpp, Commands.cpp, Resume.cpp,
// DesktopControls.cpp.
//
// Every handler runs through Guard (see Handler), so no exception crosses Qt's event loop; what
// a handler raises goes to HandleAppException.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "components/BMDThread.h"
#include "components/BitmapHolder.h"
#include "components/Browse4Folder.h"
#include "components/Paneles.h"
#include "components/RXSlider.h"
#include "components/TextOverlay.h"
#include "components/ThdTimer.h"
#include "desktop/Mpris.h"
#include "desktop/ResumePositions.h"
#include "graph/FilterGraph.h"
#include "video/DSTrackBar.h"
#include "video/DSVideoWindowEx2.h"
#include "video/EVRVideoWindow.h"
#include "video/VideoWindow.h"

class QDragEnterEvent;
class QDropEvent;
class QFileSystemWatcher;
class QKeyEvent;
class QMimeData;
class QStackedLayout;
class TColorControlForm;
class TFormFileType;
struct TColorContext;
struct TPictureValues;

// What the player does now, as the desktop's player controls show it.
enum TPlaybackStatus { psStopped, psPlaying, psPaused };

class TFormQuelm : public QWidget, private IGraphListener {
  public:
    // Builds the components and runs the creation sequence; `arguments` are the command
    // line's arguments after the program name.
    explicit TFormQuelm(const QStringList& arguments = {}, QWidget* parent = nullptr);
    // Runs the shutdown sequence.
    ~TFormQuelm() override;

    // The application's exception hook: shows the message in the error window in diagnostic
    // mode, drops it otherwise.
    void HandleAppException(QObject* sender, const std::exception& error);
    // Runs a step of a handler; an exception it raises goes to HandleAppException.
    void Guard(QObject* sender, const std::function<void()>& step);

    // Writes every key of "Quelm.ini" from the current state. Raises EIniFileException
    // ("Unable to write to ...") at the first key that cannot be written.
    void SaveSettings();

    // --- Components (parents as built by BuildForm) ----------------------------------------
    TPaneles* Paneles1;  // the bottom bar
    TPaneles* ExitPanel;
    QToolButton* btnExit;
    QToolButton* btnRestore;
    QToolButton* btnMin;
    QLabel* LbLOpenList;  // property "Tag": 0 playlist closed, 1 open
    TPaneles* Paneles2;
    TRxSlider* TrackSpeed;
    TPaneles* Paneles3;
    QToolButton* BtnPlay;
    QToolButton* BtnPause;  // property "Tag": 0 not paused, 1 paused
    QToolButton* BtnStop;
    QToolButton* btnControls;
    QToolButton* BtnTitleMenu;
    QCheckBox* chkboxEVR;
    QCheckBox* chkboxZoomVertical;
    TRxSlider* TrackBrightness;
    TRxSlider* TrackVolume;
    TDSTrackBar* TrackProgress;

    QFrame* Panel1;                // the picture and the playlist
    QStackedLayout* PictureStack;  // the picture controls, all filling the area beside the list
    QFrame* Panel14;               // the playlist panel
    QFrame* Panel13;
    QComboBox* BigDirComboBox;
    QFrame* Panel8;
    QToolButton* btnOpenFolder;
    QTreeWidget* LvVideoSource;
    TPaneles* RepeatPanel;
    QLabel* Label6;
    QLabel* Label19;
    QRadioButton* rBtnLoop1;
    QRadioButton* rBtnLoopALL;
    QFrame* Bevel4;
    QLabel* Label1;  // "Associate File Types"
    QPlainTextEdit* IntroMemo;
    // EVRVideoWindow1 (in PictureStack) is declared below with the graph component.
    QPlainTextEdit* FolderLinkMemo;
    QListWidget* lbTemp;

    TBrowse4Folder* Browse4Folder1;
    TThreadedTimer ReadyTimer;
    TThreadedTimer ColorTimer;
    TThreadedTimer DvDTimer;
    TBitmapHolder* ThumbSmall;
    TBitmapHolder* ThumbSmallLime;
    TBitmapHolder* ThumbLarge;

    // The graph component before its members: the filter components and the video window
    // leave it in their destructors, so it must be destroyed after them.
    TFilterGraph FG;
    TFilter BrightnessFilter{"BrightnessFilter"};
    TFilter RawFilter1{"RawFilter1"};
    TFilter FilterffdshowAudioProcessor{"FilterffdshowAudioProcessor"};
    TFilter FilterAudioEQGraphic{"FilterAudioEQGraphic"};
    TFilter FilterFFdshow{"FilterFFdshow"};
    TFilter FilterRawffdshow{"FilterRawffdshow"};
    TFilter FilterEVR{"FilterEVR"};
    std::unique_ptr<TEVRVideoWindow> EVRVideoWindow1;
    std::unique_ptr<TVideoWindow> VideoWindow1;           // the DVD picture
    std::unique_ptr<TDSVideoWindowEx2> DSVideoWindowEx1;  // behind VideoWindow1 on a DVD

    QMenu* PopupMenu1;
    QMenu* DVDMenu1;
    QAction *RootMenu1, *TitleMenu1, *FrameStep1;
    QAction *NextChapter1, *PreviousChapter1, *MenuItem2, *Normal1, *MenuItem3, *mnSubtitles;
    QMenu *SubtitleTrack1, *AudioTrack1;
    QAction* MenuItem4;
    QAction *OpenAnother1, *mnShowErrorMemo, *mnNoFilters, *mnNoText, *MenuItem5;
    QMenu* AutoSized1;
    QAction *TopR1, *TopL1, *BottomR1, *BottomL1, *mnLeftScreen, *mnRightScreen;
    QAction *MenuItem6, *mnSoundEQ, *mnVideoFilter, *MenuItem7, *Fullscreen1, *StayOnTop1;
    QAction *MenuItem8, *Exit2;
    QAction* mnResume;  // "Resume Where Left"
    QMenu* PopupMenu2;
    QAction* mnDeleteFile;
    QMenu* PopupAdjustment;
    QAction *mnAudioEQ, *mnVideoEQ, *mnShowFilterControl, *mnSetDefault;

    // --- Handlers -----------------------------------------------------------------------------
    // Main.cpp
    void btnExitClick();
    void OpenAnother1Click();
    void mnShowErrorMemoClick();
    void Label1Click();
    // Playlist.cpp
    // Refills the playlist with the media files of the folder (a path ending in "/"; "" is the
    // current directory), sorted in the locale's order. The first file whose size could not be
    // read goes to HandleAppException (an EFOpenError) once all the others are listed.
    void ScanMediaFolder(const std::string& folder);
    int RowCount() const;
    int SelectedRow() const;  // -1 when no row is selected
    void SelectRow(int index);
    // The row's file name as on disc (CurrentFolder + it is the row's path), and as shown.
    std::string RowFileName(int index) const;
    std::string RowCaption(int index) const;
    void btnOpenFolderClick();
    void BigDirComboBoxSelect();
    void LvVideoSourceClick();
    void LvVideoSourceDblClick();
    void LbLOpenListClick();
    void mnDeleteFileClick();
    // Lists the folder, as one chosen with the folder button.
    void OpenFolder(const QString& folder);
    void RefreshPlaylist();
    // Playback.cpp
    void ReadyTimerTimer();
    void PlayCommandLineFile();
    void BtnPlayClick();
    void BtnPauseClick();
    bool PausedByUser() const;  // the pause button shows the clock
    void BtnStopClick();
    void FGGraphComplete();
    void EndedAtOnce();
    // An error once the file plays (a decoder, the sound device, a file cut short): the
    // message, the exception hook, then on as at the end of the file.
    void FGGraphError(HRESULT code);
    // Opens the next playlist entry as the loop option says, or the command-line file again.
    void PlayNextEntry();
    // OpenMediaFile; a file that cannot be played also shows why, over the picture and in the
    // caption, then runs failed before the error goes on (to the caller when known at once,
    // else to the exception hook).
    void OpenMediaOrShowError(const std::string& path, std::function<void()> failed = {});
    void ShowMediaFileError(const std::string& path);
    // Transport.cpp
    void TrackProgressTimer(QObject* sender, int64_t currentPosMs, int64_t stopPosMs);
    void TrackProgressChange();
    void TrackProgressChanged();
    void DvDTimerTimer();
    void TrackSpeedChange();
    void TrackSpeedChanged();
    void TrackBrightnessMouseUp();
    void TrackVolumeChange();
    void TrackVolumeChanged();
    void TrackBrightnessChange();
    void TrackBrightnessChanged();
    void ColorTimerTimer();
    void btnControlsClick();
    void mnVideoEQClick();
    void mnAudioEQClick();
    void mnSetDefaultClick();
    // Gives the colour panel what it needs of this window: the state for its pushes, the
    // brightness slider's reset, the window to centre over.
    void LinkColorControlForm(TColorControlForm& panel);
    // WindowModes.cpp
    void btnMinClick();
    void btnRestoreClick();
    void Fullscreen1Click();
    void StayOnTop1Click();
    void TopR1Click();
    void TopL1Click();
    void BottomR1Click();
    void BottomL1Click();
    void mnLeftScreenClick();
    void mnRightScreenClick();
    void FormResize();
    void FormMouseDown(QObject* sender, const QMouseEvent& event);
    void FormMouseMove(QObject* sender, const QMouseEvent& event);
    void FormMouseWheelDown(QObject* sender, const QWheelEvent& event);
    void FormMouseWheelUp(QObject* sender, const QWheelEvent& event);
    void FormKeyPress(QChar key);
    void HandleAppMessage(QObject* receiver, QEvent* event);
    void EndMouseButtonHold();
    void GrowBottomBar();
    void ShrinkBottomBar();
    // Places the window top-most or not at its current place and size, and sets the check of
    // "Stay On Top" to match.
    void SetStayOnTop(bool onTop);
    // The place of the normal window before it was maximised or filled the screen; without a
    // window manager nothing else gives it back.
    QRect FNormalPlace;
    // Overlay.cpp
    // Sets OverlayText, the text over the picture, and the window's caption to it.
    void ShowOverlayText(const std::string& text);
    // The top of the green text in the window; the subtitles stand above it.
    int OverlayTextTop() const;
    void mnNoTextClick();
    // The overlay worker: started (or resumed) when a file starts to play, stopped by the stop
    // button and at shutdown.
    void StartOverlay();
    void StopOverlay();
    // Stops the worker and waits (bounded) until it has ended.
    void EndOverlay();
    void DrawTextThreadExecute(TBMDThreadBase* Sender, TBMDExecuteThread* Thread, void*& Data);
    // The drawing step the worker hands to the UI thread.
    void DrawOverlay();
    QPointer<TTextOverlay> FTextOverlay;     // over the picture control in front
    std::atomic<bool> FOverlayMuted{false};  // "Don't Show Text", as the worker reads it
    bool FOverlayRestart = false;            // start again once the stopping worker has ended
    // Declared after the controls it draws on, so destroyed before them.
    TBMDThread DrawTextThread;
    // Subtitles.cpp
    // A cue from the graph: shown for its duration (until the next when it has none); an empty
    // text takes the last one away.
    void FGSubtitle(const std::string& text, int64_t durationMs);
    // Shows the current cue (when "Subtitles" is checked) over the picture control in front.
    void DrawSubtitle();
    void mnSubtitlesClick();
    // The "Subtitle Track" and "Audio Track" menus: the open file's tracks.
    void FillTrackMenus();
    void FillTrackMenu(QMenu* menu, TTrackKind kind);
    void ChooseTrack(TTrackKind kind, int index);
    QPointer<TTextOverlay> FSubtitleOverlay;
    QString FSubtitleText;
    QTimer FSubtitleEnd;  // the end of the cue shown
    // MediaOpen.cpp
    // Builds a new graph for the file, with the filter chain its name calls for, and starts
    // its render; FinishMediaOpen plays it once it has prerolled. Raises EDirectShowException
    // at once for a file that is not there; a render that fails later runs failed, then
    // raises it to the exception hook.
    void OpenMediaFile(const std::string& path, std::function<void()> failed = {});
    void FinishMediaOpen(const std::string& path);
    void NoteChoicesAtOpen();
    void PlayUnlessPausedDuringOpen();
    double RateAfterOpen() const;
    double SpeedSliderRate() const;  // the rate the speed slider stands for
    // Takes the filter components of the chain out of FG's members.
    void RemoveFilterChain();
    // Writes "Used Filters for this run:" and the live graph's filters into memo (when given).
    void WriteUsedFilters(QPlainTextEdit* memo);
    void mnNoFiltersClick();
    // Commands.cpp: the keys every player knows and the commands they share with the desktop.
    TPlaybackStatus PlaybackStatus() const;
    void PlayOrPause();  // as the Play button when nothing plays, else as the Pause button
    int64_t PositionMs();
    int64_t DurationMs();
    void SeekTo(int64_t positionMs);  // within the open file; not on a DVD
    void SeekBy(int64_t deltaMs);
    void PlayNeighbourRow(int step);  // +1 the next row, -1 the previous, as a click on it
    int NeighbourRow(int step) const;  // the row PlayNeighbourRow plays, -1 for none
    void StepVolume(int tenths);      // moves the volume slider by tenths of its range
    void SetVolumeLevel(int value);   // the volume slider to value (0..10000)
    void ToggleMute();
    // Gives the graph the slider's volume, or none while muted.
    void ApplyVolume();
    // The player's keys (a key code and its modifiers); returns whether the key was one.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // Resume.cpp
    // The position the open file stands at is kept when it stops or the player switches away
    // from it; the next open of the file starts there.
    void KeepResumePosition();
    void ResumeWhereLeft(const std::string& path);
    // Shows text over the picture and in the caption instead of the time for a while.
    void ShowNotice(const std::string& text, int ms);
    // DvdControl.cpp
    void OpenDvdVolume(const std::string& path);
    void SeekDvdTime(int seconds);
    // The DVD steps of the picture's mouse handlers: press (activate) and highlight (select)
    // the menu button under the point, given in the sender's coordinates.
    void ActivateDvdButtonAt(QObject* sender, const QPoint& at);
    void SelectDvdButtonAt(QObject* sender, const QPoint& at);
    void RootMenu1Click();
    void TitleMenu1Click();
    void NextChapter1Click();
    void PreviousChapter1Click();
    void MenuItem2Click();
    void MenuItem3Click();
    // "Normal": normal speed again, for a DVD out of fast forward or rewind and for a file.
    void Normal1Click();
    // The DVD time event: "1:05:09" in the caption and over the picture, and the slider at the
    // second unless a seek is pending.
    void FGDVDCurrentHMSFTime(uint32_t hmsfTimeCode, uint32_t timeCode);
    // The messages of a DVD render that did not succeed, one box each (title "Error").
    void ReportDvdRender(HRESULT result, const AM_DVD_RENDERSTATUS& status);
    // The rest of the DVD open once the volume's render has its outcome.
    void FinishDvdOpen(HRESULT result, const AM_DVD_RENDERSTATUS& status);
    void ShowDvdMessage(const QString& text);
    // How the DVD open renders the volume (FG.RenderDvd when unset) and shows a message (a
    // modal box when unset): tests put their own in place.
    std::function<HRESULT(AM_DVD_RENDERSTATUS& status, const std::string& path)> DvdRenderer;
    std::function<void(const QString& text)> DvdMessage;
    // DesktopControls.cpp
    // The desktop's media keys and player widgets (MPRIS on the session bus, when one runs):
    // started at the end of the creation sequence, ended first thing at shutdown, so no
    // command from the desktop lands in the middle of it.
    void StartDesktopControls();
    void EndDesktopControls();
    // Something the desktop's controls show may have changed (they ask for the rest).
    void DesktopControlsChanged();
    TMprisState DesktopState();
    void DesktopOpenFile(const std::string& path);
    void DesktopSetVolume(double volume);
    void DesktopSetRate(double rate);
    void RaiseWindow();
    std::unique_ptr<TMprisService> FDesktopControls;

  protected:
    // IGraphListener (Resume.cpp): a stop keeps the position; the desktop's controls hear of
    // every play, pause, stop and open.
    void GraphEvent(int32_t code, intptr_t param1, intptr_t param2) override;
    void ControlEvent(TControlEvent event, intptr_t param) override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Playlist.cpp: a folder or a media file dropped on the window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // A callable that runs `method` of this window through Guard, for connect() and events.
    template <class... Args>
    auto Handler(void (TFormQuelm::*method)(Args...)) {
        return [this, method](Args... args) { Guard(this, [&] { (this->*method)(args...); }); };
    }

    // MainForm.cpp
    static void SetColours(QWidget* control, const QColor& base, const QColor& text);
    void BuildForm();
    void BuildBottomBar();
    void BuildExitPanel();
    void BuildControlPanel();
    void BuildPlaylistPanel();
    void BuildRepeatPanel();
    void BuildIntroMemo();
    void BuildGraph();
    void BuildMenus();
    void BuildMainMenu();
    void BuildAdjustmentMenus();
    void ConnectHandlers();
    void ConnectSliders();
    void ConnectVideoWindow();
    void ConnectMenus();
    // Mouse events of a picture control reach FormMouseDown, FormMouseMove, the wheel handlers.
    enum TPictureEvent { peDown = 1, peMove = 2, peWheel = 4 };
    void WirePicture(QWidget* control, int events);
    void DispatchPictureEvent(QObject* watched, QEvent* event);

    // Playlist.cpp
    void RememberFolder(const QString& folder);
    void WatchFolder(const std::string& folder);
    // The first local folder or media file among the dropped data.
    bool DroppedPath(const QMimeData& data, QString& path) const;
    void TogglePlaylistPanel();
    // DvdControl.cpp
    void ShowDvdWindow();
    bool DvdPicturePoint(QObject* sender, const QPoint& at, DVD_POINT& point) const;
    void RunDvdCommand(const std::function<void(IDvdControl2&)>& command);
    // Playback.cpp
    void ShowVideoWindow();
    void ShowPauseImage(const char* fileName);
    void SkipFailedEntry();
    // Transport.cpp
    TColorContext ColorContext();
    TPictureValues PictureValues() const;

    // Main.cpp
    void FormCreate(const QStringList& arguments);
    void ApplyStartColours();
    void LoadSettings();
    void ApplyPlace(int left, int top, int width, int height);
    void ChooseFolderListFile();
    void LoadFolderHistory();
    void LoadFolderLinkMemo();
    void OpenFilterIniFile();
    // Stops the timers and the graph, the first step of the shutdown.
    void EndPlayback();
    void FormDestroy();

    bool PreviewKey(QObject* watched, const QKeyEvent& event);
    TResumePositions& ResumePositions();

    QHash<QObject*, int> FPictureEvents;
    QFileSystemWatcher* FFolderWatch = nullptr;
    QTimer FFolderRefresh;
    bool FMuted = false;
    int FFailedInARow = 0;  // rows "Loop All" could not open since the last that played
    QDeadlineTimer FNoticeEnd;  // until then a notice shows instead of the time
    std::unique_ptr<TResumePositions> FResumePositions;  // read at the first use
    std::string FOpenedPath;  // the file OpenMediaFile opened last
    QDeadlineTimer FPlayedAWhile;  // passes a moment after the file opened last began to play
    // What follows the render under way, file or DVD volume, once its outcome is known.
    std::function<void(HRESULT result)> FOpenDone;
    // The pause button and the speed slider as the open began: what the user chooses while
    // it prerolls is kept when it comes to play.
    struct TChoicesAtOpen {
        bool Paused = false;
        int Speed = 2;
    } FChoicesAtOpen;
    TFormFileType* FFormFileType = nullptr;
};

// What the folder box shows while no folder has been chosen.
inline const QString kNoFolderText = QStringLiteral("Click the Folder Icon to open file");

// "1:05:09" for 3909 seconds.
std::string ClockText(int64_t seconds);

// Whether a directory entry's name is one the playlist lists.
bool IsMediaFileName(const std::string& name);

// Whether a playlist path names a DVD volume (it ends in "IFO", any case).
bool IsDvdVolumePath(const std::string& path);

// The caption and overlay text of a playing file: "12.5% - 0:05:07 [0:41:00] [movie.avi]" for
// 307 of 2460 seconds on the slider; positions in 100-ns units, the locale's decimal separator.
std::string ProgressText(int64_t position, int64_t duration, int sliderValue, int sliderMax,
                         const std::string& mediaName);

// Writes the history's folders to the file, one per line; raises when it cannot.
void WriteFolderHistory(const QComboBox& combo, const QString& path);

// Adds a folder to the history at its sorted place (the locale's order, ignoring case), as the
// history keeps itself sorted.
void AddSortedFolder(QComboBox& combo, const QString& folder);
