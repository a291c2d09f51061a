#pragma once
// The status codes the graph reports, our short text for each, the exception failing graph
// calls raise, and how GStreamer's errors map onto the codes.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/Com.h"

struct _GError;

constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217);
constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = static_cast<HRESULT>(0x80040240);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265);
constexpr HRESULT VFW_E_NO_AUDIO_HARDWARE = static_cast<HRESULT>(0x80040256);
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x80040241);
constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022E);
constexpr HRESULT VFW_E_CANNOT_LOAD_SOURCE_FILTER = static_cast<HRESULT>(0x80040251);
constexpr HRESULT VFW_E_DVD_RENDERFAIL = static_cast<HRESULT>(0x8004027A);
constexpr HRESULT VFW_E_DVD_DECNOTENOUGH = static_cast<HRESULT>(0x8004027B);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227);
constexpr HRESULT HRESULT_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002);
constexpr HRESULT HRESULT_ACCESS_DENIED = static_cast<HRESULT>(0x80070005);

// Our text for a code, at most 255 characters; a generic text for codes we do not know.
std::string AMGetErrorText(HRESULT code);

class EDirectShowException : public std::runtime_error {
  public:
    // Message: the code's text followed by " ($XXXXXXXX)." in upper-case hexadecimal.
    explicit EDirectShowException(HRESULT code);
    HRESULT ErrorCode() const { return FErrorCode; }

  private:
    HRESULT FErrorCode;
};

// Raises EDirectShowException when code is a failure (sign bit set); returns it otherwise.
HRESULT DShowCheck(HRESULT code);

// The code for an error a pipeline posted (GError domain and code).
HRESULT GstErrorToHResult(const _GError* error);
