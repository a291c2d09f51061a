#include <gtest/gtest.h>

#include <QString>
#include <vector>

#include "platform/DebugOutput.h"

namespace {

struct Captured {
    QtMsgType type;
    QString category;
    QString message;
};

std::vector<Captured> gCaptured;

void Capture(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    gCaptured.push_back({type, QString::fromUtf8(context.category), message});
}

TEST(OutputDebugString, WritesTheTextUnchangedToTheVexloDebugCategory) {
    gCaptured.clear();
    QtMessageHandler previous = qInstallMessageHandler(Capture);
    OutputDebugString("dov: Error in TBrightnessControlFilter.Transform call...");
    OutputDebugString("100% \"quoted\" %s");
    qInstallMessageHandler(previous);
    ASSERT_EQ(gCaptured.size(), 2u);
    EXPECT_EQ(gCaptured[0].type, QtDebugMsg);
    EXPECT_EQ(gCaptured[0].category, "vexlo.debug");
    EXPECT_EQ(gCaptured[0].message, "dov: Error in TBrightnessControlFilter.Transform call...");
    EXPECT_EQ(gCaptured[1].message, "100% \"quoted\" %s");
}

}  // namespace
