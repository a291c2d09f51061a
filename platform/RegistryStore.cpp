#include "platform/RegistryStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <cstdio>
#include <map>
#include <mutex>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Paths.h"

namespace {

using Data = std::variant<std::uint32_t, std::string>;

struct Value {
    std::string name;
    Data data;
};

struct Key {
    std::string path;  // with its root, in the case it was created with
    std::vector<Value> values;
};

// Keys by their case-folded full path, so the file is written in that order.
using Hive = std::map<std::string, Key>;

const char* const kHeader = "Windows Registry Editor Version 5.00";

std::mutex& StoreMutex() {
    static std::mutex mutex;
    return mutex;
}

// Names compare as Windows compares them: without case. Only valid UTF-8 is folded as text;
// other bytes would all decode to the same replacement character and merge distinct names.
std::string Folded(const std::string& text) {
    const QString decoded = QString::fromStdString(text);
    if (decoded.toStdString() == text) return decoded.toCaseFolded().toStdString();
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// Pipes, devices and folders are neither read (a read could block for ever) nor replaced.
bool IsStorable(const std::string& filePath) {
    const QFileInfo info(QString::fromStdString(filePath));
    return !info.exists() || info.isFile();
}

const char* RootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    return nullptr;
}

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

// The components of a key path; empty ones (doubled or outer "\") are dropped.
std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The full paths of the key and of each of its ancestors, root first. Empty
// for an unknown root or a name the file could not hold.
std::vector<std::string> Lineage(HKEY root, const std::string& path) {
    const char* rootName = RootName(root);
    if (!rootName || HasControlCharacter(path)) return {};
    std::vector<std::string> lineage{rootName};
    for (const std::string& part : Components(path))
        lineage.push_back(lineage.back() + '\\' + part);
    return lineage;
}

// --- Reading -----------------------------------------------------------------

// Parses a quoted text starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> ParseQuoted(const std::string& text, size_t& pos) {
    std::string result;
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return result;
        }
        if (c == '\\' && ++pos < text.size()) {
            c = text[pos];
            c = c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        }
        result += c;
    }
    return std::nullopt;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseDword(const std::string& digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

// One value line: @=... or "name"=..., the data being dword:XXXXXXXX or "text".
std::optional<Value> ParseValue(const std::string& line) {
    Value value;
    size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else {
        auto name = ParseQuoted(line, pos);
        if (!name) return std::nullopt;
        value.name = *name;
    }
    if (pos >= line.size() || line[pos] != '=') return std::nullopt;
    std::string data = line.substr(pos + 1);
    if (data.rfind("dword:", 0) == 0) {
        auto number = ParseDword(data.substr(6));
        if (!number) return std::nullopt;
        value.data = *number;
        return value;
    }
    size_t start = 0;
    auto text = data.empty() || data[0] != '"' ? std::nullopt : ParseQuoted(data, start);
    if (!text || start != data.size()) return std::nullopt;
    value.data = *text;
    return value;
}

void PutValue(Key& key, Value value) {
    std::string folded = Folded(value.name);
    for (Value& existing : key.values) {
        if (Folded(existing.name) == folded) {
            existing.data = std::move(value.data);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

// A key header "[ROOT\path]" with a known root, or nothing.
std::optional<std::string> ParseKeyHeader(const std::string& line) {
    if (line.size() < 2 || line.back() != ']') return std::nullopt;
    std::string path = line.substr(1, line.size() - 2);
    std::string rootName = Folded(path.substr(0, path.find('\\')));
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER}) {
        if (rootName != Folded(RootName(root))) continue;
        size_t slash = path.find('\\');
        auto lineage = Lineage(root, slash == std::string::npos ? "" : path.substr(slash + 1));
        if (lineage.empty()) return std::nullopt;
        return lineage.back();
    }
    return std::nullopt;
}

std::string Trimmed(const std::string& line) {
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

Hive Parse(const std::string& text) {
    Hive hive;
    Key* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (line[0] == '[') {
            auto path = ParseKeyHeader(line);
            current =
                path ? &hive.try_emplace(Folded(*path), Key{*path, {}}).first->second : nullptr;
        } else if (current && (line[0] == '@' || line[0] == '"')) {
            if (auto value = ParseValue(line)) PutValue(*current, std::move(*value));
        }
    }
    return hive;
}

Hive Load(const std::string& filePath) {
    QFile file(QString::fromStdString(filePath));
    if (!IsStorable(filePath) || !file.open(QIODevice::ReadOnly)) return {};
    return Parse(file.readAll().toStdString());
}

// --- Writing -----------------------------------------------------------------

std::string Quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') result += '\\';
        if (c == '\n' || c == '\r') {
            result += c == '\n' ? "\\n" : "\\r";
            continue;
        }
        result += c;
    }
    return result + '"';
}

std::string Formatted(const Hive& hive) {
    std::string text = std::string(kHeader) + "\n";
    for (const auto& [folded, key] : hive) {
        text.append("\n[").append(key.path).append("]\n");
        for (const Value& value : key.values) {
            text.append(value.name.empty() ? "@" : Quoted(value.name));
            if (const auto* number = std::get_if<std::uint32_t>(&value.data)) {
                char digits[9];
                std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(*number));
                text.append("=dword:").append(digits).append("\n");
            } else {
                text.append("=").append(Quoted(std::get<std::string>(value.data))).append("\n");
            }
        }
    }
    return text;
}

bool Save(const std::string& filePath, const Hive& hive) {
    QSaveFile file(QString::fromStdString(filePath));
    if (!IsStorable(filePath) || !file.open(QIODevice::WriteOnly)) return false;
    std::string text = Formatted(hive);
    if (file.write(text.data(), static_cast<qint64>(text.size())) !=
        static_cast<qint64>(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// --- Lookups -----------------------------------------------------------------

// The key at root\path in the hive, or null (also for the root's own key when
// it holds no values yet and has never been written).
Key* Find(Hive& hive, HKEY root, const std::string& path) {
    auto lineage = Lineage(root, path);
    if (lineage.empty()) return nullptr;
    auto it = hive.find(Folded(lineage.back()));
    return it == hive.end() ? nullptr : &it->second;
}

std::optional<Data> ReadData(const std::string& filePath, HKEY root, const std::string& path,
                             const std::string& name) {
    std::lock_guard lock(StoreMutex());
    Hive hive = Load(filePath);
    Key* key = Find(hive, root, path);
    if (!key) return std::nullopt;
    std::string folded = Folded(name);
    for (const Value& value : key->values)
        if (Folded(value.name) == folded) return value.data;
    return std::nullopt;
}

bool WriteData(const std::string& filePath, HKEY root, const std::string& path,
               const std::string& name, Data data) {
    auto lineage = Lineage(root, path);
    if (lineage.empty() || HasControlCharacter(name)) return false;
    std::lock_guard lock(StoreMutex());
    Hive hive = Load(filePath);
    // A root is always there, even before anything was written under it.
    if (lineage.size() == 1) hive.try_emplace(Folded(lineage[0]), Key{lineage[0], {}});
    Key* key = Find(hive, root, path);
    if (!key) return false;
    PutValue(*key, Value{name, std::move(data)});
    return Save(filePath, hive);
}

}  // namespace

RegistryStore::RegistryStore() : FFilePath(ProgramFolderPath() + "Registry.reg") {}

RegistryStore::RegistryStore(std::string filePath) : FFilePath(std::move(filePath)) {}

bool RegistryStore::KeyExists(HKEY root, const std::string& path) const {
    auto lineage = Lineage(root, path);
    if (lineage.size() <= 1) return !lineage.empty();
    std::lock_guard lock(StoreMutex());
    return Load(FFilePath).count(Folded(lineage.back())) > 0;
}

bool RegistryStore::CreateKey(HKEY root, const std::string& path) {
    auto lineage = Lineage(root, path);
    if (lineage.empty()) return false;
    std::lock_guard lock(StoreMutex());
    Hive hive = Load(FFilePath);
    bool added = false;
    for (const std::string& fullPath : lineage)
        added |= hive.try_emplace(Folded(fullPath), Key{fullPath, {}}).second;
    return !added || Save(FFilePath, hive);
}

bool RegistryStore::SetDword(HKEY root, const std::string& path, const std::string& name,
                             std::uint32_t value) {
    return WriteData(FFilePath, root, path, name, value);
}

bool RegistryStore::SetString(HKEY root, const std::string& path, const std::string& name,
                              const std::string& value) {
    return WriteData(FFilePath, root, path, name, value);
}

std::optional<std::uint32_t> RegistryStore::Dword(HKEY root, const std::string& path,
                                                  const std::string& name) const {
    auto data = ReadData(FFilePath, root, path, name);
    if (!data || !std::holds_alternative<std::uint32_t>(*data)) return std::nullopt;
    return std::get<std::uint32_t>(*data);
}

std::optional<std::string> RegistryStore::String(HKEY root, const std::string& path,
                                                 const std::string& name) const {
    auto data = ReadData(FFilePath, root, path, name);
    if (!data || !std::holds_alternative<std::string>(*data)) return std::nullopt;
    return std::get<std::string>(*data);
}
