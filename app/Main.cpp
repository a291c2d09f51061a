// The player window's creation sequence, its settings file "Quelm.ini", the folder history at
// start-up, the exception hook and the shutdown.
#include "app/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QSaveFile>
#include <QScreen>
#include <QStackedLayout>
#include <algorithm>
#include <stdexcept>

#include "adjust/FilterSettings.h"
#include "app/PlayerState.h"
#include "desktop/ErrorUnit.h"
#include "desktop/FileTypes.h"
#include "desktop/FunctionMix.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ScreenSaver.h"

namespace {

const std::string kSection = "MedForm";
// X11 keeps window places in 16 bits; larger values would wrap around.
constexpr int kLargestCoordinate = 32767;
// The volume of a first start: full. The slider's other end is silence, and a player that
// starts mute looks broken.
constexpr int kFullVolume = 10000;

std::string SettingsFile() {
    return ProgramFolder() + "Quelm.ini";
}

// The lines of a text file, split at CR LF, LF or CR.
QList<QByteArray> ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray text = file.readAll();
    text.replace("\r\n", "\n").replace('\r', '\n');
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// A history line names a folder only as valid UTF-8 without NUL bytes: anything else could not
// be shown or written back as it was, and a NUL would cut the path short when testing it.
bool NamesFolder(const QByteArray& line) {
    if (line.isEmpty() || line.contains('\0') || !QUtf8StringView(line).isValidUtf8()) return false;
    return QFileInfo(QString::fromUtf8(line)).isDir();
}

bool OnSomeScreen(const QRect& place) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&](const QScreen* screen) { return screen->geometry().intersects(place); });
}

// The place moved as little as it takes to lie on the screen (as far as its size allows).
QRect OntoScreen(QRect place, const QRect& screen) {
    place.moveLeft(std::clamp(place.left(), screen.left(),
                              std::max(screen.left(), screen.right() + 1 - place.width())));
    place.moveTop(std::clamp(place.top(), screen.top(),
                             std::max(screen.top(), screen.bottom() + 1 - place.height())));
    return place;
}

}  // namespace

void WriteFolderHistory(const QComboBox& combo, const QString& path) {
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    for (int i = 0; written && i < combo.count(); ++i)
        written = file.write(combo.itemText(i).toUtf8() + "\r\n") >= 0;
    if (!written || !file.commit())
        throw std::runtime_error("Cannot create file \"" + path.toStdString() + "\".");
}

void AddSortedFolder(QComboBox& combo, const QString& folder) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    int low = 0, high = combo.count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (collator.compare(combo.itemText(middle), folder) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    combo.insertItem(low, folder);
}

TFormQuelm::TFormQuelm(const QStringList& arguments, QWidget* parent) : QWidget(parent) {
    BuildForm();
    Guard(this, [&] { FormCreate(arguments); });
}

TFormQuelm::~TFormQuelm() {
    EndDesktopControls();
    qApp->removeEventFilter(this);
    EndPlayback();
    FG.RemoveEventNotifier(this);
    Guard(this, [this] { FormDestroy(); });
    // The slider is a child widget, destroyed after the graph component: it leaves it now.
    TrackProgress->SetFilterGraph(nullptr);
}

void TFormQuelm::FormCreate(const QStringList& arguments) {
    HideCaptionAndTaskbarButton(this);
    PlayerState.SystemFolder = SystemFolderPath();
    PlayerState.DiagnosticMode = FileExists(ProgramFolder() + "testing.log");
    if (!PlayerState.DiagnosticMode) {
        mnShowErrorMemo->setEnabled(false);
        chkboxEVR->hide();
    }
    // Panel1 and the controls in it follow the window through their layouts.
    Panel14->setFixedWidth(width() / 2 + 60);
    ApplyStartColours();
    qApp->installEventFilter(this);
    if (!arguments.isEmpty()) PlayerState.CommandLineFile = arguments.first().toStdString();
    if (!PlayerState.CommandLineFile.empty()) FG.PrepareRender(PlayerState.CommandLineFile);
    LoadSettings();
    DisableFilterTrayUi();
    SetFfdshowPictureProps(1);
    ChooseFolderListFile();
    LoadFolderHistory();
    RegisterMissingFilters();
    // No driver to install: that step is for systems older than any Linux counts as.
    OpenFilterIniFile();
    ReadyTimer.SetEnabled(true);
    StartDesktopControls();
}

// Black behind the list and the picture, and the help text in front, unless the "at work"
// marker asks for the designed colours.
void TFormQuelm::ApplyStartColours() {
    if (FileExists(DriveRootPath("c:\\imatwork.txt"))) return;
    EVRVideoWindow1->SetColor(Qt::black);
    for (QWidget* control : std::initializer_list<QWidget*>{LvVideoSource, BigDirComboBox})
        SetColours(control, Qt::black, control->palette().color(QPalette::Text));
    if (PlayerState.DiagnosticMode) return;
    SetColours(IntroMemo, Qt::black, IntroMemo->palette().color(QPalette::Text));
    PictureStack->addWidget(IntroMemo);
    PictureStack->setCurrentWidget(IntroMemo);
    IntroMemo->raise();
}

void TFormQuelm::LoadSettings() {
    const TIniFile ini(SettingsFile());
    const int top = ini.ReadInteger(kSection, "FrmTop", 100);
    const int left = ini.ReadInteger(kSection, "FrmLeft", 100);
    const int width = ini.ReadInteger(kSection, "FrmWidth", 620);
    const int height = ini.ReadInteger(kSection, "FrmHeight", 400);
    const int volume = ini.ReadInteger(kSection, "Volumepos", kFullVolume);
    PlayerState.CurrentFolder = ini.ReadString(kSection, "VideoFolder", PlayerState.CurrentFolder);
    const bool stayOnTop = ini.ReadBool(kSection, "StayOnTop", false);
    rBtnLoop1->setChecked(ini.ReadBool(kSection, "Repeat1", rBtnLoop1->isChecked()));
    if (PlayerState.DiagnosticMode)
        chkboxEVR->setChecked(ini.ReadBool(kSection, "EVR", chkboxEVR->isChecked()));
    mnNoText->setChecked(ini.ReadBool(kSection, "NoText", mnNoText->isChecked()));
    mnResume->setChecked(ini.ReadBool(kSection, "ResumeWhereLeft", mnResume->isChecked()));
    chkboxZoomVertical->setChecked(
        ini.ReadBool(kSection, "VerticalZoom", chkboxZoomVertical->isChecked()));
    mnSubtitles->setChecked(ini.ReadBool(kSection, "Subtitles", mnSubtitles->isChecked()));

    SetStayOnTop(stayOnTop);
    ApplyPlace(left, top, width, height);
    TrackVolume->SetValue(volume);
    // A folder with a drive on Windows is an absolute path here.
    const bool absolute = !PlayerState.CurrentFolder.empty() && PlayerState.CurrentFolder[0] == '/';
    BigDirComboBox->setEditText(absolute ? QString::fromStdString(PlayerState.CurrentFolder)
                                         : kNoFolderText);
    ScanMediaFolder(PlayerState.CurrentFolder);
}

// The saved place, no larger than the primary screen's available area: a larger window would
// put its bottom bar and exit button (its only controls) off screen, so a window cut to size
// comes wholly onto that area. A place wholly outside every screen comes back onto it as well:
// a window without a caption there could not be reached. Other places partly off screen stay
// as saved, as the placements leave them.
void TFormQuelm::ApplyPlace(int left, int top, int width, int height) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize wanted = QSize(width, height).expandedTo(minimumSize());
    const QSize size = wanted.boundedTo(screen.size()).expandedTo(minimumSize());
    resize(size);
    auto limit = [](int value) {
        return std::clamp(value, -kLargestCoordinate, kLargestCoordinate);
    };
    QRect place(QPoint(limit(left), limit(top)), size);
    if (size != wanted || !OnSomeScreen(place)) place = OntoScreen(place, screen);
    move(place.topLeft());
}

void TFormQuelm::ChooseFolderListFile() {
    const std::string local = ProgramFolder() + "FolderLocation.txt";
    if (!FileExists(DriveRootPath("c:\\imhome.txt"))) {
        PlayerState.FolderListFile = local;
        return;
    }
    PlayerState.FolderListFile = DriveRootPath("c:\\build\\FolderLocation.txt");
    const QString target = QString::fromStdString(PlayerState.FolderListFile);
    if (!QFileInfo::exists(target)) QFile::copy(QString::fromStdString(local), target);
}

// Keeps the folders of the history file that still exist, and writes them back sorted.
void TFormQuelm::LoadFolderHistory() {
    const QString path = QString::fromStdString(PlayerState.FolderListFile);
    if (!QFileInfo(path).isFile()) return;
    const QString shownFolder = BigDirComboBox->currentText();
    lbTemp->clear();
    BigDirComboBox->clear();
    const QList<QByteArray> lines = ReadLines(path);
    for (const QByteArray& line : lines) {
        lbTemp->addItem(QString::fromUtf8(line));
        if (NamesFolder(line)) AddSortedFolder(*BigDirComboBox, QString::fromUtf8(line));
    }
    BigDirComboBox->setEditText(shownFolder);
    // A history that cannot be written back is reported; the start-up goes on regardless.
    Guard(this, [&] { WriteFolderHistory(*BigDirComboBox, path); });
    LoadFolderLinkMemo();
}

// The history file's text as it is now, for the test whether a folder is known already.
void TFormQuelm::LoadFolderLinkMemo() {
    QFile file(QString::fromStdString(PlayerState.FolderListFile));
    if (file.open(QIODevice::ReadOnly))
        FolderLinkMemo->setPlainText(QString::fromUtf8(file.readAll()));
}

void TFormQuelm::OpenFilterIniFile() {
    PlayerState.BrightnessValue = 0;
    PlayerState.FilterIniFile = std::make_unique<TIniFile>(ProgramFolder() + "bfilter.ini");
    PlayerState.BrightnessValue =
        PlayerState.FilterIniFile->ReadInteger("Brightness", "Value", PlayerState.BrightnessValue);
}

// The graph stops and goes before anything of the shutdown pumps events: an end of stream
// handled then would open the next file inside the shutdown and switch the screen saver off
// again, as a pending timer tick would start the command-line file. The graph goes while its
// members still exist, so none of them leaves a live pipeline.
void TFormQuelm::EndPlayback() {
    for (TThreadedTimer* timer : {&ReadyTimer, &ColorTimer, &DvDTimer}) timer->SetEnabled(false);
    Guard(this, [this] { FG.Stop(); });
    Guard(this, [this] { FG.SetActive(false); });
    FG.FinishTeardown();
}

void TFormQuelm::FormDestroy() {
    // There is no taskbar to show again: full screen covers the panels without hiding them.
    SetScreenSaverActive(true);
    EndOverlay();
    PlayerState.FilterIniFile.reset();
    const auto notNormal = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    if (!(windowState() & notNormal)) SaveSettings();
}

void TFormQuelm::SaveSettings() {
    TIniFile ini(SettingsFile());
    ini.WriteInteger(kSection, "FrmTop", y());
    if (x() < 3000) ini.WriteInteger(kSection, "FrmLeft", x());
    ini.WriteInteger(kSection, "FrmWidth", width());
    ini.WriteInteger(kSection, "FrmHeight", height());
    ini.WriteInteger(kSection, "Volumepos", TrackVolume->Value());
    ini.WriteString(kSection, "VideoFolder", BigDirComboBox->currentText().toStdString());
    ini.WriteBool(kSection, "StayOnTop", StayOnTop1->isChecked());
    ini.WriteBool(kSection, "Repeat1", rBtnLoop1->isChecked());
    if (PlayerState.DiagnosticMode) ini.WriteBool(kSection, "EVR", chkboxEVR->isChecked());
    ini.WriteBool(kSection, "NoText", mnNoText->isChecked());
    ini.WriteBool(kSection, "VerticalZoom", chkboxZoomVertical->isChecked());
    ini.WriteBool(kSection, "ResumeWhereLeft", mnResume->isChecked());
    ini.WriteBool(kSection, "Subtitles", mnSubtitles->isChecked());
}

void TFormQuelm::HandleAppException(QObject*, const std::exception& error) {
    if (!PlayerState.DiagnosticMode || PlayerState.Exiting) return;
    TErrorForm* form = OpenErrorForm();
    form->ShowInFront(this);
    if (PlayerState.DvdMode) return;
    form->SetErrorText(error.what());
}

void TFormQuelm::Guard(QObject* sender, const std::function<void()>& step) {
    try {
        try {
            step();
        } catch (const std::exception& error) {
            HandleAppException(sender, error);
        } catch (...) {
            HandleAppException(sender, std::runtime_error("Unknown error"));
        }
    } catch (...) {
        // The hook itself failed (out of memory): nothing is left to tell it to.
    }
}

bool TFormQuelm::eventFilter(QObject* watched, QEvent* event) {
    Guard(watched, [&] { HandleAppMessage(watched, event); });
    DispatchPictureEvent(watched, event);
    return event->type() == QEvent::KeyPress &&
           PreviewKey(watched, *static_cast<QKeyEvent*>(event));
}

// The window sees the keys of its controls first; the player's own keys go no further, except
// where the user types text.
bool TFormQuelm::PreviewKey(QObject* watched, const QKeyEvent& event) {
    auto* control = qobject_cast<QWidget*>(watched);
    QWidget* focus = QApplication::focusWidget();
    if (!control || control->window() != this || (control != focus && (focus || control != this)))
        return false;
    bool taken = false;
    if (!qobject_cast<QLineEdit*>(focus) && !qobject_cast<QPlainTextEdit*>(focus))
        Guard(watched, [&] { taken = FormKeyDown(event.key(), event.modifiers()); });
    if (!taken)
        for (QChar key : event.text()) Guard(watched, [&] { FormKeyPress(key); });
    return taken;
}

void TFormQuelm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Guard(this, [this] { FormResize(); });
}

void TFormQuelm::closeEvent(QCloseEvent* event) {
    event->accept();
    // The program runs until its player window closes, whatever other windows show.
    QCoreApplication::quit();
}

void TFormQuelm::btnExitClick() {
    // A graph that cannot stop must not keep the user from leaving.
    Guard(this, [this] { FG.Stop(); });
    FG.SetActive(false);
    PlayerState.Exiting = true;
    QCoreApplication::quit();
}

void TFormQuelm::OpenAnother1Click() {
    // The program folder holds the executable in portable use; otherwise it is this one.
    QString program = QString::fromStdString(ProgramFolder()) + "vexlo";
    if (!QFileInfo(program).isFile() || !QFileInfo(program).isExecutable())
        program = QCoreApplication::applicationFilePath();
    QProcess::startDetached(program, {});
}

void TFormQuelm::mnShowErrorMemoClick() {
    OpenErrorForm()->ShowInFront(this);
}

void TFormQuelm::Label1Click() {
    if (!FormIsOpen("FormFileType")) {
        FFormFileType = new TFormFileType(this);
        FFormFileType->OnException = [this](const std::exception& error) {
            HandleAppException(FFormFileType, error);
        };
    }
    FFormFileType->show();
    FFormFileType->raise();
    FFormFileType->activateWindow();
}
