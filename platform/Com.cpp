#include "platform/Com.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <stdexcept>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The hexadecimal digits of the braced form, dashes checked at their places.
std::string GuidDigits(std::string_view text) {
    constexpr std::string_view shape = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (text.size() != shape.size()) throw std::invalid_argument("not a class id");
    std::string digits;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] != 'x') {
            if (text[i] != shape[i]) throw std::invalid_argument("not a class id");
        } else if (HexDigit(text[i]) < 0) {
            throw std::invalid_argument("not a class id");
        } else {
            digits += text[i];
        }
    }
    return digits;
}

uint64_t HexValue(std::string_view digits) {
    uint64_t value = 0;
    for (char c : digits) value = value * 16 + static_cast<uint64_t>(HexDigit(c));
    return value;
}

struct FactoryTable {
    std::mutex Lock;
    std::map<CLSID, TClassFactory> Factories;
};

FactoryTable& Table() {
    static FactoryTable table;
    return table;
}

// A copy, so a factory may itself use the table while it runs.
bool FindFactory(const CLSID& id, TClassFactory& found) {
    FactoryTable& table = Table();
    std::lock_guard guard(table.Lock);
    auto it = table.Factories.find(id);
    if (it == table.Factories.end()) return false;
    found = it->second;
    return true;
}

}  // namespace

GUID StringToGUID(std::string_view text) {
    const std::string digits = GuidDigits(text);
    GUID id;
    id.Data1 = static_cast<uint32_t>(HexValue(std::string_view(digits).substr(0, 8)));
    id.Data2 = static_cast<uint16_t>(HexValue(std::string_view(digits).substr(8, 4)));
    id.Data3 = static_cast<uint16_t>(HexValue(std::string_view(digits).substr(12, 4)));
    for (int i = 0; i < 8; ++i)
        id.Data4[i] =
            static_cast<uint8_t>(HexValue(std::string_view(digits).substr(16 + 2 * i, 2)));
    return id;
}

std::string GUIDToString(const GUID& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.Data1,
                  id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3],
                  id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

void RegisterClassFactory(TClassFactory factory) {
    FactoryTable& table = Table();
    std::lock_guard guard(table.Lock);
    const CLSID id = factory.ClassId;
    table.Factories[id] = std::move(factory);
}

bool ClassFactoryExists(const CLSID& id) {
    TClassFactory found;
    return FindFactory(id, found);
}

std::string ClassFactoryName(const CLSID& id) {
    TClassFactory found;
    return FindFactory(id, found) ? found.Name : std::string();
}

_GstElement* CreateFilterInstance(const CLSID& id) {
    TClassFactory found;
    if (!FindFactory(id, found) || !found.CreateFilter) return nullptr;
    return found.CreateFilter();
}

QWidget* CreatePropertyPage(const CLSID& id, _GstElement* filter, QWidget* parent) {
    TClassFactory found;
    if (!FindFactory(id, found) || !found.CreatePage) return nullptr;
    return found.CreatePage(filter, parent);
}
