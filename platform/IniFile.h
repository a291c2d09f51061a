#pragma once
// Private-profile settings files: "[Section]" lines followed by "Key=Value"
// lines, as "Quelm.ini" and "bfilter.ini" are.
//
// Reading: section and key names compare case-insensitively (ASCII); names and
// values are trimmed of blanks; lines starting with ";" or "#" are comments;
// lines before the first section and lines that are neither a section nor a
// key are ignored. When a section or key occurs more than once the first key
// found (in file order, over every header of that section) wins. A missing or
// unreadable file, or anything that is not a regular file, reads as empty.
//
// Writing: every write reads the file afresh, changes or adds the one value and
// leaves every other byte of the file as it was (comments, unknown sections and
// keys, order, a UTF-8 BOM, each line's own line end). The file is replaced
// through a temporary file in its folder and a rename, so a crash leaves the old
// or the new file, never half of one. A new key goes after the last key of the
// section's first header; a new section goes at the end of the file. Lines are
// added with the file's first line end (CR LF, LF or CR); a file without one,
// or a new file, gets CR LF, as the Windows original wrote them. Missing parent
// folders are not created. A file without any write permission bit counts as
// read-only and is not replaced, even for root (renaming over it would).
#include <stdexcept>
#include <string>

// A write that did not reach the disk: "Unable to write to " + the path.
class EIniFileException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TIniFile {
  public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return FFileName; }

    // The stored value, trimmed (possibly empty), or DefaultValue when the key is absent.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Decimal with an optional sign, or hexadecimal after "0x" (sign allowed before it),
    // within 32 bits; anything else, or a value out of range, reads as DefaultValue.
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    // True for an integer other than 0; DefaultValue when the value is not an integer.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // Each raises EIniFileException when the file cannot be written; the file is
    // then unchanged. The value is stored up to its first line break (a line break
    // cannot be stored and would otherwise add lines of its own). Section and key
    // names that cannot be stored (empty, with a line break, "]" in a section,
    // "=" in a key, a key starting with "[", ";" or "#") raise it too, with
    // "Invalid section or key name for " + the path, and nothing is written.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    // Written as "1" or "0".
    void WriteBool(const std::string& section, const std::string& key, bool value);

  private:
    std::string FFileName;
};
