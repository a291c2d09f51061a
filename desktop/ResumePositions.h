#pragma once
// TResumePositions: where each file was left, kept in a small text file beside the settings so a
// film opens where its user stopped it. One line per file, oldest first:
// "<position ms>\t<length ms>\t<path, percent-encoded>". The file is replaced whole through a
// temporary file, so a crash never leaves it half written.
#include <cstdint>
#include <string>
#include <vector>

class TResumePositions {
  public:
    static constexpr size_t kMaxEntries = 1000;

    // Reads the file; a missing, unreadable or oversized file, and lines that are not entries,
    // count as none.
    explicit TResumePositions(std::string fileName);

    // Where path was left, if it is worth resuming in a file that now lasts lengthMs: between
    // 5 % and 95 % of it and at least 30 s in. The entry is used up.
    bool Take(const std::string& path, int64_t lengthMs, int64_t& positionMs);
    // Keeps where path stands now when that is worth resuming, forgets it otherwise; the oldest
    // entry goes beyond kMaxEntries. Returns false when the file could not be written.
    bool Keep(const std::string& path, int64_t positionMs, int64_t lengthMs);

    static bool WorthResuming(int64_t positionMs, int64_t lengthMs);

  private:
    struct TEntry {
        std::string Path;
        int64_t PositionMs;
        int64_t LengthMs;
    };
    bool Forget(const std::string& path);
    bool Write() const;

    std::string FFileName;
    std::vector<TEntry> FEntries;
};
