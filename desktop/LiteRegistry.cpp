#include "desktop/LiteRegistry.h"

#include <map>
#include <mutex>

namespace {

// What a handle stands for: a key of one store, opened with some access.
struct OpenKey {
    std::string storeFile;
    HKEY root = 0;
    std::string path;
    std::uint32_t access = 0;
};

std::mutex gHandlesMutex;
std::map<HKEY, OpenKey> gHandles;
HKEY gLastHandle = 0;

bool IsPredefinedRoot(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER;
}

std::optional<OpenKey> Resolve(HKEY key) {
    if (IsPredefinedRoot(key)) return OpenKey{RegistryStore().FilePath(), key, "", KEY_ALL_ACCESS};
    std::lock_guard lock(gHandlesMutex);
    auto it = gHandles.find(key);
    if (it == gHandles.end()) return std::nullopt;
    return it->second;
}

HKEY NewHandle(OpenKey key) {
    std::lock_guard lock(gHandlesMutex);
    gHandles.emplace(++gLastHandle, std::move(key));
    return gLastHandle;
}

// Opens root\path, creating it first when asked.
HKEY Open(HKEY root, const std::string& path, std::uint32_t access, bool create) {
    auto base = Resolve(root);
    if (!base) return 0;
    OpenKey key = *base;
    key.access = access;
    if (!path.empty()) key.path = key.path.empty() ? path : key.path + '\\' + path;
    RegistryStore store(key.storeFile);
    bool there = create ? store.CreateKey(key.root, key.path) : store.KeyExists(key.root, key.path);
    return there ? NewHandle(std::move(key)) : 0;
}

// The key behind a handle, when the handle carries the needed right.
std::optional<OpenKey> Usable(HKEY handle, std::uint32_t right) {
    auto key = Resolve(handle);
    if (!key || (key->access & right) == 0) return std::nullopt;
    return key;
}

}  // namespace

HKEY OpenRegKey(HKEY root, const std::string& path, std::uint32_t access) {
    return Open(root, path, access, false);
}

HKEY CreateRegKey(HKEY root, const std::string& path, std::uint32_t access) {
    return Open(root, path, access, true);
}

void CloseRegKey(HKEY key) {
    std::lock_guard lock(gHandlesMutex);
    gHandles.erase(key);
}

bool WriteRegDword(HKEY key, const std::string& name, std::uint32_t value) {
    auto open = Usable(key, KEY_SET_VALUE);
    return open && RegistryStore(open->storeFile).SetDword(open->root, open->path, name, value);
}

bool WriteRegBool(HKEY key, const std::string& name, bool flag) {
    return WriteRegDword(key, name, flag ? 1 : 0);
}

bool WriteRegString(HKEY key, const std::string& name, const std::string& value) {
    auto open = Usable(key, KEY_SET_VALUE);
    return open && RegistryStore(open->storeFile).SetString(open->root, open->path, name, value);
}

std::optional<std::uint32_t> ReadRegDword(HKEY key, const std::string& name) {
    auto open = Usable(key, KEY_QUERY_VALUE);
    if (!open) return std::nullopt;
    return RegistryStore(open->storeFile).Dword(open->root, open->path, name);
}

std::optional<std::string> ReadRegString(HKEY key, const std::string& name) {
    auto open = Usable(key, KEY_QUERY_VALUE);
    if (!open) return std::nullopt;
    return RegistryStore(open->storeFile).String(open->root, open->path, name);
}

bool RegKeyExists(HKEY root, const std::string& path) {
    HKEY key = OpenRegKey(root, path, KEY_READ);
    CloseRegKey(key);
    return key != 0;
}
