// Fuzzes the private-profile files the player loads at every start ("Quelm.ini",
// "bfilter.ini"). Every read must agree with a reference reader written from the
// rules in platform/IniFile.h; then one write must store its value, keep every
// other line byte for byte and every other value as it was, leave no temporary
// file, and fail cleanly (file untouched) where the header says it fails.
//
// Input: [flags][pick] \x1F section \x1F key \x1F value \x1E file bytes.
//   flags & 3:  write kind (0, 3 string; 1 integer from the value's bytes; 2 bool)
//   flags & 4:  the file has no write permission
//   flags & 8:  there is no file (the body is ignored)
//   flags & 16: the section is one of the file's (pick & 15), not the field
//   flags & 32: the key is one of that section's (pick >> 4), not the field
// Without a head the body is the file and both names come from it.
#include <sys/stat.h>

#include <cstring>
#include <optional>

#include "platform/IniFile.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::string_view kBlanks = " \t\v\f";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kFileName = "Quelm.ini";
constexpr size_t kMaxCheckedKeys = 12;  // reads re-load the file: keep an input cheap

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

struct TLine {
    std::string_view Text;
    std::string_view End;  // CR LF, LF, CR, or empty on a last line without one
    bool operator==(const TLine&) const = default;
};

std::vector<TLine> Lines(std::string_view body) {
    std::vector<TLine> lines;
    while (!body.empty()) {
        const size_t stop = body.find_first_of("\r\n");
        if (stop == std::string_view::npos) {
            lines.push_back({body, {}});
            break;
        }
        const size_t endSize = body.substr(stop, 2) == "\r\n" ? 2 : 1;
        lines.push_back({body.substr(0, stop), body.substr(stop, endSize)});
        body.remove_prefix(stop + endSize);
    }
    return lines;
}

std::string_view Body(std::string_view bytes) {
    return bytes.starts_with(kByteOrderMark) ? bytes.substr(kByteOrderMark.size()) : bytes;
}

// The file's first line end, or CR LF when it has none.
std::string_view FileLineEnd(const std::vector<TLine>& lines) {
    for (const TLine& line : lines)
        if (!line.End.empty()) return line.End;
    return "\r\n";
}

// --- The reference reader -------------------------------------------------------

struct TRefKey {
    std::string_view Section;
    std::string_view Name;
    std::string_view Value;
};

struct TRefIni {
    std::vector<std::string_view> Sections;  // every header, in file order
    std::vector<TRefKey> Keys;               // every key under a header, in file order

    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const {
        for (const TRefKey& entry : Keys)
            if (SameName(entry.Section, section) && SameName(entry.Name, key)) return entry.Value;
        return std::nullopt;
    }
    bool HasSection(std::string_view section) const {
        return std::any_of(Sections.begin(), Sections.end(),
                           [&](std::string_view name) { return SameName(name, section); });
    }
};

TRefIni ReadReference(std::string_view bytes) {
    TRefIni ini;
    std::optional<std::string_view> section;
    for (const TLine& line : Lines(Body(bytes))) {
        const std::string_view text = Trim(line.Text);
        if (text.empty() || text[0] == ';' || text[0] == '#') continue;
        if (text[0] == '[') {
            const size_t close = text.find(']');
            if (close == std::string_view::npos) continue;
            section = Trim(text.substr(1, close - 1));
            ini.Sections.push_back(*section);
            continue;
        }
        const size_t equals = text.find('=');
        if (equals == std::string_view::npos || !section) continue;
        ini.Keys.push_back({*section, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1))});
    }
    return ini;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

std::optional<int> ReferenceInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    int64_t magnitude = 0;
    for (const char c : text) {
        const int digit = DigitValue(c);
        if (digit >= base) return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > 2147483648LL) return std::nullopt;
    }
    if (!negative && magnitude > 2147483647LL) return std::nullopt;
    return static_cast<int>(negative ? -magnitude : magnitude);
}

bool StorableNames(std::string_view section, std::string_view key) {
    return !section.empty() && !key.empty() &&
           section.find_first_of("]\r\n") == std::string_view::npos &&
           key.find_first_of("=\r\n") == std::string_view::npos && key[0] != '[' && key[0] != ';' &&
           key[0] != '#';
}

// --- Reads ------------------------------------------------------------------------

void CheckReads(const TIniFile& ini, const TRefIni& ref, const std::string& section,
                const std::string& key) {
    const std::optional<std::string_view> value = ref.Find(Trim(section), Trim(key));
    const std::optional<int> number = value ? ReferenceInteger(*value) : std::nullopt;
    auto where = [&] { return " for [" + Escaped(section) + "] " + Escaped(key); };
    const std::string read = ini.ReadString(section, key, "\x01none");
    Check(read == (value ? std::string(*value) : "\x01none"), [&] {
        return "ReadString gave " + Escaped(read) + where() + ", expected " +
               (value ? Escaped(*value) : "the default");
    });
    Check(ini.ValueExists(section, key) == value.has_value(),
          [&] { return "ValueExists" + where(); });
    Check(ini.SectionExists(section) == ref.HasSection(Trim(section)),
          [&] { return "SectionExists" + where(); });
    const int integer = ini.ReadInteger(section, key, -77);
    Check(integer == number.value_or(-77), [&] {
        return "ReadInteger gave " + std::to_string(integer) + where() + ", expected " +
               std::to_string(number.value_or(-77));
    });
    for (const bool fallback : {false, true})
        Check(ini.ReadBool(section, key, fallback) == (number ? *number != 0 : fallback),
              [&] { return "ReadBool" + where(); });
}

// --- The write ----------------------------------------------------------------------

struct TWrite {
    std::string Section;
    std::string Key;
    int Kind = 0;
    std::string Value;   // for a string write
    int Number = 0;      // for an integer or bool write
    std::string Stored;  // the text the file must hold after it
};

TWrite ChooseWrite(const TFuzzInput& input, const TRefIni& ref) {
    const uint8_t flags = ControlByte(input.Head[0], 0);
    const uint8_t pick = ControlByte(input.Head[0], 1);
    TWrite write;
    write.Section = input.Head[1];
    write.Key = input.Head[2];
    write.Kind = flags & 3;
    const bool fromFile = !input.HasHead;
    if ((fromFile || (flags & 16)) && !ref.Sections.empty())
        write.Section = ref.Sections[(pick & 15) % ref.Sections.size()];
    if (fromFile || (flags & 32)) {
        std::vector<std::string_view> keys;
        for (const TRefKey& entry : ref.Keys)
            if (SameName(entry.Section, Trim(write.Section))) keys.push_back(entry.Name);
        if (!keys.empty()) write.Key = keys[(pick >> 4) % keys.size()];
    }
    const std::string_view value = input.Head[3];
    if (!value.empty())
        std::memcpy(&write.Number, value.data(), std::min(value.size(), sizeof write.Number));
    if (write.Kind == 1) {
        write.Stored = std::to_string(write.Number);
    } else if (write.Kind == 2) {
        write.Stored = write.Number != 0 ? "1" : "0";
    } else {
        write.Value = value;
        write.Stored = value.substr(0, value.find_first_of("\r\n"));
    }
    return write;
}

void DoWrite(TIniFile& ini, const TWrite& write) {
    if (write.Kind == 1)
        ini.WriteInteger(write.Section, write.Key, write.Number);
    else if (write.Kind == 2)
        ini.WriteBool(write.Section, write.Key, write.Number != 0);
    else
        ini.WriteString(write.Section, write.Key, write.Value);
}

bool SameOrGainedEnd(const TLine& before, const TLine& after, bool mayGainEnd,
                     std::string_view lineEnd) {
    return before == after ||
           (mayGainEnd && before.End.empty() && before.Text == after.Text && after.End == lineEnd);
}

// Every line but the written one is kept byte for byte: an existing key's line
// changes only after its "=", a new key (and a new header) is inserted whole.
void CheckLinesKept(std::string_view oldBody, std::string_view newBody, const TWrite& write,
                    bool keyExisted, bool sectionExisted) {
    const std::vector<TLine> a = Lines(oldBody), b = Lines(newBody);
    const std::string_view lineEnd = FileLineEnd(a);
    auto same = [&](size_t i, size_t j) {
        return SameOrGainedEnd(a[i], b[j], !keyExisted && i + 1 == a.size(), lineEnd);
    };
    size_t p = 0, s = 0;
    while (p < a.size() && p < b.size() && same(p, p)) ++p;
    while (s < a.size() - p && s < b.size() - p && same(a.size() - 1 - s, b.size() - 1 - s)) ++s;
    const std::string_view key = Trim(write.Key);
    auto report = [&] {
        return "lines not kept writing [" + Escaped(write.Section) + "] " + Escaped(write.Key) +
               "=" + Escaped(write.Stored) + ": old " + Escaped(oldBody) + " new " +
               Escaped(newBody);
    };
    if (keyExisted) {
        Check(a.size() == b.size() && p + s + 1 >= a.size(), report);
        if (p == a.size()) return;
        const size_t equals = a[p].Text.find('=');
        Check(equals != std::string_view::npos && a[p].End == b[p].End &&
                  b[p].Text.substr(0, equals + 1) == a[p].Text.substr(0, equals + 1) &&
                  Trim(b[p].Text.substr(equals + 1)) == Trim(write.Stored),
              report);
        return;
    }
    Check(p + s == a.size() && b.size() > a.size(), report);
    const std::vector<TLine> added(b.begin() + static_cast<ptrdiff_t>(p),
                                   b.end() - static_cast<ptrdiff_t>(s));
    const std::string keyLine = std::string(key) + "=" + write.Stored;
    const std::string header = "[" + std::string(Trim(write.Section)) + "]";
    // A CR end becomes CR LF where a LF follows, or the two would make one line end.
    auto fileEnd = [&](const TLine& line) {
        return line.End == lineEnd || (lineEnd == "\r" && line.End == "\r\n");
    };
    const bool keyLast = !added.empty() && added.back().Text == keyLine && fileEnd(added.back());
    bool shape = false;
    if (sectionExisted) {
        shape = added.size() == 1;
    } else if (added.size() == 2 || added.size() == 3) {
        const TLine& head = added[added.size() - 2];
        shape = head.Text == header && fileEnd(head) &&
                (added.size() == 2 || (added[0].Text.empty() && !added[0].End.empty()));
    }
    Check(keyLast && shape, report);
}

void CheckKeptValues(const TRefIni& before, const TRefIni& after, const TWrite& write) {
    for (const TRefKey& entry : before.Keys) {
        if (SameName(entry.Section, Trim(write.Section)) && SameName(entry.Name, Trim(write.Key)))
            continue;
        const auto was = before.Find(entry.Section, entry.Name);
        const auto now = after.Find(entry.Section, entry.Name);
        Check(was == now, [&] {
            return "the write changed [" + Escaped(entry.Section) + "] " + Escaped(entry.Name) +
                   " from " + Escaped(*was) + " to " + (now ? Escaped(*now) : "nothing");
        });
    }
    for (const std::string_view section : before.Sections)
        Check(after.HasSection(section), [&] { return "the write lost " + Escaped(section); });
}

void CheckSuccessfulWrite(const TIniFile& ini, const TScratchFolder& folder,
                          const std::string& oldBytes, bool missing, const TWrite& write) {
    const std::string newBytes = ReadBytes(ini.FileName());
    Check(folder.Entries() == std::vector<std::string>{kFileName},
          [&] { return "left in the folder: " + Joined(folder.Entries()); });
    const std::string expected(Trim(write.Stored));
    const std::string read = ini.ReadString(write.Section, write.Key, "\x01none");
    Check(read == expected, [&] {
        return "wrote " + Escaped(write.Stored) + " into [" + Escaped(write.Section) + "] " +
               Escaped(write.Key) + ", read back " + Escaped(read);
    });
    if (missing) {
        const std::string created = "[" + std::string(Trim(write.Section)) + "]\r\n" +
                                    std::string(Trim(write.Key)) + "=" + write.Stored + "\r\n";
        Check(newBytes == created, [&] { return "a new file holds " + Escaped(newBytes); });
        return;
    }
    Check(oldBytes.starts_with(kByteOrderMark) == newBytes.starts_with(kByteOrderMark),
          [&] { return "the byte order mark changed"; });
    const TRefIni before = ReadReference(oldBytes), after = ReadReference(newBytes);
    const std::string_view section = Trim(write.Section);
    CheckLinesKept(Body(oldBytes), Body(newBytes), write,
                   before.Find(section, Trim(write.Key)).has_value(), before.HasSection(section));
    CheckKeptValues(before, after, write);
}

void CheckWrite(TIniFile& ini, const TScratchFolder& folder, const std::string& oldBytes,
                bool missing, bool readOnly, const TWrite& write) {
    std::optional<std::string> error;
    try {
        DoWrite(ini, write);
    } catch (const EIniFileException& e) {
        error = e.what();
    }
    std::optional<std::string> expectedError;
    if (!StorableNames(Trim(write.Section), Trim(write.Key)))
        expectedError = "Invalid section or key name for " + ini.FileName();
    else if (readOnly && !missing)
        expectedError = "Unable to write to " + ini.FileName();
    Check(error == expectedError, [&] {
        return "writing [" + Escaped(write.Section) + "] " + Escaped(write.Key) + " gave " +
               (error ? Escaped(*error) : "success") + ", expected " +
               (expectedError ? Escaped(*expectedError) : "success");
    });
    if (!expectedError) return CheckSuccessfulWrite(ini, folder, oldBytes, missing, write);
    Check(missing ? !FileExists(ini.FileName()) : ReadBytes(ini.FileName()) == oldBytes,
          [&] { return "a failed write changed the file"; });
    Check(folder.Entries().size() == (missing ? 0u : 1u),
          [&] { return "left in the folder: " + Joined(folder.Entries()); });
}

std::vector<std::string> Seeds() {
    const std::string quelm =
        "[MedForm]\r\nFrmTop=100\r\nFrmLeft=-5\r\nVolume=0x10\r\nStayOnTop=1\r\n"
        "VideoFolder=/media/My Films/\r\n\r\n[Brightness]\r\nValue=2147483647\r\n";
    return {
        quelm,
        SeedInput({"\x30\x21", "", "", "12"}, quelm),
        SeedInput({"\x00", "MedForm", "FrmHeight", "480"}, quelm),
        SeedInput({"\x01", " New ", " Key ", "\x7F\xFF\xFF\xFF"}, quelm),
        SeedInput({"\x14", "", "Value", "1"}, "[Brightness]\nValue=128\n"),
        SeedInput({"\x08", "Brightness", "Value", "64"}, ""),
        SeedInput({"\x02", "a", "y", "\x01"},
                  "\xEF\xBB\xBF; comment\r[A]\rx = 1 \r# [b]\r[a]\rX=2\ry=-0x80000000\r"),
        SeedInput({"\x30", "", "", "new\r\nline"}, "[S]\nk=v\n\n[S]\nk=second\nj = 0x7fffffff"),
        SeedInput({"\x00", "S]", "=k", "v"}, "junk before\n[S\n=x\n [ S ] trailing\n k = \n"),
        SeedInput({"\x00", "S", "new", "v"}, "[S]\n\n[T]\r\nx=1\r"),
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
    const uint8_t flags = ControlByte(input.Head[0], 0);
    const bool missing = input.HasHead && (flags & 8);
    const bool readOnly = input.HasHead && (flags & 4);
    const std::string path = folder.Path() + kFileName;
    const std::string bytes = missing ? std::string() : std::string(input.Body);
    if (!missing) {
        WriteBytes(path, bytes);
        if (readOnly) ::chmod(path.c_str(), 0444);
    }
    TIniFile ini(path);
    const TRefIni ref = ReadReference(bytes);
    for (size_t i = 0; i < ref.Keys.size() && i < kMaxCheckedKeys; ++i)
        CheckReads(ini, ref, std::string(ref.Keys[i].Section), std::string(ref.Keys[i].Name));
    CheckReads(ini, ref, std::string(input.Head[1]), std::string(input.Head[2]));
    CheckWrite(ini, folder, bytes, missing, readOnly, ChooseWrite(input, ref));
    return 0;
}
