// The player window's components and menus, built as the window is designed, and their
// handlers connected.
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <array>
#include <utility>

#include "app/Main.h"
#include "graph/ExternalFilters.h"

namespace {

constexpr int kBarHeight = 15;
const QColor kLime(0, 255, 0);
const QColor kAqua(0, 255, 255);
const QColor kSilver(0xC0, 0xC0, 0xC0);

template <class T>
T* Named(T* object, const char* name) {
    object->setObjectName(name);
    return object;
}

QFont PixelFont(const QWidget* widget, int pixels, bool bold = false) {
    QFont font = widget->font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QToolButton* NewSpeedButton(QWidget* parent, const char* name, const QString& hint,
                            const char* glyph) {
    auto* button = Named(new QToolButton(parent), name);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setIcon(QIcon(QString(":/images/%1.xpm").arg(glyph)));
    button->setIconSize(QSize(13, 13));
    button->setFixedSize(18, kBarHeight);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QCheckBox* NewBarCheckBox(QWidget* parent, const char* name, const QString& hint) {
    auto* box = Named(new QCheckBox(parent), name);
    box->setToolTip(hint);
    box->setFixedSize(15, kBarHeight);
    box->setFocusPolicy(Qt::NoFocus);
    // Light boxes: the bar around them is nearly black.
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, kSilver);
    colours.setColor(QPalette::Text, Qt::black);
    box->setPalette(colours);
    return box;
}

template <class TSlider = TRxSlider>
TSlider* NewSlider(QWidget* parent, const char* name, const QString& hint, int minValue,
                   int maxValue, int value) {
    auto* slider = Named(new TSlider(parent), name);
    slider->setToolTip(hint);
    slider->SetRange(minValue, maxValue);
    slider->SetValue(value);
    UseProgramSliderLook(*slider);
    slider->setFixedHeight(kBarHeight);
    return slider;
}

TPaneles* NewBarPanel(QWidget* parent, const char* name) {
    auto* panel = Named(new TPaneles(parent), name);
    panel->SetBitmap(QPixmap(":/images/BottomBar.xpm"));
    panel->SetBevelOuter(bvNone);
    return panel;
}

QFrame* NewPanel(QWidget* parent, const char* name) {
    auto* panel = Named(new QFrame(parent), name);
    panel->setFrameShape(QFrame::NoFrame);
    return panel;
}

// The 20 x 20 images of the context menu, by their index.
QIcon MenuImage(int index) {
    static const std::array<const char*, 10> kImageList = {
        "MenuPreviousChapter", "MenuRewind",   "MenuPause",
        "MenuNormal",          "MenuStop",     "MenuFastForward",
        "MenuNextChapter",     "MenuRootMenu", "MenuFullscreen",
        "MenuFrameStep"};
    return QIcon(QString(":/images/%1.xpm").arg(kImageList.at(index)));
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption, int image = -1) {
    auto* item = Named(menu->addAction(caption), name);
    if (image >= 0) item->setIcon(MenuImage(image));
    return item;
}

QAction* AddSeparator(QMenu* menu, const char* name) {
    return Named(menu->addSeparator(), name);
}

// The menu shows the player's key for the item; the window takes the key itself (Commands.cpp),
// so the shortcut acts only inside the open menu.
void ShowKey(QAction* item, Qt::Key key) {
    item->setShortcut(QKeySequence(key));
    item->setShortcutContext(Qt::WidgetShortcut);
}

QAction* AddCheckItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* item = AddItem(menu, name, caption);
    item->setCheckable(true);
    return item;
}

}  // namespace

void TFormQuelm::SetColours(QWidget* control, const QColor& base, const QColor& text) {
    QPalette colours = control->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        colours.setColor(role, base);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colours.setColor(role, text);
    control->setPalette(colours);
    control->setAutoFillBackground(true);
}

void TFormQuelm::BuildForm() {
    setObjectName("FormQuelm");
    setWindowTitle("Vexlo Player");
    setMinimumSize(320, 240);
    setAcceptDrops(true);
    setGeometry(315, 110, 625, 404);
    setFont(PixelFont(this, 11));
    SetColours(this, Qt::black, kSilver);

    Panel1 = NewPanel(this, "Panel1");
    BuildBottomBar();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1, 1);
    layout->addWidget(Paneles1);

    BuildPlaylistPanel();
    PictureStack = new QStackedLayout;
    PictureStack->setStackingMode(QStackedLayout::StackAll);
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    panelLayout->addLayout(PictureStack, 1);
    panelLayout->addWidget(Panel14);
    BuildIntroMemo();
    BuildGraph();

    FolderLinkMemo = Named(new QPlainTextEdit(this), "FolderLinkMemo");
    FolderLinkMemo->hide();
    lbTemp = Named(new QListWidget(this), "lbTemp");
    lbTemp->hide();

    Browse4Folder1 = Named(new TBrowse4Folder(this), "Browse4Folder1");
    Browse4Folder1->Title = "Choose a folder with video files";
    Browse4Folder1->Root = TBrowse4Folder::TWinPaths::Desktop;
    Browse4Folder1->Options = {TBrowse4Folder::TOption::ShowEditBox,
                               TBrowse4Folder::TOption::UseNewDialogStyle,
                               TBrowse4Folder::TOption::HideNewFolderButton};
    Browse4Folder1->Loaded();
    ReadyTimer.SetInterval(400);
    ColorTimer.SetInterval(500);
    DvDTimer.SetInterval(3000);
    ThumbSmall = Named(new TBitmapHolder(this), "ThumbSmall");
    ThumbSmall->SetBitmap(QPixmap(":/images/ThumbSmall.xpm"));
    ThumbSmallLime = Named(new TBitmapHolder(this), "ThumbSmallLime");
    ThumbSmallLime->SetBitmap(QPixmap(":/images/ThumbSmallLime.xpm"));
    ThumbLarge = Named(new TBitmapHolder(this), "ThumbLarge");
    ThumbLarge->SetBitmap(QPixmap(":/images/ThumbLarge.xpm"));
    for (TRxSlider* slider :
         std::initializer_list<TRxSlider*>{TrackSpeed, TrackBrightness, TrackVolume, TrackProgress})
        slider->SetImageHThumb(ThumbSmall->Bitmap());

    BuildMenus();
    ConnectHandlers();
}

void TFormQuelm::BuildBottomBar() {
    Paneles1 = NewBarPanel(this, "Paneles1");
    Paneles1->setFixedHeight(kBarHeight);
    BuildControlPanel();
    Paneles2 = NewBarPanel(Paneles1, "Paneles2");
    Paneles2->setFixedWidth(50);
    TrackSpeed = NewSlider(Paneles2, "TrackSpeed", "Speed", 1, 50, 2);
    auto* speedLayout = new QHBoxLayout(Paneles2);
    speedLayout->setContentsMargins(0, 0, 0, 0);
    speedLayout->addWidget(TrackSpeed);
    BuildExitPanel();

    auto* layout = new QHBoxLayout(Paneles1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Paneles3, 1);
    layout->addWidget(Paneles2);
    layout->addWidget(ExitPanel);
}

void TFormQuelm::BuildExitPanel() {
    ExitPanel = NewBarPanel(Paneles1, "ExitPanel");
    ExitPanel->setFixedWidth(106);
    btnExit = NewSpeedButton(ExitPanel, "btnExit", "Exit", "BtnExit");
    btnExit->move(80, 0);
    btnRestore = NewSpeedButton(ExitPanel, "btnRestore", "Restore", "BtnRestore");
    btnRestore->move(60, 0);
    btnMin = NewSpeedButton(ExitPanel, "btnMin", "Minimized", "BtnMin");
    btnMin->move(40, 0);
    LbLOpenList = Named(new QLabel("Open", ExitPanel), "LbLOpenList");
    LbLOpenList->setProperty("Tag", 0);
    LbLOpenList->setFont(PixelFont(this, 11, true));
    LbLOpenList->setStyleSheet("color: yellow;");
    LbLOpenList->setCursor(Qt::PointingHandCursor);
    LbLOpenList->setGeometry(3, 0, 36, kBarHeight);
}

void TFormQuelm::BuildControlPanel() {
    Paneles3 = NewBarPanel(Paneles1, "Paneles3");
    BtnPlay = NewSpeedButton(Paneles3, "BtnPlay", "Play", "BtnPlay");
    BtnPause = NewSpeedButton(Paneles3, "BtnPause", "Pause", "BtnPause");
    BtnPause->setProperty("Tag", 0);
    BtnStop = NewSpeedButton(Paneles3, "BtnStop", "Stop", "BtnStop");
    btnControls = NewSpeedButton(Paneles3, "btnControls", "Color Controls", "BtnControls");
    BtnTitleMenu = NewSpeedButton(Paneles3, "BtnTitleMenu", "DVD Title Menu", "BtnTitleMenu");
    chkboxEVR = NewBarCheckBox(Paneles3, "chkboxEVR", "EVR");
    chkboxZoomVertical =
        NewBarCheckBox(Paneles3, "chkboxZoomVertical", "Vertical Zoom (Use Mouse Wheel)");
    TrackBrightness = NewSlider(Paneles3, "TrackBrightness", "Brightness", -100, 100, 0);
    TrackBrightness->setFixedWidth(70);
    TrackVolume = NewSlider(Paneles3, "TrackVolume", "Volume", 0, 10000, 2000);
    TrackVolume->setFixedWidth(70);
    TrackProgress = NewSlider<TDSTrackBar>(Paneles3, "TrackProgress", "Play Progress", 0, 100, 0);

    auto* layout = new QHBoxLayout(Paneles3);
    layout->setContentsMargins(2, 0, 4, 0);
    layout->setSpacing(2);
    for (QWidget* control : std::initializer_list<QWidget*>{
             BtnPlay, BtnPause, BtnStop, btnControls, BtnTitleMenu, chkboxEVR, chkboxZoomVertical,
             TrackBrightness, TrackVolume})
        layout->addWidget(control);
    layout->addWidget(TrackProgress, 1);
}

void TFormQuelm::BuildPlaylistPanel() {
    Panel14 = NewPanel(Panel1, "Panel14");
    Panel14->hide();
    BuildRepeatPanel();

    LvVideoSource = Named(new QTreeWidget(Panel14), "LvVideoSource");
    LvVideoSource->setColumnCount(2);
    LvVideoSource->setHeaderLabels({"Video Title", "Size"});
    LvVideoSource->setHeaderHidden(true);
    LvVideoSource->setRootIsDecorated(false);
    LvVideoSource->setSelectionBehavior(QAbstractItemView::SelectRows);
    LvVideoSource->header()->setStretchLastSection(false);
    LvVideoSource->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    LvVideoSource->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    LvVideoSource->header()->resizeSection(1, 62);
    LvVideoSource->setFont(PixelFont(this, 13));
    SetColours(LvVideoSource, Qt::black, kLime);

    Panel13 = NewPanel(Panel14, "Panel13");
    Panel13->setFixedHeight(21);
    BigDirComboBox = Named(new QComboBox(Panel13), "BigDirComboBox");
    BigDirComboBox->setEditable(true);
    BigDirComboBox->setInsertPolicy(QComboBox::NoInsert);
    BigDirComboBox->setMaxVisibleItems(30);
    BigDirComboBox->setFont(PixelFont(this, 13));
    BigDirComboBox->setEditText("/");
    SetColours(BigDirComboBox, kSilver, kAqua);
    Panel8 = NewPanel(Panel13, "Panel8");
    Panel8->setFixedWidth(24);
    btnOpenFolder =
        NewSpeedButton(Panel8, "btnOpenFolder", "Open folder contains movies", "BtnOpenFolder");
    btnOpenFolder->setGeometry(2, 2, 20, 17);
    auto* stripLayout = new QHBoxLayout(Panel13);
    stripLayout->setContentsMargins(0, 0, 0, 0);
    stripLayout->setSpacing(0);
    stripLayout->addWidget(BigDirComboBox, 1);
    stripLayout->addWidget(Panel8);

    auto* layout = new QVBoxLayout(Panel14);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(RepeatPanel);
    layout->addWidget(LvVideoSource, 1);
    layout->addWidget(Panel13);
}

void TFormQuelm::BuildRepeatPanel() {
    RepeatPanel = NewBarPanel(Panel14, "RepeatPanel");
    RepeatPanel->setFixedHeight(16);
    Label6 = Named(new QLabel("(Play Option) Loop 1", RepeatPanel), "Label6");
    rBtnLoop1 = Named(new QRadioButton("Loop 1", RepeatPanel), "rBtnLoop1");
    Label19 = Named(new QLabel("All", RepeatPanel), "Label19");
    rBtnLoopALL = Named(new QRadioButton("Loop All", RepeatPanel), "rBtnLoopALL");
    rBtnLoopALL->setChecked(true);
    Bevel4 = Named(new QFrame(RepeatPanel), "Bevel4");
    Bevel4->setFrameShape(QFrame::VLine);
    Label1 = Named(new QLabel("Associate File Types", RepeatPanel), "Label1");
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setEnabled(false);

    auto* layout = new QHBoxLayout(RepeatPanel);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(3);
    for (QRadioButton* button : {rBtnLoop1, rBtnLoopALL}) {
        // The labels beside them carry the words; the buttons show their circles only.
        button->setFixedWidth(14);
        button->setFocusPolicy(Qt::NoFocus);
    }
    for (QWidget* control :
         std::initializer_list<QWidget*>{Label6, rBtnLoop1, Label19, rBtnLoopALL, Bevel4, Label1})
        layout->addWidget(control);
    layout->addStretch(1);
    for (QLabel* label : {Label6, Label19, Label1}) label->setStyleSheet("color: silver;");
}

void TFormQuelm::BuildIntroMemo() {
    IntroMemo = Named(new QPlainTextEdit(Panel1), "IntroMemo");
    IntroMemo->setReadOnly(true);
    IntroMemo->setFrameShape(QFrame::NoFrame);
    IntroMemo->setContextMenuPolicy(Qt::NoContextMenu);
    IntroMemo->setFont(PixelFont(this, 13));
    IntroMemo->setGeometry(8, 8, 440, 180);
    SetColours(IntroMemo, kSilver, kLime);
    IntroMemo->setPlainText(
        "          \n"
        "  Vexlo Player: the films and songs of one folder, a click away.\n"
        "\n"
        "  Play DVD:  open the drive that contains the DVD disc.\n"
        "  Open the folder \"VIDEO_TS\".  Within this folder click on the \n"
        "  filename VIDEO_TS.IFO file to play.\n"
        "\n"
        "  Play Decrypted-Blu-ray:  open the drive that contains the \n"
        "  Blu-ray disc. Open the folder \"BDMV\\PLAYLIST\".  Within this\n"
        "  folder click on the filename .mpls file to play.");
}

// The graph component, the filter components with the identities of their filters, and the
// video window that shows the picture of files (in front of the help text only once a file
// opens).
void TFormQuelm::BuildGraph() {
    FG.SetLinearVolume(true);
    FG.InsertEventNotifier(this);
    FG.SetMode(gmDVD);
    const std::initializer_list<std::pair<TFilter*, CLSID>> filters = {
        {&BrightnessFilter, StringToGUID("{440352CD-2644-44F8-978B-C67C840429D8}")},
        {&RawFilter1, CLSID_ffdshowRawVideoFilter},
        {&FilterffdshowAudioProcessor, CLSID_ffdshowAudioProcessor},
        {&FilterAudioEQGraphic, CLSID_GraphicEqualizer},
        {&FilterFFdshow, CLSID_ffdshowVideoDecoder},
        {&FilterRawffdshow, CLSID_ffdshowRawVideoFilter},
        {&FilterEVR, CLSID_EnhancedVideoRenderer}};
    for (const auto& [filter, classId] : filters)
        filter->SetBaseFilter(DeviceMonikerBlock(classId));

    EVRVideoWindow1 = std::make_unique<TEVRVideoWindow>(Panel1);
    EVRVideoWindow1->setObjectName("EVRVideoWindow1");
    EVRVideoWindow1->SetKeepAspectRatio(false);
    PictureStack->addWidget(EVRVideoWindow1.get());
    DSVideoWindowEx1 = std::make_unique<TDSVideoWindowEx2>(Panel1);
    DSVideoWindowEx1->setObjectName("DSVideoWindowEx1");
    DSVideoWindowEx1->SetNoScreenSaver(true);
    PictureStack->addWidget(DSVideoWindowEx1.get());
    VideoWindow1 = std::make_unique<TVideoWindow>(Panel1);
    VideoWindow1->setObjectName("VideoWindow1");
    VideoWindow1->SetMode(vmVMR);
    VideoWindow1->VMROptions().SetKeepAspectRatio(false);
    VideoWindow1->SetNoScreenSaver(true);
    PictureStack->addWidget(VideoWindow1.get());
}

void TFormQuelm::BuildMenus() {
    BuildMainMenu();
    BuildAdjustmentMenus();
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(mapToGlobal(at)); });
    LvVideoSource->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LvVideoSource, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu2->popup(LvVideoSource->viewport()->mapToGlobal(at));
    });
    btnControls->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(btnControls, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupAdjustment->popup(btnControls->mapToGlobal(at)); });
}

void TFormQuelm::BuildMainMenu() {
    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    DVDMenu1 = Named(PopupMenu1->addMenu("DVD-Menu"), "DVDMenu1");
    RootMenu1 = AddItem(DVDMenu1, "RootMenu1", "Root Menu", 7);
    TitleMenu1 = AddItem(DVDMenu1, "TitleMenu1", "Title Menu");
    FrameStep1 = AddItem(DVDMenu1, "FrameStep1", "Frame Step", 9);
    NextChapter1 = AddItem(PopupMenu1, "NextChapter1", "Next Chapter", 6);
    PreviousChapter1 = AddItem(PopupMenu1, "PreviousChapter1", "Previous Chapter", 0);
    MenuItem2 = AddItem(PopupMenu1, "MenuItem2", "Fast Forward", 5);
    Normal1 = AddItem(PopupMenu1, "Normal1", "Normal", 3);
    MenuItem3 = AddItem(PopupMenu1, "MenuItem3", "Rewind", 1);
    mnSubtitles = AddCheckItem(PopupMenu1, "mnSubtitles", "Subtitles");
    mnSubtitles->setChecked(true);
    SubtitleTrack1 = Named(PopupMenu1->addMenu("Subtitle Track"), "SubtitleTrack1");
    AudioTrack1 = Named(PopupMenu1->addMenu("Audio Track"), "AudioTrack1");
    MenuItem4 = AddSeparator(PopupMenu1, "MenuItem4");
    MenuItem4->setVisible(false);
    OpenAnother1 = AddItem(PopupMenu1, "OpenAnother1", "Open New Media Player");
    mnShowErrorMemo = AddItem(PopupMenu1, "mnShowErrorMemo", "Show Error Memo");
    mnNoFilters = AddCheckItem(PopupMenu1, "mnNoFilters", "No Color Control Filters");
    mnNoText = AddCheckItem(PopupMenu1, "mnNoText", "Don't Show Text");
    mnResume = AddCheckItem(PopupMenu1, "mnResume", "Resume Where Left");
    mnResume->setChecked(true);
    MenuItem5 = AddSeparator(PopupMenu1, "MenuItem5");
    AutoSized1 = Named(PopupMenu1->addMenu("Auto Sized"), "AutoSized1");
    TopR1 = AddItem(AutoSized1, "TopR1", "Top R");
    TopL1 = AddItem(AutoSized1, "TopL1", "Top L");
    BottomR1 = AddItem(AutoSized1, "BottomR1", "Bottom R");
    BottomL1 = AddItem(AutoSized1, "BottomL1", "Bottom L");
    mnLeftScreen = AddItem(AutoSized1, "mnLeftScreen", "Left of Screen");
    mnRightScreen = AddItem(AutoSized1, "mnRightScreen", "Right of Screen");
    MenuItem6 = AddSeparator(PopupMenu1, "MenuItem6");
    mnSoundEQ = AddItem(PopupMenu1, "mnSoundEQ", "Sound Graphic EQ Control");
    mnVideoFilter = AddItem(PopupMenu1, "mnVideoFilter", "Video Filter Control");
    MenuItem7 = AddSeparator(PopupMenu1, "MenuItem7");
    Fullscreen1 = AddItem(PopupMenu1, "Fullscreen1", "Fullscreen", 8);
    ShowKey(Fullscreen1, Qt::Key_F);
    StayOnTop1 = AddCheckItem(PopupMenu1, "StayOnTop1", "Stay On Top");
    MenuItem8 = AddSeparator(PopupMenu1, "MenuItem8");
    Exit2 = AddItem(PopupMenu1, "Exit2", "Exit");
}

void TFormQuelm::BuildAdjustmentMenus() {
    PopupMenu2 = Named(new QMenu(this), "PopupMenu2");
    mnDeleteFile = AddItem(PopupMenu2, "mnDeleteFile", "Delete this file");
    PopupAdjustment = Named(new QMenu(this), "PopupAdjustment");
    mnAudioEQ = AddItem(PopupAdjustment, "mnAudioEQ", "Sound Adjustment");
    mnVideoEQ = AddItem(PopupAdjustment, "mnVideoEQ", "Video Adjustment");
    PopupAdjustment->addSeparator();
    mnShowFilterControl = AddItem(PopupAdjustment, "mnShowFilterControl", "Show Filter Controls");
    PopupAdjustment->addSeparator();
    mnSetDefault = AddItem(PopupAdjustment, "mnSetDefault", "Set Default");
}

void TFormQuelm::ConnectHandlers() {
    connect(btnExit, &QToolButton::clicked, this, Handler(&TFormQuelm::btnExitClick));
    connect(btnRestore, &QToolButton::clicked, this, Handler(&TFormQuelm::btnRestoreClick));
    connect(btnMin, &QToolButton::clicked, this, Handler(&TFormQuelm::btnMinClick));
    connect(BtnPlay, &QToolButton::clicked, this, Handler(&TFormQuelm::BtnPlayClick));
    connect(BtnPause, &QToolButton::clicked, this, Handler(&TFormQuelm::BtnPauseClick));
    connect(BtnStop, &QToolButton::clicked, this, Handler(&TFormQuelm::BtnStopClick));
    connect(btnControls, &QToolButton::clicked, this, Handler(&TFormQuelm::btnControlsClick));
    connect(BtnTitleMenu, &QToolButton::clicked, this, Handler(&TFormQuelm::TitleMenu1Click));
    connect(btnOpenFolder, &QToolButton::clicked, this, Handler(&TFormQuelm::btnOpenFolderClick));
    connect(BigDirComboBox, &QComboBox::activated, this,
            Handler(&TFormQuelm::BigDirComboBoxSelect));
    connect(LvVideoSource, &QTreeWidget::itemClicked, this,
            Handler(&TFormQuelm::LvVideoSourceClick));
    connect(LvVideoSource, &QTreeWidget::itemDoubleClicked, this,
            Handler(&TFormQuelm::LvVideoSourceDblClick));
    ReadyTimer.OnTimer = [this](TThreadedTimer*) { ReadyTimerTimer(); };
    ColorTimer.OnTimer = [this](TThreadedTimer*) { ColorTimerTimer(); };
    DvDTimer.OnTimer = [this](TThreadedTimer*) { DvDTimerTimer(); };
    // What this raises reaches the exception hook through the graph component.
    FG.OnRendered = [this](HRESULT result) {
        if (auto done = std::exchange(FOpenDone, {})) done(result);
    };
    FG.OnGraphComplete = [this](HRESULT, intptr_t) { FGGraphComplete(); };
    FG.OnDSEvent = [this](int32_t code, intptr_t param1, intptr_t) {
        if (code == EC_ERRORABORT) FGGraphError(static_cast<HRESULT>(param1));
    };
    FG.OnDVDCurrentHMSFTime = [this](uint32_t hmsf, uint32_t timeCode) {
        FGDVDCurrentHMSFTime(hmsf, timeCode);
    };
    FG.OnSubtitle = [this](const std::string& text, int64_t durationMs) {
        FGSubtitle(text, durationMs);
    };
    FSubtitleEnd.setSingleShot(true);
    connect(&FSubtitleEnd, &QTimer::timeout, this,
            [this] { Guard(this, [this] { FGSubtitle({}, -1); }); });
    ConnectSliders();
    ConnectMenus();

    WirePicture(this, peDown | peMove | peWheel);
    WirePicture(RepeatPanel, peDown);
    WirePicture(IntroMemo->viewport(), peDown);
    ConnectVideoWindow();
    // The labels have no click signal: their presses arrive through the event filter too.
    WirePicture(LbLOpenList, 0);
    WirePicture(Label1, 0);
}

// The video windows report their mouse through their own events: the renderer's surface covers
// them, so a press never lands on a window itself, where WirePicture would look for it.
void TFormQuelm::ConnectVideoWindow() {
    for (TVideoControl* window : std::initializer_list<TVideoControl*>{
             EVRVideoWindow1.get(), VideoWindow1.get(), DSVideoWindowEx1.get()}) {
        auto forward = [this, window](auto method) {
            return [this, window, method](const auto& event) {
                Guard(window, [&] { (this->*method)(window, event); });
            };
        };
        window->OnMouseDown = forward(&TFormQuelm::FormMouseDown);
        window->OnMouseMove = forward(&TFormQuelm::FormMouseMove);
        window->OnMouseWheelUp = forward(&TFormQuelm::FormMouseWheelUp);
        window->OnMouseWheelDown = forward(&TFormQuelm::FormMouseWheelDown);
        window->OnDblClick = Handler(&TFormQuelm::LbLOpenListClick);
    }
}

void TFormQuelm::ConnectSliders() {
    TrackSpeed->OnChange = Handler(&TFormQuelm::TrackSpeedChange);
    TrackSpeed->OnChanged = Handler(&TFormQuelm::TrackSpeedChanged);
    TrackBrightness->OnChange = Handler(&TFormQuelm::TrackBrightnessChange);
    TrackBrightness->OnChanged = Handler(&TFormQuelm::TrackBrightnessChanged);
    TrackVolume->OnChange = Handler(&TFormQuelm::TrackVolumeChange);
    TrackVolume->OnChanged = Handler(&TFormQuelm::TrackVolumeChanged);
    TrackProgress->OnChange = Handler(&TFormQuelm::TrackProgressChange);
    TrackProgress->OnChanged = Handler(&TFormQuelm::TrackProgressChanged);
    TrackProgress->OnTimer = Handler(&TFormQuelm::TrackProgressTimer);
    TrackProgress->SetFilterGraph(&FG);
    auto mouseUp = Handler(&TFormQuelm::TrackBrightnessMouseUp);
    TrackSpeed->OnMouseUp = [mouseUp](const QMouseEvent&) { mouseUp(); };
    TrackBrightness->OnMouseUp = [mouseUp](const QMouseEvent&) { mouseUp(); };
    for (TRxSlider* slider :
         std::initializer_list<TRxSlider*>{TrackProgress, TrackBrightness, TrackVolume}) {
        slider->OnMouseEnter = Handler(&TFormQuelm::GrowBottomBar);
        slider->OnMouseLeave = Handler(&TFormQuelm::ShrinkBottomBar);
    }
    Paneles3->OnMouseEnter = Handler(&TFormQuelm::GrowBottomBar);
    Paneles3->OnMouseLeave = Handler(&TFormQuelm::ShrinkBottomBar);
}

void TFormQuelm::ConnectMenus() {
    const std::initializer_list<std::pair<QAction*, void (TFormQuelm::*)()>> items = {
        {RootMenu1, &TFormQuelm::RootMenu1Click},
        {TitleMenu1, &TFormQuelm::TitleMenu1Click},
        {NextChapter1, &TFormQuelm::NextChapter1Click},
        {PreviousChapter1, &TFormQuelm::PreviousChapter1Click},
        {MenuItem2, &TFormQuelm::MenuItem2Click},
        {MenuItem3, &TFormQuelm::MenuItem3Click},
        {Normal1, &TFormQuelm::Normal1Click},
        {OpenAnother1, &TFormQuelm::OpenAnother1Click},
        {mnShowErrorMemo, &TFormQuelm::mnShowErrorMemoClick},
        {mnNoFilters, &TFormQuelm::mnNoFiltersClick},
        {mnNoText, &TFormQuelm::mnNoTextClick},
        {mnSubtitles, &TFormQuelm::mnSubtitlesClick},
        {TopR1, &TFormQuelm::TopR1Click},
        {TopL1, &TFormQuelm::TopL1Click},
        {BottomR1, &TFormQuelm::BottomR1Click},
        {BottomL1, &TFormQuelm::BottomL1Click},
        {mnLeftScreen, &TFormQuelm::mnLeftScreenClick},
        {mnRightScreen, &TFormQuelm::mnRightScreenClick},
        {mnSoundEQ, &TFormQuelm::mnAudioEQClick},
        {mnVideoFilter, &TFormQuelm::mnVideoEQClick},
        {Fullscreen1, &TFormQuelm::Fullscreen1Click},
        {StayOnTop1, &TFormQuelm::StayOnTop1Click},
        {Exit2, &TFormQuelm::btnExitClick},
        {mnDeleteFile, &TFormQuelm::mnDeleteFileClick},
        {mnAudioEQ, &TFormQuelm::mnAudioEQClick},
        {mnVideoEQ, &TFormQuelm::mnVideoEQClick},
        {mnSetDefault, &TFormQuelm::mnSetDefaultClick}};
    for (const auto& [item, handler] : items)
        connect(item, &QAction::triggered, this, Handler(handler));
    connect(PopupMenu1, &QMenu::aboutToShow, this, Handler(&TFormQuelm::FillTrackMenus));
}

void TFormQuelm::WirePicture(QWidget* control, int events) {
    FPictureEvents[control] |= events;
}

void TFormQuelm::DispatchPictureEvent(QObject* watched, QEvent* event) {
    auto found = FPictureEvents.constFind(watched);
    if (found == FPictureEvents.constEnd()) return;
    const int events = *found;
    auto* control = static_cast<QWidget*>(watched);
    // An event a child passed up belongs to the child, as on a desktop where each press goes
    // to the control under the pointer; disabled controls take none.
    auto own = [control](QPointF at) {
        return control->isEnabled() && !control->childAt(at.toPoint());
    };
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto& mouse = static_cast<const QMouseEvent&>(*event);
            if (!own(mouse.position())) return;
            if (control == LbLOpenList && mouse.button() == Qt::LeftButton)
                Guard(control, [this] { LbLOpenListClick(); });
            else if (control == Label1 && mouse.button() == Qt::LeftButton)
                Guard(control, [this] { Label1Click(); });
            else if (events & peDown)
                Guard(control, [&] { FormMouseDown(control, mouse); });
            return;
        }
        case QEvent::MouseMove: {
            const auto& mouse = static_cast<const QMouseEvent&>(*event);
            if (events & peMove && own(mouse.position()))
                Guard(control, [&] { FormMouseMove(control, mouse); });
            return;
        }
        case QEvent::Wheel: {
            const auto& wheel = static_cast<const QWheelEvent&>(*event);
            if (!(events & peWheel) || !own(wheel.position())) return;
            if (wheel.angleDelta().y() > 0)
                Guard(control, [&] { FormMouseWheelUp(control, wheel); });
            else if (wheel.angleDelta().y() < 0)
                Guard(control, [&] { FormMouseWheelDown(control, wheel); });
            return;
        }
        default:
            return;
    }
}
