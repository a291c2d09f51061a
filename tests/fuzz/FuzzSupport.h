#pragma once
// What the fuzz targets share: the input layout, a scratch folder for the
// files under test, seeds planted from text in the targets, failure reports.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An input is a head of fields separated by \x1F, then \x1E, then the body
// (the file or text under test). An input without \x1E is all body: a plain
// file found in the wild can be fed as it is.
inline constexpr char kFieldEnd = '\x1F';
inline constexpr char kHeadEnd = '\x1E';

struct TFuzzInput {
    std::vector<std::string_view> Head;  // always the number of fields asked for
    std::string_view Body;
    bool HasHead = false;
};

inline TFuzzInput SplitInput(const uint8_t* data, size_t size, size_t fields) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    TFuzzInput input;
    input.Head.resize(fields);
    const size_t headEnd = all.find(kHeadEnd);
    input.HasHead = headEnd != std::string_view::npos;
    if (!input.HasHead) {
        input.Body = all;
        return input;
    }
    std::string_view head = all.substr(0, headEnd);
    for (size_t i = 0; i < fields; ++i) {
        const size_t end = i + 1 < fields ? head.find(kFieldEnd) : std::string_view::npos;
        input.Head[i] = head.substr(0, end);
        head = end == std::string_view::npos ? std::string_view() : head.substr(end + 1);
    }
    input.Body = all.substr(headEnd + 1);
    return input;
}

// The byte at Index of a control field, 0 past its end.
inline uint8_t ControlByte(std::string_view field, size_t index) {
    return index < field.size() ? static_cast<uint8_t>(field[index]) : 0;
}

inline std::string SeedInput(std::vector<std::string_view> head, std::string_view body) {
    std::string seed;
    for (size_t i = 0; i < head.size(); ++i) {
        if (i > 0) seed += kFieldEnd;
        seed += head[i];
    }
    return seed.append(1, kHeadEnd).append(body);
}

// C-style text of any bytes, for failure reports.
inline std::string Escaped(std::string_view bytes) {
    std::string text = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text.append(1, '\\').append(1, c);
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            text += hex;
        }
    }
    return text + "\"";
}

// Describe builds the report only when the check fails (it runs millions of times).
template <typename TDescribe>
void Check(bool ok, TDescribe&& describe) {
    if (ok) return;
    std::fprintf(stderr, "\n*** Invariant broken: %s\n", std::string(describe()).c_str());
    std::abort();
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool FileExists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(out.good(), [&] { return "could not write the test file " + path; });
}

// A private folder for the process, in memory where /dev/shm is there (the
// units sync what they write; on a disk that would dominate the run).
class TScratchFolder {
  public:
    TScratchFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base                              ? base
                                          : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                                            : "/tmp") +
                              "/vexlo-fuzz-XXXXXX";
        Check(::mkdtemp(pattern.data()) != nullptr, [&] { return "mkdtemp " + pattern; });
        FPath = pattern + "/";
    }
    ~TScratchFolder() {
        Clear();
        ::rmdir(FPath.c_str());
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const std::string& Path() const { return FPath; }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(FPath.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void Clear() const {
        for (const std::string& name : Entries()) ::unlink((FPath + name).c_str());
    }

  private:
    std::string FPath;
};

inline std::string Joined(const std::vector<std::string>& names) {
    std::ostringstream text;
    for (const std::string& name : names) text << Escaped(name) << ' ';
    return text.str();
}

// Writes the seeds into every corpus folder on the command line that is still
// empty, so a first run starts from the files the player really meets.
inline void PlantSeeds(int argc, char** argv, const std::vector<std::string>& seeds) {
    for (int i = 1; i < argc; ++i) {
        const std::string folder = argv[i];
        struct stat info;
        if (folder.starts_with("-") || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) continue;
        size_t entries = 0;
        while (::readdir(dir)) ++entries;
        ::closedir(dir);
        if (entries > 2) continue;  // more than "." and ".."
        for (size_t n = 0; n < seeds.size(); ++n)
            WriteBytes(folder + "/seed-" + std::to_string(n), seeds[n]);
    }
}
