#pragma once
// Where the program keeps its files and where the fixed "c:\" marker paths of
// the original land on Linux.
#include <string>

// The folder every program file lives in ("Quelm.ini", "bfilter.ini", the
// registry file, ...), always ending in "/". VEXLO_HOME wins; otherwise the
// executable's folder when it is writable and not an installed one (portable use);
// otherwise $XDG_CONFIG_HOME/vexlo/ ($HOME/.config/vexlo/ when unset), created on
// demand.
std::string ProgramFolderPath();

// An XDG base folder ending in "/": the variable's value when it is an absolute path, otherwise
// $HOME + fallbackBelowHome ("/.config" for XDG_CONFIG_HOME).
std::string XdgFolder(const char* variable, const char* fallbackBelowHome);

// An installed program keeps its images in <prefix>/share/vexlo/BackGround/; a program folder
// of its own (the XDG one) gets a copy of them when it has no "BackGround" folder yet, so a
// user's own changes there are never overwritten. Called by ProgramFolderPath.
// Where an installed program's images are: <prefix>/share/vexlo/BackGround beside
// <prefix>/bin/. Their presence is what marks an executable's folder as an installed one.
std::string InstalledImagesFolder(const std::string& executableFolder);
void ProvideProgramImages(const std::string& programFolder, const std::string& executableFolder);

// Maps a drive path such as "c:\imhome.txt" or "c:\build\FolderLocation.txt"
// onto the system drive root ("/" or VEXLO_DRIVE_ROOT): "/imhome.txt",
// "/build/FolderLocation.txt". A path without a drive letter keeps its place;
// backslashes become "/" either way.
std::string DriveRootPath(const std::string& windowsPath);
