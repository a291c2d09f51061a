#pragma once
// The stand-in for the Windows registry: the keys and values the player and
// the external filters' settings need, kept in one text file in the program
// folder. Two roots (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER); key paths are
// "\"-separated and case-insensitive, as are value names; values are DWORDs or
// strings; the empty name is a key's default value.
//
// The file uses the .reg export layout:
//     [HKEY_CURRENT_USER\Software\GNU\ffdshow\default]
//     "isPictProp"=dword:00000001
//     @="avifile"
// with \\ and \" escaped inside quotes (and \n, \r for line breaks, which .reg
// itself cannot hold). Lines it cannot read are skipped, so a damaged file
// reads as whatever is still readable, a garbage file as empty. Every change
// rewrites the whole file through a temporary file and a rename, so a crash
// never leaves half a file. Calls are serialised within the process; two
// processes writing at once may lose one of the writes, as the last rename wins.
#include <cstdint>
#include <optional>
#include <string>

// Windows keeps these numbers for its predefined roots; so do we.
using HKEY = std::uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;

class RegistryStore {
  public:
    // The program's store: ProgramFolderPath() + "Registry.reg".
    RegistryStore();
    explicit RegistryStore(std::string filePath);

    const std::string& FilePath() const { return FFilePath; }

    // A root with an empty path always exists; an unknown root never does.
    bool KeyExists(HKEY root, const std::string& path) const;
    // Creates the key and any missing parents; true when it exists afterwards.
    bool CreateKey(HKEY root, const std::string& path);
    // Writes into an existing key only; false when the key is missing or the
    // file cannot be written. A value of the other type is replaced.
    bool SetDword(HKEY root, const std::string& path, const std::string& name, std::uint32_t value);
    bool SetString(HKEY root, const std::string& path, const std::string& name,
                   const std::string& value);
    // Empty when the key or the value is missing or the value has the other type.
    std::optional<std::uint32_t> Dword(HKEY root, const std::string& path,
                                       const std::string& name) const;
    std::optional<std::string> String(HKEY root, const std::string& path,
                                      const std::string& name) const;

  private:
    std::string FFilePath;
};
