#include "graph/DirectShowErrors.h"

#include <gst/gst.h>

#include <cstdio>
#include <map>

namespace {

const std::map<HRESULT, const char*>& ErrorTexts() {
    static const std::map<HRESULT, const char*> texts = {
        {S_OK, "No error."},
        {S_FALSE, "The operation did nothing."},
        {E_NOTIMPL, "Not implemented."},
        {E_NOINTERFACE, "No such interface supported."},
        {E_POINTER, "Invalid pointer."},
        {E_ABORT, "Operation aborted."},
        {E_FAIL, "Unspecified error."},
        {E_UNEXPECTED, "Catastrophic failure."},
        {E_OUTOFMEMORY, "Not enough memory is available to complete this operation."},
        {E_INVALIDARG, "The parameter is incorrect."},
        {HRESULT_FILE_NOT_FOUND, "The system cannot find the file specified."},
        {HRESULT_ACCESS_DENIED, "Access is denied."},
        {CLASS_E_CLASSNOTAVAILABLE, "The class is not available."},
        {REGDB_E_CLASSNOTREG, "The class is not registered."},
        {VFW_E_NOT_CONNECTED,
         "The operation cannot be performed because the pins are not connected."},
        {VFW_E_NOT_FOUND, "An object or name was not found."},
        {VFW_E_CANNOT_CONNECT,
         "No combination of intermediate filters could be found to make "
         "the connection."},
        {VFW_E_CANNOT_RENDER, "No combination of filters could be found to render the stream."},
        {VFW_E_WRONG_STATE,
         "The operation could not be performed because the filter is in the "
         "wrong state."},
        {VFW_E_TIMEOUT, "The graph did not get ready in time."},
        {VFW_E_UNKNOWN_FILE_TYPE, "The media type of this file is not recognized."},
        {VFW_E_INVALID_FILE_FORMAT, "The file format is invalid."},
        {VFW_E_CANNOT_LOAD_SOURCE_FILTER, "The source filter for this file could not be loaded."},
        {VFW_E_NO_AUDIO_HARDWARE,
         "Cannot play back the audio stream: no audio hardware is "
         "available, or the hardware is not responding."},
        {VFW_E_UNSUPPORTED_STREAM, "Cannot play back the file: the format is not supported."},
        {VFW_E_DVD_RENDERFAIL, "The DVD graph could not be built."},
        {VFW_E_DVD_DECNOTENOUGH, "There are not enough decoders to decode the DVD's streams."},
    };
    return texts;
}

}  // namespace

std::string AMGetErrorText(HRESULT code) {
    const auto found = ErrorTexts().find(code);
    std::string text = found != ErrorTexts().end() ? found->second : "Unknown error.";
    return text.substr(0, 255);
}

namespace {

std::string ExceptionMessage(HRESULT code) {
    char hex[32];
    std::snprintf(hex, sizeof hex, " ($%X).", static_cast<uint32_t>(code));
    return AMGetErrorText(code) + hex;
}

}  // namespace

EDirectShowException::EDirectShowException(HRESULT code)
    : std::runtime_error(ExceptionMessage(code)), FErrorCode(code) {}

HRESULT DShowCheck(HRESULT code) {
    if (FAILED(code)) throw EDirectShowException(code);
    return code;
}

namespace {

HRESULT ResourceErrorCode(int code) {
    switch (code) {
        case GST_RESOURCE_ERROR_NOT_FOUND:
            return HRESULT_FILE_NOT_FOUND;
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
            return HRESULT_ACCESS_DENIED;
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_READ:
            return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
        case GST_RESOURCE_ERROR_BUSY:
        case GST_RESOURCE_ERROR_OPEN_WRITE:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
            return VFW_E_NO_AUDIO_HARDWARE;
        case GST_RESOURCE_ERROR_NO_SPACE_LEFT:
            return E_OUTOFMEMORY;
        default:
            return E_FAIL;
    }
}

HRESULT StreamErrorCode(int code) {
    switch (code) {
        case GST_STREAM_ERROR_TYPE_NOT_FOUND:
            return VFW_E_UNKNOWN_FILE_TYPE;
        case GST_STREAM_ERROR_WRONG_TYPE:
        case GST_STREAM_ERROR_DEMUX:
        case GST_STREAM_ERROR_FORMAT:
            return VFW_E_INVALID_FILE_FORMAT;
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
        case GST_STREAM_ERROR_DECODE:
        case GST_STREAM_ERROR_NOT_IMPLEMENTED:
        case GST_STREAM_ERROR_DECRYPT:
        case GST_STREAM_ERROR_DECRYPT_NOKEY:
            return VFW_E_UNSUPPORTED_STREAM;
        default:
            return VFW_E_CANNOT_RENDER;
    }
}

HRESULT CoreErrorCode(int code) {
    switch (code) {
        case GST_CORE_ERROR_MISSING_PLUGIN:
            return VFW_E_UNSUPPORTED_STREAM;
        case GST_CORE_ERROR_NEGOTIATION:
            return VFW_E_CANNOT_CONNECT;
        case GST_CORE_ERROR_STATE_CHANGE:
            return VFW_E_WRONG_STATE;
        default:
            return E_FAIL;
    }
}

}  // namespace

HRESULT GstErrorToHResult(const _GError* error) {
    if (!error) return E_FAIL;
    if (error->domain == GST_RESOURCE_ERROR) return ResourceErrorCode(error->code);
    if (error->domain == GST_STREAM_ERROR) return StreamErrorCode(error->code);
    if (error->domain == GST_CORE_ERROR) return CoreErrorCode(error->code);
    return E_FAIL;
}
