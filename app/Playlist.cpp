// The playlist, the media folder and the folder history.
#include <QApplication>
#include <QCollator>
#include <QCollatorSortKey>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <QStackedLayout>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "app/Main.h"
#include "app/PlayerState.h"
#include "desktop/FunctionMix.h"
#include "pattern/Pattern.h"

namespace {

// A directory entry is listed when its name holds a match of this pattern. The dots are not
// escaped: "clip_mkv" is listed as well as "clip.mkv".
const TPattern& MediaNamePattern() {
    static const TPattern pattern(
        "(?i)(?x).wmv$|ts.ifo$|.vcd$|.mpg$|.mpeg$|.avi$|.asf$|.m4v$|.mp4$|.264$|.mp3$|.ogg$|"
        ".wma$|.wav$|.aac$|.cda$|.swf$|.flv$|.ram$|.rmvb$|.rm$|.rv$|.mov$|.qt$|.3gp$|.3g2$|"
        ".mkv$|.webm$|.m2ts$|.mpls$");
    return pattern;
}

// The formats that came later take their dot as a dot: unescaped, ".ts$" would list
// "Contacts" and ".wv$" any name ending in "wv". No ".vob": a DVD opens through its
// VIDEO_TS.IFO row.
constexpr std::string_view kMoreMediaExtensions[] = {
    ".flac", ".m4a", ".opus", ".oga", ".ogv",  ".mka", ".ts",   ".mts", ".m2t",
    ".wv",   ".aif", ".aiff", ".ogm", ".divx", ".3gp2", ".mp2", ".ac3"};

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
    if (name.size() <= suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(),
                      [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

// The role under which a row keeps its file name as the bytes on disc: a name that is not
// valid UTF-8 shows with replacement characters, yet the row must still reach its file.
constexpr int kFileNameRole = Qt::UserRole;
constexpr int kFolderRefreshMs = 250;

struct TMediaEntry {
    QByteArray FileName;
    QString Caption;
    QString SizeText;
    QCollatorSortKey SortKey;
};

// The user's locale orders the rows; the C locale has no order of its own beyond the bytes,
// which would put every capital before "a", so it sorts as English does.
QCollator RowCollator() {
    const QLocale locale;
    return QCollator(locale.language() == QLocale::C ? QLocale(QLocale::English) : locale);
}

QTreeWidgetItem* NewRow(const TMediaEntry& entry) {
    auto* row = new QTreeWidgetItem({entry.Caption, entry.SizeText});
    row->setData(0, kFileNameRole, entry.FileName);
    return row;
}

}  // namespace

bool IsMediaFileName(const std::string& name) {
    return MediaNamePattern().Matches(name) ||
           std::any_of(std::begin(kMoreMediaExtensions), std::end(kMoreMediaExtensions),
                       [&name](std::string_view extension) { return EndsWithNoCase(name, extension); });
}

bool IsDvdVolumePath(const std::string& path) {
    return MatchesPattern("(?i).IFO$", path);
}

void TFormQuelm::ScanMediaFolder(const std::string& folder) {
    LvVideoSource->clear();
    const QCollator collator = RowCollator();
    std::vector<TMediaEntry> entries;
    std::optional<EFOpenError> firstError;
    TSearchRec entry;
    for (int found = FindFirstEntry(folder + "*.*", faAnyFile, entry); found == 0;
         found = FindNextEntry(entry)) {
        if ((entry.Attr & faDirectory) || !IsMediaFileName(entry.Name)) continue;
        try {
            // One unreadable file must not hide the files after it: it is reported at the end.
            const std::string sizeText = FileSizeText(folder + entry.Name);
            const QString caption = QString::fromUtf8(entry.Name);
            entries.push_back({QByteArray::fromStdString(entry.Name), caption,
                               QString::fromStdString(sizeText), collator.sortKey(caption)});
        } catch (const EFOpenError& error) {
            if (!firstError) firstError = error;
        }
    }
    FindCloseEntry(entry);
    std::sort(entries.begin(), entries.end(), [](const TMediaEntry& a, const TMediaEntry& b) {
        return a.SortKey.compare(b.SortKey) < 0;
    });
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(entries.size()));
    for (const TMediaEntry& media : entries) rows.append(NewRow(media));
    LvVideoSource->addTopLevelItems(rows);
    WatchFolder(folder);
    // Reported, not raised: the handler that asked for the list still finishes its steps.
    if (firstError) HandleAppException(this, *firstError);
}

int TFormQuelm::RowCount() const {
    return LvVideoSource->topLevelItemCount();
}

int TFormQuelm::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = LvVideoSource->selectedItems();
    return selected.isEmpty() ? -1 : LvVideoSource->indexOfTopLevelItem(selected.first());
}

void TFormQuelm::SelectRow(int index) {
    QTreeWidgetItem* row = LvVideoSource->topLevelItem(index);
    if (!row) return;
    LvVideoSource->setCurrentItem(row);
    row->setSelected(true);
}

std::string TFormQuelm::RowFileName(int index) const {
    return LvVideoSource->topLevelItem(index)->data(0, kFileNameRole).toByteArray().toStdString();
}

std::string TFormQuelm::RowCaption(int index) const {
    return LvVideoSource->topLevelItem(index)->text(0).toStdString();
}

void TFormQuelm::btnOpenFolderClick() {
    const bool wasOnTop = StayOnTop1->isChecked();
    if (wasOnTop) {
        // Off the top, so that the folder dialog is not hidden behind the player.
        SetStayOnTop(false);
        lower();
    }
    LoadFolderLinkMemo();
    QString initial = BigDirComboBox->currentText();
    if (initial.endsWith('/')) initial.chop(1);
    Browse4Folder1->InitialDir = initial;
    Browse4Folder1->Execute();
    // A cancel leaves the folder, the list and the history as they were: listing the root
    // instead would lose the user's playlist for nothing.
    const QString chosen = Browse4Folder1->SelectedFolder();
    if (!chosen.isEmpty()) OpenFolder(chosen);
    raise();
    activateWindow();
    if (wasOnTop) SetStayOnTop(true);
}

void TFormQuelm::OpenFolder(const QString& folder) {
    PlayerState.CurrentFolder = AddBackslash(folder.toStdString());
    ScanMediaFolder(PlayerState.CurrentFolder);
    FG.Stop();
    BigDirComboBox->setEditText(QString::fromStdString(PlayerState.CurrentFolder));
    RememberFolder(QString::fromStdString(PlayerState.CurrentFolder));
    Panel14->show();
    Panel14->raise();
}

// A folder the history text does not hold yet (not even as part of a longer path) joins the
// history, or leaves it when it has gone meanwhile; the history file is then written anew.
void TFormQuelm::RememberFolder(const QString& folder) {
    if (FolderLinkMemo->toPlainText().contains(folder, Qt::CaseSensitive)) return;
    if (QFileInfo(folder).isDir()) {
        AddSortedFolder(*BigDirComboBox, folder);
    } else {
        const int index =
            BigDirComboBox->findText(folder, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0) BigDirComboBox->removeItem(index);
    }
    WriteFolderHistory(*BigDirComboBox, QString::fromStdString(PlayerState.FolderListFile));
}

void TFormQuelm::BigDirComboBoxSelect() {
    PlayerState.CurrentFolder = BigDirComboBox->currentText().toStdString();
    ScanMediaFolder(PlayerState.CurrentFolder);
    for (int i = BigDirComboBox->count() - 1; i >= 0; --i)
        if (!QFileInfo(BigDirComboBox->itemText(i)).isDir()) BigDirComboBox->removeItem(i);
    PlayerState.DvdMode = false;
}

void TFormQuelm::LvVideoSourceClick() {
    const int index = SelectedRow();
    if (index < 0) return;
    PlayerState.LastListIndex = index;
    FFailedInARow = 0;
    IntroMemo->hide();
    PlayerState.DvdMode = false;
    PlayerState.CommandLineFile.clear();
    ShowVideoWindow();
    FG.Stop();
    TrackProgress->SetValue(0);
    TrackSpeed->SetValue(2);
    // The help text in the box is no folder: the playlist then stands for the folder it shows.
    const QString shown = BigDirComboBox->currentText();
    if (!shown.contains("OpenFolder") && shown != kNoFolderText)
        PlayerState.CurrentFolder = shown.toStdString();
    else if (RowCount() == 0)
        return;
    PlayerState.MediaPath = PlayerState.CurrentFolder + RowFileName(index);
    PlayerState.MediaName = RowCaption(index);
    if (!FileExists(PlayerState.MediaPath)) {
        ShowMediaFileError(PlayerState.MediaPath);
        return;
    }
    const bool listShown = !Panel14->isHidden();
    Panel14->hide();
    const QString label = LbLOpenList->text();
    const QVariant labelTag = LbLOpenList->property("Tag");
    LbLOpenList->setProperty("Tag", 0);
    LbLOpenList->setText("Open");
    if (IsDvdVolumePath(PlayerState.MediaPath)) {
        PlayerState.DvdMode = true;
        OpenDvdVolume(PlayerState.MediaPath);
    } else {
        PlayerState.DvdMode = false;
        // The list stays in reach to pick another file, as for a file that vanished.
        OpenMediaOrShowError(PlayerState.MediaPath, [this, listShown, label, labelTag] {
            Panel14->setVisible(listShown);
            LbLOpenList->setText(label);
            LbLOpenList->setProperty("Tag", labelTag);
        });
    }
    ApplyVolume();
}

void TFormQuelm::LvVideoSourceDblClick() {
    TogglePlaylistPanel();
}

void TFormQuelm::LbLOpenListClick() {
    TogglePlaylistPanel();
}

// Opens the playlist panel over three quarters of the window (refreshing a list that has rows)
// or closes it; either way the row played last is selected and scrolled to the top.
void TFormQuelm::TogglePlaylistPanel() {
    if (LbLOpenList->property("Tag").toInt() == 0) {
        Panel14->show();
        Panel14->setFixedWidth(width() - width() / 4);
        Panel14->raise();
        LbLOpenList->setText("Close");
        LbLOpenList->setProperty("Tag", 1);
        if (RowCount() > 0) ScanMediaFolder(PlayerState.CurrentFolder);
    } else {
        Panel14->hide();
        Panel14->lower();
        LbLOpenList->setText("Open");
        LbLOpenList->setProperty("Tag", 0);
    }
    const int last = PlayerState.LastListIndex;
    if (last < 0 || last >= RowCount()) return;
    SelectRow(last);
    LvVideoSource->scrollToItem(LvVideoSource->topLevelItem(last),
                                QAbstractItemView::PositionAtTop);
}

// The file goes to the desktop's trash rather than away for good: a mis-click must not cost
// the user a film.
void TFormQuelm::mnDeleteFileClick() {
    const int index = SelectedRow();
    if (index < 0) return;
    const std::string path = PlayerState.CurrentFolder + RowFileName(index);
    if (!FileExists(path)) {
        QMessageBox::information(
            this, QApplication::applicationName(),
            QString::fromStdString(path) + " either not exist or still being processed!");
        return;
    }
    // Where there is no trash (or the name cannot be put into one) the file is deleted.
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    if (QFile::moveToTrash(file) || std::remove(path.c_str()) == 0)
        ScanMediaFolder(PlayerState.CurrentFolder);
}

// The list follows its folder while the program runs: changes are gathered for a moment, so
// a folder that receives many files at once is listed again only a few times a second.
void TFormQuelm::WatchFolder(const std::string& folder) {
    if (!FFolderWatch) {
        FFolderWatch = new QFileSystemWatcher(this);
        FFolderRefresh.setSingleShot(true);
        FFolderRefresh.setInterval(kFolderRefreshMs);
        connect(FFolderWatch, &QFileSystemWatcher::directoryChanged, this, [this] {
            if (!FFolderRefresh.isActive()) FFolderRefresh.start();
        });
        connect(&FFolderRefresh, &QTimer::timeout, this, Handler(&TFormQuelm::RefreshPlaylist));
    }
    const QString path = QFile::decodeName(QByteArray::fromStdString(folder));
    if (FFolderWatch->directories() == QStringList{path}) return;
    if (!FFolderWatch->directories().isEmpty())
        FFolderWatch->removePaths(FFolderWatch->directories());
    if (!path.isEmpty()) FFolderWatch->addPath(path);
}

// The selected row (the one playing) stays selected under its name; a folder that has gone
// leaves the list as it was.
void TFormQuelm::RefreshPlaylist() {
    const std::string& folder = PlayerState.CurrentFolder;
    if (folder.empty() || !QFileInfo(QFile::decodeName(QByteArray::fromStdString(folder))).isDir())
        return;
    const int selected = SelectedRow();
    const QByteArray selectedName =
        selected >= 0 ? QByteArray::fromStdString(RowFileName(selected)) : QByteArray();
    const int scrolled = LvVideoSource->verticalScrollBar()->value();
    ScanMediaFolder(folder);
    LvVideoSource->verticalScrollBar()->setValue(scrolled);
    for (int row = 0; row < RowCount() && !selectedName.isEmpty(); ++row) {
        if (QByteArray::fromStdString(RowFileName(row)) != selectedName) continue;
        SelectRow(row);
        PlayerState.LastListIndex = row;
        break;
    }
}

bool TFormQuelm::DroppedPath(const QMimeData& data, QString& path) const {
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) continue;
        const QFileInfo dropped(url.toLocalFile());
        if (dropped.isDir() || (dropped.isFile() && IsMediaFileName(dropped.fileName().toStdString()))) {
            path = dropped.absoluteFilePath();
            return true;
        }
    }
    return false;
}

void TFormQuelm::dragEnterEvent(QDragEnterEvent* event) {
    QString path;
    if (event->mimeData() && DroppedPath(*event->mimeData(), path)) event->acceptProposedAction();
}

// A dropped folder is as one chosen with the folder button; a dropped media file plays as one
// given on the command line.
void TFormQuelm::dropEvent(QDropEvent* event) {
    QString path;
    if (!event->mimeData() || !DroppedPath(*event->mimeData(), path)) return;
    event->acceptProposedAction();
    Guard(this, [&] {
        if (QFileInfo(path).isDir()) {
            OpenFolder(path);
            return;
        }
        PlayerState.CommandLineFile = QFile::encodeName(path).toStdString();
        PlayCommandLineFile();
    });
}
