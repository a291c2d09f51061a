#include "components/Browse4Folder.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <exception>

#include "platform/Paths.h"

namespace {

QString WithSlash(const QString& folder) {
    return folder.endsWith('/') ? folder : folder + '/';
}

// The standard location with a trailing "/", or the home folder when there is none.
QString Standard(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    return WithSlash(folder.isEmpty() ? QDir::homePath() : folder);
}

bool Has(unsigned flags, TBrowse4Folder::TOption option) {
    return flags & static_cast<unsigned>(option);
}

}  // namespace

TBrowse4Folder::TBrowse4Folder(QObject* parent) : QObject(parent) {}

QString TBrowse4Folder::RootFolder(TWinPaths root) {
    using L = QStandardPaths;
    switch (root) {
        case TWinPaths::Desktop:
            return Standard(L::DesktopLocation);
        case TWinPaths::StartMenu:
        case TWinPaths::StartMenuPrograms:
            return Standard(L::ApplicationsLocation);
        case TWinPaths::Startup:
            return Standard(L::GenericConfigLocation) + "autostart/";
        case TWinPaths::MyDocuments:
            return Standard(L::DocumentsLocation);
        case TWinPaths::ApplicationData:
            return Standard(L::GenericConfigLocation);
        case TWinPaths::LocalAppData:
            return Standard(L::GenericDataLocation);
        case TWinPaths::Fonts:
            return Standard(L::FontsLocation);
        case TWinPaths::Cache:
            return Standard(L::GenericCacheLocation);
        case TWinPaths::TempFolder:
            return Standard(L::TempLocation);
        case TWinPaths::Pictures:
            return Standard(L::PicturesLocation);
        case TWinPaths::DownloadFolder:
            return Standard(L::DownloadLocation);
        case TWinPaths::PCRootDrive:
            return QString::fromStdString(DriveRootPath("c:\\"));
        case TWinPaths::WindowsRoot:
            return "/";
        case TWinPaths::WindowsSystem:
            return "/usr/lib/";
        case TWinPaths::ProgramFiles:
            return "/usr/";
        case TWinPaths::CommonFiles:
            return "/usr/share/";
        default:
            return WithSlash(QDir::homePath());  // no Linux counterpart
    }
}

unsigned TBrowse4Folder::Flags() const {
    unsigned flags = 0;
    for (TOption option : Options) flags |= static_cast<unsigned>(option);
    return flags;
}

void TBrowse4Folder::Loaded() {
    if (InitialDir.isEmpty()) InitialDir = RootFolder(Root);
}

bool TBrowse4Folder::Execute() {
    FSelectedFolder.clear();
    try {
        FSelectedFolder = RunDialog();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QWidget* TBrowse4Folder::Owner() const {
    if (auto* widget = qobject_cast<QWidget*>(parent())) return widget->window();
    return QApplication::activeWindow();
}

// Qt's own dialog (not the desktop's) so that it takes the owner's stay-on-top hint and
// behaves the same everywhere. An accepted dialog without a selection answers its folder.
QString TBrowse4Folder::RunDialog() {
    QWidget* owner = Owner();
    QFileDialog dialog(owner);
    const unsigned flags = Flags();
    if (ShowTitle) dialog.setWindowTitle(Title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly, !Has(flags, TOption::ShowAlsoFiles));
    dialog.setOption(QFileDialog::ReadOnly, Has(flags, TOption::HideNewFolderButton));
    if (owner && (owner->windowFlags() & Qt::WindowStaysOnTopHint))
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setDirectory(InitialDir);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : QDir::cleanPath(chosen.first());
}
