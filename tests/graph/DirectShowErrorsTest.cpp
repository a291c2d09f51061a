#include <gst/gst.h>
#include <gtest/gtest.h>

#include <set>

#include "graph/DirectShowErrors.h"

namespace {

TEST(DirectShowErrorsTest, MessageIsTheTextThenTheCodeInUpperCaseHex) {
    const EDirectShowException error(VFW_E_DVD_RENDERFAIL);
    EXPECT_EQ(error.ErrorCode(), static_cast<HRESULT>(0x8004027A));
    EXPECT_EQ(std::string(error.what()), AMGetErrorText(VFW_E_DVD_RENDERFAIL) + " ($8004027A).");
    const EDirectShowException unknown(static_cast<HRESULT>(0x8004ABCD));
    EXPECT_EQ(std::string(unknown.what()), "Unknown error. ($8004ABCD).");
}

TEST(DirectShowErrorsTest, CheckRaisesOnlyForFailures) {
    EXPECT_EQ(DShowCheck(S_OK), S_OK);
    EXPECT_EQ(DShowCheck(S_FALSE), S_FALSE);
    try {
        DShowCheck(VFW_E_CANNOT_RENDER);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(dynamic_cast<const EDirectShowException&>(error).ErrorCode(),
                  VFW_E_CANNOT_RENDER);
    }
}

TEST(DirectShowErrorsTest, EveryCodeHasItsOwnShortText) {
    const HRESULT codes[] = {E_FAIL,
                             HRESULT_FILE_NOT_FOUND,
                             VFW_E_CANNOT_RENDER,
                             VFW_E_UNKNOWN_FILE_TYPE,
                             VFW_E_INVALID_FILE_FORMAT,
                             VFW_E_UNSUPPORTED_STREAM,
                             VFW_E_TIMEOUT,
                             VFW_E_DVD_RENDERFAIL};
    std::set<std::string> texts;
    for (HRESULT code : codes) {
        const std::string text = AMGetErrorText(code);
        EXPECT_LE(text.size(), 255u);
        EXPECT_NE(text, "Unknown error.");
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(codes));
}

TEST(DirectShowErrorsTest, GStreamerErrorsMapOntoTheGraphCodes) {
    gst_init(nullptr, nullptr);
    const struct {
        GQuark domain;
        int code;
        HRESULT expected;
    } cases[] = {
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, HRESULT_FILE_NOT_FOUND},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ, VFW_E_CANNOT_LOAD_SOURCE_FILTER},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_TYPE_NOT_FOUND, VFW_E_UNKNOWN_FILE_TYPE},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, VFW_E_INVALID_FILE_FORMAT},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND, VFW_E_UNSUPPORTED_STREAM},
        {GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN, VFW_E_UNSUPPORTED_STREAM},
        {GST_CORE_ERROR, GST_CORE_ERROR_NEGOTIATION, VFW_E_CANNOT_CONNECT},
        {GST_LIBRARY_ERROR, GST_LIBRARY_ERROR_INIT, E_FAIL},
    };
    for (const auto& c : cases) {
        GError* error = g_error_new_literal(c.domain, c.code, "test");
        EXPECT_EQ(GstErrorToHResult(error), c.expected) << g_quark_to_string(c.domain) << c.code;
        g_error_free(error);
    }
    EXPECT_EQ(GstErrorToHResult(nullptr), E_FAIL);
}

}  // namespace
