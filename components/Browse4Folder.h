// TBrowse4Folder: asks the user for a folder with Qt's directory dialog, starting at
// InitialDir. Paths use "/"; SelectedFolder has no trailing "/" (except the root itself).
#pragma once

#include <QFileDialog>
#include <QObject>
#include <QString>
#include <set>

class TBrowse4Folder : public QObject {
  public:
    // Well-known folders; the Windows-only ones fall back to the home folder or a system
    // folder (see RootFolder).
    enum class TWinPaths {
        Desktop,
        StartMenu,
        StartMenuPrograms,
        Startup,
        MyDocuments,
        ApplicationData,
        Fonts,
        SendTo,
        MyRecentDocuments,
        Favorites,
        Cache,
        Cookies,
        History,
        NetHood,
        PrintHood,
        Templates,
        LocalAppData,
        WindowsRoot,
        WindowsSystem,
        TempFolder,
        PCRootDrive,
        ProgramFiles,
        CommonFiles,
        Pictures,
        DownloadFolder
    };

    // Dialog options, each valued as its folder-dialog flag. Of them, ShowAlsoFiles lists
    // files as well and HideNewFolderButton makes the dialog read-only (no new folders);
    // the others do not change Qt's dialog.
    enum class TOption : unsigned {
        OnlySelectFileSysDir = 0x1,
        NoNetDirBelowDomain = 0x2,
        ShowStatusText = 0x4,
        OnlySelectFileSysAncestors = 0x8,
        ShowEditBox = 0x10,
        ValidateEditBox = 0x20,
        UseNewDialogStyle = 0x40,
        HideNewUserInterface = 0x50,
        ShowAlsoURLs = 0x80,
        ShowUsageHint = 0x100,
        HideNewFolderButton = 0x200,
        DontTranslateShortcuts = 0x400,
        OnlySelectComputers = 0x1000,
        OnlySelectPrinters = 0x2000,
        ShowAlsoFiles = 0x4000,
        ShowShareableRes = 0x8000
    };
    using TOptions = std::set<TOption>;

    // The dialog's owner is `parent` when it is a widget, else the active window.
    explicit TBrowse4Folder(QObject* parent = nullptr);

    QString Title;
    bool ShowTitle = true;
    QString InitialDir;
    TWinPaths Root = TWinPaths::Desktop;
    TOptions Options{TOption::ShowEditBox, TOption::UseNewDialogStyle};

    const QString& SelectedFolder() const { return FSelectedFolder; }
    // The OR of the options' flags.
    unsigned Flags() const;

    // To call once the properties are set: an empty InitialDir becomes the Root folder.
    void Loaded();
    // Runs the dialog. True unless an error was raised; a cancel gives True and an empty
    // SelectedFolder.
    bool Execute();

    // The Linux folder standing for `root`, with a trailing "/".
    static QString RootFolder(TWinPaths root);

  private:
    QString RunDialog();
    QWidget* Owner() const;

    QString FSelectedFolder;
};
