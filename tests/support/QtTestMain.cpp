// Test main for widget tests: one QApplication for the whole run, destroyed before the
// process exits (a function-static one would outlive Qt's own globals).
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget tests draw nowhere: without an explicit platform they use the offscreen one, also
    // when CTest lists them.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
