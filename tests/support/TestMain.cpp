// Test entry: a QApplication exists for every test, on the Xvfb display that
// scripts/test starts, or offscreen when there is none.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
