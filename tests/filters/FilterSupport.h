#pragma once
// What the brightness filter's tests share: a program folder of their own (so "bfilter.ini"
// starts absent), the process-wide switches at their starting values, the debug output
// captured, and filter elements, caps and frames made up for the tests.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "filters/TransformMain.h"

class FilterTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // "[Brightness]\nValue=<text>\n" in the test's program folder.
    void StoreBrightness(const std::string& text);
    // The lines written to the debug output since SetUp.
    static const std::vector<std::string>& DebugLines();

    QTemporaryDir Home;
};

// A new brightness filter from the class-factory table, owned by the caller (unref it).
GstElement* NewBrightnessFilter();
// "video/x-raw, format=<format>, width, height, framerate=30/1".
GstCaps* VideoCaps(const char* format, int width, int height);
GstBuffer* BufferOf(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> BytesOf(GstBuffer* buffer);
// Runs one frame through the filter's CopyMediaSample; the output's bytes.
std::vector<uint8_t> RunFrame(TBrightnessControlFilter& filter, const std::vector<uint8_t>& in);
