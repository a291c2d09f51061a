#include "tests/filters/FilterSupport.h"

#include <QFile>

#include "filters/PropEdit.h"
#include "platform/DebugOutput.h"

namespace {

std::vector<std::string> gDebugLines;
QtMessageHandler gPreviousHandler = nullptr;

void CaptureDebug(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (qstrcmp(context.category, "vexlo.debug") == 0)
        gDebugLines.push_back(message.toStdString());
    else if (gPreviousHandler)
        gPreviousHandler(type, context, message);
}

}  // namespace

void FilterTest::SetUp() {
    ASSERT_TRUE(Home.isValid());
    qputenv("VEXLO_HOME", Home.path().toUtf8());
    RegisterBrightnessFilter();
    RegisterBrightnessPage();
    BrightnessEnabled = true;
    InvertEnabled = false;
    BrightnessOffMark = false;
    ClearConnectionStatus();
    gDebugLines.clear();
    gPreviousHandler = qInstallMessageHandler(CaptureDebug);
}

void FilterTest::TearDown() {
    qInstallMessageHandler(gPreviousHandler);
    qunsetenv("VEXLO_HOME");
}

void FilterTest::StoreBrightness(const std::string& text) {
    QFile file(Home.path() + "/bfilter.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("[Brightness]\nValue=" + text + "\n").c_str());
}

const std::vector<std::string>& FilterTest::DebugLines() {
    return gDebugLines;
}

GstElement* NewBrightnessFilter() {
    GstElement* element = CreateFilterInstance(CLSID_BrightnessFilter);
    if (element) gst_object_ref_sink(element);
    return element;
}

GstCaps* VideoCaps(const char* format, int width, int height) {
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT,
                               width, "height", G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION,
                               30, 1, nullptr);
}

GstBuffer* BufferOf(const std::vector<uint8_t>& bytes) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes.size(), nullptr);
    if (!bytes.empty()) gst_buffer_fill(buffer, 0, bytes.data(), bytes.size());
    return buffer;
}

std::vector<uint8_t> BytesOf(GstBuffer* buffer) {
    std::vector<uint8_t> bytes(gst_buffer_get_size(buffer));
    if (!bytes.empty()) gst_buffer_extract(buffer, 0, bytes.data(), bytes.size());
    return bytes;
}

std::vector<uint8_t> RunFrame(TBrightnessControlFilter& filter, const std::vector<uint8_t>& in) {
    GstBuffer* input = BufferOf(in);
    GstBuffer* output = BufferOf(std::vector<uint8_t>(in.size(), 0x5A));
    EXPECT_EQ(filter.CopyMediaSample(input, output), S_OK);
    std::vector<uint8_t> bytes = BytesOf(output);
    gst_buffer_unref(input);
    gst_buffer_unref(output);
    return bytes;
}
