#pragma once
// Thin registry routines with the Windows calling habits, working on the
// program's RegistryStore: opening gives a handle, 0 when the key cannot be
// opened; writes report no error (their result says whether the value landed,
// for callers that must raise one); a handle opened without the right access
// neither reads nor writes. Keys opened under an opened handle are relative to it.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/RegistryStore.h"

// Access rights, with their Windows values.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_READ = 0x20019;
inline constexpr std::uint32_t KEY_WRITE = 0x20006;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

HKEY OpenRegKey(HKEY root, const std::string& path, std::uint32_t access);
// Opens the key, creating it and any missing parents first; 0 on failure.
HKEY CreateRegKey(HKEY root, const std::string& path, std::uint32_t access);
// Unknown handles, 0 and the predefined roots are ignored.
void CloseRegKey(HKEY key);

bool WriteRegDword(HKEY key, const std::string& name, std::uint32_t value);
bool WriteRegBool(HKEY key, const std::string& name, bool flag);
// The empty name is the key's default value.
bool WriteRegString(HKEY key, const std::string& name, const std::string& value);
std::optional<std::uint32_t> ReadRegDword(HKEY key, const std::string& name);
std::optional<std::string> ReadRegString(HKEY key, const std::string& name);

// True when root\path can be opened for reading (the handle is closed at once).
bool RegKeyExists(HKEY root, const std::string& path);
