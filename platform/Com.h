#pragma once
// What the component object model gave the program: class identifiers, status codes and the
// table that creates an object from its class id.

#include <compare>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct _GstElement;
class QWidget;

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    auto operator<=>(const GUID&) const = default;
};
using CLSID = GUID;
using IID = GUID;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", either case; throws std::invalid_argument.
GUID StringToGUID(std::string_view text);
// The braced form with upper-case hexadecimal digits.
std::string GUIDToString(const GUID& id);

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);

constexpr bool SUCCEEDED(HRESULT status) {
    return status >= 0;
}
constexpr bool FAILED(HRESULT status) {
    return status < 0;
}

// One creatable class: a filter (a GStreamer element or bin, returned floating as
// gst_element_factory_make does) or a property page shown for a filter.
struct TClassFactory {
    CLSID ClassId;
    std::string Name;
    std::function<_GstElement*()> CreateFilter;
    std::function<QWidget*(_GstElement* filter, QWidget* parent)> CreatePage;
};

// A later registration under the same class id replaces the earlier one.
void RegisterClassFactory(TClassFactory factory);
bool ClassFactoryExists(const CLSID& id);
// The registered name, empty when the class is unknown.
std::string ClassFactoryName(const CLSID& id);
// Null when the class is unknown, is not a filter, or its factory fails.
_GstElement* CreateFilterInstance(const CLSID& id);
// Null when the class is unknown or is not a property page.
QWidget* CreatePropertyPage(const CLSID& id, _GstElement* filter, QWidget* parent);
