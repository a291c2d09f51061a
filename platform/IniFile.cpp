#include "platform/IniFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace {

constexpr std::string_view kBlanks = " \t\v\f";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kNewFileLineEnd = "\r\n";

// Empty results still point into Text, so offsets can be taken from them.
std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return text.substr(text.size());
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

struct TLine {
    std::string_view Text;
    std::string_view End;  // "\r\n", "\n", "\r", or empty for a last line without one
};

// The line starting at Position; Position moves past its line end.
TLine NextLine(std::string_view body, size_t& position) {
    const size_t stop = body.find_first_of("\r\n", position);
    if (stop == std::string_view::npos) {
        const TLine line{body.substr(position), {}};
        position = body.size();
        return line;
    }
    const bool crLf = body[stop] == '\r' && stop + 1 < body.size() && body[stop + 1] == '\n';
    const TLine line{body.substr(position, stop - position), body.substr(stop, crLf ? 2 : 1)};
    position = stop + line.End.size();
    return line;
}

enum class TLineKind { Other, Section, Key };

struct TEntry {
    TLineKind Kind = TLineKind::Other;
    std::string_view Name;
    std::string_view Value;  // of a key, trimmed, within the line
};

TEntry ParseLine(std::string_view text) {
    const std::string_view content = Trim(text);
    if (content.empty() || content[0] == ';' || content[0] == '#') return {};
    if (content[0] == '[') {
        const size_t close = content.find(']');
        if (close == std::string_view::npos) return {};
        return {TLineKind::Section, Trim(content.substr(1, close - 1)), {}};
    }
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos) return {};
    return {TLineKind::Key, Trim(content.substr(0, equals)), Trim(content.substr(equals + 1))};
}

// Where a section and one of its keys stand in the file's text.
struct TPlace {
    bool SectionFound = false;
    bool KeyFound = false;
    std::string_view Value;       // the key's trimmed value
    size_t LineTextEnd = 0;       // offset of the end of the key's line, before its line end
    size_t InsertAt = 0;          // offset after the last key (or the header) of the first header
    bool InsertNeedsEnd = false;  // that line is the file's last and has no line end
    std::string_view LineEnd = kNewFileLineEnd;  // the file's first line end
    TLine Last;                                  // the file's last line
};

// Without a key, stops at the first header of the section.
TPlace Locate(std::string_view body, std::string_view section,
              std::optional<std::string_view> key) {
    TPlace place;
    bool inSection = false;
    bool inFirstHeader = false;
    bool lineEndSeen = false;
    for (size_t position = 0; position < body.size();) {
        const size_t start = position;
        place.Last = NextLine(body, position);
        if (!lineEndSeen && !place.Last.End.empty()) {
            place.LineEnd = place.Last.End;
            lineEndSeen = true;
        }
        const TEntry entry = ParseLine(place.Last.Text);
        if (entry.Kind == TLineKind::Section) {
            inSection = SameName(entry.Name, section);
            inFirstHeader = inSection && !place.SectionFound;
            place.SectionFound = place.SectionFound || inSection;
            if (inSection && !key) return place;
        } else if (entry.Kind == TLineKind::Key && inSection && key && SameName(entry.Name, *key)) {
            place.KeyFound = true;
            place.Value = entry.Value;
            place.LineTextEnd = start + place.Last.Text.size();
            return place;
        }
        if (inFirstHeader && entry.Kind != TLineKind::Other) {
            place.InsertAt = position;
            place.InsertNeedsEnd = place.Last.End.empty();
        }
    }
    return place;
}

struct TFileContent {
    bool Usable = false;    // missing, or a regular file that could be read
    bool ReadOnly = false;  // present without write permission
    std::string Bytes;
};

TFileContent Load(const QString& path) {
    TFileContent content;
    const QByteArray native = QFile::encodeName(path);
    struct stat info;
    if (::stat(native.constData(), &info) != 0) {
        content.Usable = errno == ENOENT;
        return content;
    }
    // Devices, pipes and folders are never read (they could block or never end).
    if (!S_ISREG(info.st_mode)) return content;
    content.ReadOnly = (info.st_mode & 0222) == 0 || ::access(native.constData(), W_OK) != 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return content;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return content;
    content.Bytes.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    content.Usable = true;
    return content;
}

// The file's text without its byte order mark.
std::string_view Body(std::string_view bytes) {
    if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
    return bytes;
}

std::optional<std::string> StoredValue(const std::string& fileName, const std::string& section,
                                       const std::string& key) {
    const TFileContent file = Load(QString::fromStdString(fileName));
    const TPlace place = Locate(Body(file.Bytes), Trim(section), Trim(key));
    if (!place.KeyFound) return std::nullopt;
    return std::string(place.Value);
}

std::optional<int> ParseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t magnitude = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, magnitude, base);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    if (magnitude > (negative ? 2147483648u : 2147483647u)) return std::nullopt;
    return static_cast<int>(negative ? -static_cast<int64_t>(magnitude)
                                     : static_cast<int64_t>(magnitude));
}

bool StorableNames(std::string_view section, std::string_view key) {
    return !section.empty() && !key.empty() &&
           section.find_first_of("]\r\n") == std::string_view::npos &&
           key.find_first_of("=\r\n") == std::string_view::npos && key.find_first_of("[;#") != 0;
}

// The file's text with the key holding Value and every other byte kept.
std::string Rewritten(std::string_view body, std::string_view section, std::string_view key,
                      std::string_view value) {
    const TPlace place = Locate(body, section, key);
    if (place.KeyFound) {
        const size_t valueStart = static_cast<size_t>(place.Value.data() - body.data());
        return std::string(body.substr(0, valueStart))
            .append(value)
            .append(body.substr(place.LineTextEnd));
    }
    std::string added;
    size_t at = body.size();
    if (place.SectionFound) {
        at = place.InsertAt;
        if (place.InsertNeedsEnd) added += place.LineEnd;
    } else {
        if (!body.empty()) {
            // End the last line if it has no end, then leave a blank line; after a CR end
            // in its style, as a LF would join it.
            const std::string_view end = place.Last.End.empty() ? place.LineEnd : place.Last.End;
            if (place.Last.End.empty()) added += end;
            if (!Trim(place.Last.Text).empty()) added += end;
        }
        added.append("[").append(section).append("]").append(place.LineEnd);
    }
    added.append(key).append("=").append(value).append(place.LineEnd);
    // A CR end must not join a LF that follows into one line end.
    if (added.back() == '\r' && at < body.size() && body[at] == '\n') added += '\n';
    return std::string(body.substr(0, at)).append(added).append(body.substr(at));
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    return StoredValue(FFileName, section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
    const std::optional<std::string> stored = StoredValue(FFileName, section, key);
    return stored ? ParseInteger(*stored).value_or(defaultValue) : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string& section) const {
    const TFileContent file = Load(QString::fromStdString(FFileName));
    return Locate(Body(file.Bytes), Trim(section), std::nullopt).SectionFound;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return StoredValue(FFileName, section, key).has_value();
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = Trim(key);
    if (!StorableNames(sectionName, keyName))
        throw EIniFileException("Invalid section or key name for " + FFileName);
    const QString path = QString::fromStdString(FFileName);
    const TFileContent file = Load(path);
    if (!file.Usable || file.ReadOnly) throw EIniFileException("Unable to write to " + FFileName);
    const std::string_view body = Body(file.Bytes);
    const std::string_view storedValue =
        std::string_view(value).substr(0, value.find_first_of("\r\n"));
    std::string bytes(file.Bytes, 0, file.Bytes.size() - body.size());  // the byte order mark
    bytes += Rewritten(body, sectionName, keyName, storedValue);
    QSaveFile out(path);
    const qint64 size = static_cast<qint64>(bytes.size());
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes.data(), size) != size || !out.commit())
        throw EIniFileException("Unable to write to " + FFileName);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}
