#include "platform/Paths.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Absolute, with a trailing "/", and present on disc (best effort: a folder
// that cannot be made shows up later as failing writes, not here).
std::string PreparedFolder(const std::string& folder) {
    QString absolute = QFileInfo(QString::fromStdString(folder)).absoluteFilePath();
    QDir().mkpath(absolute);
    return WithTrailingSlash(absolute.toStdString());
}

std::string ExecutableFolder() {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    std::string path(buffer, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
    // An XDG variable that is not an absolute path is to be ignored.
    std::string folder = Environment(variable);
    if (folder.empty() || folder.front() != '/') folder = Environment("HOME") + fallbackBelowHome;
    return WithTrailingSlash(folder);
}

std::string InstalledImagesFolder(const std::string& executableFolder) {
    return executableFolder + "../share/vexlo/BackGround";
}

void ProvideProgramImages(const std::string& programFolder, const std::string& executableFolder) {
    const QString images = QString::fromStdString(programFolder) + "BackGround";
    if (QFileInfo::exists(images)) return;
    // An installed program's images, else those built beside the executable.
    QDir installed(QString::fromStdString(InstalledImagesFolder(executableFolder)));
    if (!installed.exists()) installed.setPath(QString::fromStdString(executableFolder) + "BackGround");
    if (!installed.exists()) return;
    QDir().mkpath(images);
    for (const QString& name : installed.entryList(QDir::Files))
        QFile::copy(installed.filePath(name), images + "/" + name);
}

std::string ProgramFolderPath() {
    std::string home = Environment("VEXLO_HOME");
    std::string executable = ExecutableFolder();
    if (!home.empty()) {
        // A folder of the user's choosing gets the images as the installed one does.
        const std::string folder = PreparedFolder(home);
        ProvideProgramImages(folder, executable);
        return folder;
    }
    // An installed program never writes beside its executable, even where it could (a prefix
    // such as ~/.local, or a system prefix run by root).
    const bool portable =
        !executable.empty() && access(executable.c_str(), W_OK) == 0 &&
        !QFileInfo(QString::fromStdString(InstalledImagesFolder(executable))).isDir();
    if (portable) return executable;
    const std::string folder = PreparedFolder(XdgFolder("XDG_CONFIG_HOME", "/.config") + "vexlo/");
    ProvideProgramImages(folder, executable);
    return folder;
}

std::string DriveRootPath(const std::string& windowsPath) {
    std::string path = windowsPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    bool hasDrive =
        path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    if (!hasDrive) return path;
    std::string root = Environment("VEXLO_DRIVE_ROOT");
    root = root.empty() ? std::string("/") : WithTrailingSlash(root);
    std::string rest = path.substr(2);
    rest.erase(0, rest.find_first_not_of('/'));
    return root + rest;
}
