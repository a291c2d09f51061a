// Fuzzes the registry stand-in's file ("Registry.reg"), which the player loads at
// every start. A damaged file must read as what is still readable; a write must
// store its value, lose no other key or value, leave no temporary file, fail
// without touching the file, and produce a file that reloads to itself.
//
// Input: [flags][pick] \x1F key path \x1F value name \x1F value \x1E file bytes.
//   flags & 1:  HKEY_CURRENT_USER, else HKEY_CLASSES_ROOT
//   flags & 2:  the root and key path are one of the file's (pick), not the field
//   flags & 4:  the value name is that one's, not the field
//   flags & 8:  write a DWORD (the value's first four bytes), else a string
//   flags & 16: create the key first
//   flags & 32: an unknown root (HKEY_LOCAL_MACHINE): every call must fail
//   flags & 64: there is no file (the body is ignored)
// Without a head the body is the file and the first value found is rewritten.
#include <cstring>
#include <optional>

#include "platform/RegistryStore.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr const char* kFileName = "Registry.reg";
constexpr std::string_view kFileHeader = "Windows Registry Editor Version 5.00\n";
constexpr HKEY kUnknownRoot = 0x80000002u;
constexpr size_t kMaxNames = 16;  // each query re-loads the file: keep an input cheap

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

bool Plain(std::string_view text) {
    return std::none_of(text.begin(), text.end(), IsControl);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return lower;
}

// The key path with empty components dropped, ASCII letters lower-cased.
std::string Normalised(std::string_view path) {
    std::string result;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) result.append("\\").append(AsciiLower(path.substr(start, end - start)));
        start = end + 1;
    }
    return result;
}

// A value as the test names it: its root, key path and value name.
struct TName {
    HKEY Root = HKEY_CURRENT_USER;
    std::string Path;
    std::string Value;
};

std::string Described(const TName& name) {
    return (name.Root == HKEY_CURRENT_USER ? "HKCU " : "HKCR ") + Escaped(name.Path) + " " +
           Escaped(name.Value);
}

std::string_view TrimLine(std::string_view line) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

std::optional<HKEY> RootNamed(std::string_view name) {
    if (AsciiLower(name) == "hkey_current_user") return HKEY_CURRENT_USER;
    if (AsciiLower(name) == "hkey_classes_root") return HKEY_CLASSES_ROOT;
    return std::nullopt;
}

std::string Unquoted(std::string_view text) {
    std::string name;
    for (size_t i = 1; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            name += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            name += text[i];
        }
    }
    return name;
}

// The keys and value names the file seems to hold, found by a loose scan of
// its lines (the store decides what really counts; this only picks questions).
std::vector<TName> NamesIn(std::string_view text) {
    std::vector<TName> names;
    std::optional<TName> key;
    while (!text.empty() && names.size() < kMaxNames) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = TrimLine(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string_view path = line.substr(1, line.size() - 2);
            const size_t slash = std::min(path.find('\\'), path.size());
            const std::optional<HKEY> root = RootNamed(path.substr(0, slash));
            key.reset();
            if (!root) continue;
            key = TName{*root, std::string(path.substr(std::min(slash + 1, path.size()))), {}};
            names.push_back(*key);
        } else if (key && !line.empty() && (line[0] == '@' || line[0] == '"')) {
            names.push_back({key->Root, key->Path, line[0] == '@' ? "" : Unquoted(line)});
        }
    }
    return names;
}

struct TReading {
    bool KeyExists = false;
    std::optional<std::uint32_t> Dword;
    std::optional<std::string> String;
    bool operator==(const TReading&) const = default;
};

TReading Read(const RegistryStore& store, const TName& name) {
    TReading reading{store.KeyExists(name.Root, name.Path),
                     store.Dword(name.Root, name.Path, name.Value),
                     store.String(name.Root, name.Path, name.Value)};
    Check(!reading.Dword || !reading.String,
          [&] { return "a DWORD and a string at once: " + Described(name); });
    Check(reading.KeyExists || (!reading.Dword && !reading.String),
          [&] { return "a value of a missing key: " + Described(name); });
    return reading;
}

std::vector<TReading> ReadAll(const RegistryStore& store, const std::vector<TName>& names) {
    std::vector<TReading> readings;
    for (const TName& name : names) readings.push_back(Read(store, name));
    return readings;
}

struct TWrite {
    TName Name;
    bool Dword = false;
    std::uint32_t Number = 0;
    std::string Text;
    bool CreateFirst = false;
};

TWrite ChooseWrite(const TFuzzInput& input, const std::vector<TName>& found) {
    const uint8_t flags = input.HasHead ? ControlByte(input.Head[0], 0) : 6;
    const uint8_t pick = ControlByte(input.Head[0], 1);
    TWrite write;
    write.Name = {flags & 1 ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT, std::string(input.Head[1]),
                  std::string(input.Head[2])};
    if (!found.empty()) {
        const TName& other = found[pick % found.size()];
        if (flags & 2) {
            write.Name.Root = other.Root;
            write.Name.Path = other.Path;
        }
        if (flags & 4) write.Name.Value = other.Value;
    }
    if (flags & 32) write.Name.Root = kUnknownRoot;
    write.Dword = flags & 8;
    if (!input.Head[3].empty())
        std::memcpy(&write.Number, input.Head[3].data(), std::min(input.Head[3].size(), size_t{4}));
    write.Text = input.Head[3];
    write.CreateFirst = flags & 16;
    return write;
}

bool DoWrite(RegistryStore& store, const TWrite& write) {
    const TName& name = write.Name;
    return write.Dword ? store.SetDword(name.Root, name.Path, name.Value, write.Number)
                       : store.SetString(name.Root, name.Path, name.Value, write.Text);
}

// Whether a reading is the value just written.
bool HoldsWritten(const TReading& reading, const TWrite& write) {
    return write.Dword ? reading.Dword == write.Number && !reading.String
                       : reading.String == write.Text && !reading.Dword;
}

// Every value read before reads the same after, but the one written. Names that
// differ only by ASCII case are that one; plain ASCII names that differ are not.
void CheckNothingLost(const std::vector<TName>& names, const std::vector<TReading>& before,
                      const std::vector<TReading>& after, const TWrite& write) {
    const TName& written = write.Name;
    for (size_t i = 0; i < names.size(); ++i) {
        const TName& name = names[i];
        const bool same = name.Root == written.Root &&
                          Normalised(name.Path) == Normalised(written.Path) &&
                          AsciiLower(name.Value) == AsciiLower(written.Value);
        const bool distinct =
            !same && IsAscii(name.Path + name.Value + written.Path + written.Value);
        auto report = [&] {
            return "writing " + Described(written) + " changed " + Described(name);
        };
        Check(after[i].KeyExists || !before[i].KeyExists, report);
        if (same) {
            Check(HoldsWritten(after[i], write), report);
        } else if (distinct) {
            Check(after[i] == before[i], report);
        } else {
            Check(after[i] == before[i] || HoldsWritten(after[i], write), report);
        }
    }
}

void CheckUnchanged(const TScratchFolder& folder, const std::string& path, bool missing,
                    const std::string& oldBytes, const char* call) {
    Check(missing ? !FileExists(path) : ReadBytes(path) == oldBytes,
          [&] { return std::string("a failed ") + call + " changed the file"; });
    Check(folder.Entries().size() == (missing ? 0u : 1u),
          [&] { return "left in the folder: " + Joined(folder.Entries()); });
}

// The written file, loaded by a fresh store and given the same write, stays the same.
void CheckReloads(const std::string& path, const TWrite& write, const std::vector<TName>& names,
                  const std::vector<TReading>& readings) {
    const std::string written = ReadBytes(path);
    Check(written.starts_with(kFileHeader), [&] { return "no header: " + Escaped(written); });
    RegistryStore reloaded(path);
    Check(ReadAll(reloaded, names) == readings, [&] { return "a reload reads otherwise"; });
    Check(DoWrite(reloaded, write), [&] { return "the same write failed after a reload"; });
    const std::string again = ReadBytes(path);
    Check(again == written, [&] {
        return "the file does not reload to itself: " + Escaped(written) + " became " +
               Escaped(again);
    });
}

bool KnownRoot(HKEY root) {
    return root == HKEY_CURRENT_USER || root == HKEY_CLASSES_ROOT;
}

// Creating a key (and its parents) changes no value; returns the readings after.
std::vector<TReading> CheckCreate(RegistryStore& store, const TScratchFolder& folder,
                                  const TWrite& write, const std::vector<TName>& names,
                                  const std::vector<TReading>& before) {
    const std::string& path = store.FilePath();
    const bool fileBefore = FileExists(path);
    const std::string bytesBefore = fileBefore ? ReadBytes(path) : std::string();
    const bool created = store.CreateKey(write.Name.Root, write.Name.Path);
    Check(created || !KnownRoot(write.Name.Root) || !Plain(write.Name.Path),
          [&] { return "could not create " + Described(write.Name); });
    if (!created) {
        CheckUnchanged(folder, path, !fileBefore, bytesBefore, "CreateKey");
        return before;
    }
    const std::vector<TReading> after = ReadAll(store, names);
    Check(after.back().KeyExists, [&] { return "created but missing: " + Described(write.Name); });
    for (size_t i = 0; i + 2 < names.size(); ++i)
        Check(after[i].Dword == before[i].Dword && after[i].String == before[i].String &&
                  after[i].KeyExists >= before[i].KeyExists,
              [&] { return "creating a key changed " + Described(names[i]); });
    return after;
}

void CheckSet(RegistryStore& store, const TScratchFolder& folder, const TWrite& write,
              const std::vector<TName>& names, const std::vector<TReading>& before) {
    const std::string& path = store.FilePath();
    const bool fileBefore = FileExists(path);
    const std::string bytesBefore = fileBefore ? ReadBytes(path) : std::string();
    const bool written = DoWrite(store, write);
    const bool keyThere = KnownRoot(write.Name.Root) && before.back().KeyExists;
    Check(written || !keyThere || !Plain(write.Name.Value) || !Plain(write.Name.Path),
          [&] { return "could not write " + Described(write.Name); });
    Check(!written || keyThere, [&] { return "wrote into a missing key"; });
    if (!written) return CheckUnchanged(folder, path, !fileBefore, bytesBefore, "write");
    Check(folder.Entries() == std::vector<std::string>{kFileName},
          [&] { return "left in the folder: " + Joined(folder.Entries()); });
    const std::vector<TReading> after = ReadAll(store, names);
    CheckNothingLost(names, before, after, write);
    CheckReloads(path, write, names, after);
}

std::vector<std::string> Seeds() {
    const std::string filters =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\GNU\\ffdshow\\default]\n"
        "\"isPictProp\"=dword:00000001\n\"xsharpen\"=dword:00000000\n@=\"avifile\"\n\n"
        "[HKEY_CLASSES_ROOT\\.avi]\n@=\"Vexlo.avi\"\n\n"
        "[HKEY_CLASSES_ROOT\\Vexlo.avi\\shell\\open\\command]\n"
        "@=\"\\\"/opt/vexlo/vexlo\\\" \\\"%1\\\"\"\n";
    return {
        filters,
        SeedInput({"\x03\x01", "", "", std::string_view("\x02\x00\x00\x00", 4)}, filters),
        SeedInput({"\x17", "Software\\Haali\\Matroska Splitter", "Enabled", "x"}, filters),
        SeedInput({"\x01", "Software\\GNU\\FFDSHOW\\Default", "IsPictProp", "C:\\a\"b\nc"},
                  filters),
        SeedInput({"\x50", ".mkv", "", "Vexlo.mkv"}, ""),
        SeedInput({"\x21", "", "x", "y"}, filters),
        SeedInput({"\x06\x02", "", "", "text"},
                  "\xFF\xFE garbage\r\n[hkey_current_user\\A\\\\B\\]\r\n"
                  "\"a\"=dword:1\r\n\"A\"=\"twice\"\r\n\"b\"=\"unterminated\r\n"
                  "\"c\\\\\"=\"x\" trailing\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"d\"=\"lost\"\r\n"
                  "  [HKEY_CLASSES_ROOT]  \r\n@=dword:ffffffff\r\n"),
    };
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    PlantSeeds(*argc, *argv, Seeds());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TScratchFolder folder;
    folder.Clear();
    const TFuzzInput input = SplitInput(data, size, 4);
    const bool missing = input.HasHead && (ControlByte(input.Head[0], 0) & 64);
    const std::string path = folder.Path() + kFileName;
    const std::string bytes = missing ? std::string() : std::string(input.Body);
    if (!missing) WriteBytes(path, bytes);

    RegistryStore store(path);
    std::vector<TName> names = NamesIn(bytes);
    const TWrite write = ChooseWrite(input, names);
    // The last two: the value written and its key's default value.
    names.push_back(write.Name);
    names.push_back({write.Name.Root, write.Name.Path, ""});
    std::vector<TReading> readings = ReadAll(store, names);
    if (write.CreateFirst) readings = CheckCreate(store, folder, write, names, readings);
    CheckSet(store, folder, write, names, readings);
    return 0;
}
