#include "platform/Shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/Paths.h"

// The entry's text is the installed entry's template, compiled in from resources/.
static void LoadShellResources() {
    Q_INIT_RESOURCE(Shell);
}

namespace {

constexpr char kDefaultsGroup[] = "[Default Applications]";

QString Native(const std::string& path) {
    return QString::fromStdString(path);
}

// Missing reads as empty; anything else that cannot be read raises.
std::string ReadFileText(const std::string& path) {
    const QFileInfo info(Native(path));
    if (!info.exists()) return {};
    QFile file(Native(path));
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw EShellError("Cannot read " + path + ": not a readable file");
    return file.readAll().toStdString();
}

bool IsReadOnly(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return false;
    return (status.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

void WriteFileText(const std::string& path, const std::string& text) {
    const QFileInfo info(Native(path));
    if (!QDir().mkpath(info.absolutePath()))
        throw EShellError("Cannot write " + path + ": its folder cannot be made");
    if (info.exists() && (!info.isFile() || IsReadOnly(path)))
        throw EShellError("Cannot write " + path + ": not a writable file");
    QSaveFile file(Native(path));
    const auto size = static_cast<qint64>(text.size());
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), size) != size || !file.commit())
        throw EShellError("Cannot write " + path + ": " + file.errorString().toStdString());
}

// Lines with their line ends, so the ones left alone are written back byte for byte.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t stop = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, stop - start));
        start = stop;
    }
    return lines;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string KeyOf(const std::string& line) {
    const size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : Trimmed(line.substr(0, equals));
}

std::string LineEnd(const std::string& line) {
    if (line.ends_with("\r\n")) return "\r\n";
    return line.ends_with('\n') ? "\n" : "";
}

// The text of mimeapps.list with mimeType's default set to the entry.
std::string WithDefault(const std::string& text, const std::string& mimeType) {
    std::vector<std::string> lines = Lines(text);
    const std::string assignment = mimeType + "=" + kDesktopEntryId;
    bool inGroup = false;
    bool replaced = false;
    size_t insertAt = std::string::npos;  // after the group's last non-blank line
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line = Trimmed(lines[i]);
        if (line.starts_with('[')) {
            inGroup = line == kDefaultsGroup;
            if (inGroup) insertAt = i + 1;
        } else if (inGroup && KeyOf(line) == mimeType) {
            lines[i] = assignment + LineEnd(lines[i]);
            replaced = true;
        } else if (inGroup && !line.empty()) {
            insertAt = i + 1;
        }
    }
    if (!replaced && insertAt == std::string::npos) {
        if (!lines.empty() && LineEnd(lines.back()).empty()) lines.back() += "\n";
        if (!lines.empty() && !Trimmed(lines.back()).empty()) lines.push_back("\n");
        lines.push_back(std::string(kDefaultsGroup) + "\n");
        insertAt = lines.size();
    }
    if (!replaced) {
        if (insertAt > 0 && LineEnd(lines[insertAt - 1]).empty()) lines[insertAt - 1] += "\n";
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), assignment + "\n");
    }
    std::string result;
    for (const std::string& line : lines) result += line;
    return result;
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        const std::string item = Trimmed(list.substr(start, end - start));
        if (!item.empty()) items.push_back(item);
        start = end + 1;
    }
    return items;
}

// The MIME types an entry's text lists.
std::vector<std::string> EntryMimeTypes(const std::string& entry) {
    for (const std::string& line : Lines(entry))
        if (KeyOf(line) == "MimeType") return SplitList(line.substr(line.find('=') + 1));
    return {};
}

std::string EntryTemplate() {
    LoadShellResources();
    QFile file(":/desktop/vexlo.desktop.in");
    if (!file.open(QIODevice::ReadOnly)) throw EShellError("The desktop entry template is missing");
    return file.readAll().toStdString();
}

// Characters that make an Exec argument need quotes.
bool NeedsQuotes(const std::string& argument) {
    return argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
}

}  // namespace

std::string ApplicationsFolder() {
    return XdgFolder("XDG_DATA_HOME", "/.local/share") + "applications/";
}

std::string MimeAppsListPath() {
    return XdgFolder("XDG_CONFIG_HOME", "/.config") + "mimeapps.list";
}

std::vector<std::string> PlayerMimeTypes() {
    return EntryMimeTypes(EntryTemplate());
}

std::string MimeTypeOfExtension(const std::string& extension) {
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(Native("x." + extension), QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? type.name().toStdString() : std::string();
}

std::string DesktopExecCommand(const std::string& exe) {
    // Two layers: the argument quoting of Exec, then the escapes of any desktop entry string.
    const bool quoted = NeedsQuotes(exe);
    std::string argument;
    for (char c : exe) {
        if (c == '%') argument += '%';  // a literal "%" is doubled, quoted or not
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) argument += '\\';
        argument += c;
    }
    if (quoted) argument = '"' + argument + '"';
    std::string escaped;
    for (char c : argument) {
        const size_t special = std::string_view("\\\n\t\r").find(c);
        if (special == std::string_view::npos) {
            escaped += c;
        } else {
            escaped += '\\';
            escaped += "\\ntr"[special];
        }
    }
    return escaped + " %f";
}

void RegisterDesktopEntry(const std::string& exe, const std::string& mimeType) {
    const std::string path = ApplicationsFolder() + kDesktopEntryId;
    // The user's entry hides an installed one of the same name, so it lists every type the
    // player handles, then whatever was associated besides.
    const std::string entryTemplate = EntryTemplate();
    std::vector<std::string> types = EntryMimeTypes(entryTemplate);
    for (const std::string& type : EntryMimeTypes(ReadFileText(path)))
        if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
    if (std::find(types.begin(), types.end(), mimeType) == types.end()) types.push_back(mimeType);
    std::string entry;
    for (const std::string& line : Lines(entryTemplate)) {
        const std::string key = KeyOf(line);
        if (key == "Exec") {
            entry += "Exec=" + DesktopExecCommand(exe) + "\n";
        } else if (key == "MimeType") {
            entry += "MimeType=";
            for (const std::string& type : types) entry += type + ";";
            entry += "\n";
        } else {
            entry += line;
        }
    }
    WriteFileText(path, entry);
}

void SetDefaultApplication(const std::string& mimeType) {
    const std::string path = MimeAppsListPath();
    WriteFileText(path, WithDefault(ReadFileText(path), mimeType));
}

void AssociateExtension(const std::string& extension, const std::string& exe) {
    const std::string mimeType = MimeTypeOfExtension(extension);
    if (mimeType.empty()) return;
    RegisterDesktopEntry(exe, mimeType);
    SetDefaultApplication(mimeType);
}

void NotifyAssociationsChanged() {
    const QString tool = QStandardPaths::findExecutable("update-desktop-database");
    if (!tool.isEmpty()) QProcess::startDetached(tool, {Native(ApplicationsFolder())});
}
