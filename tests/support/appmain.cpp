// Test entry for window tests: a QApplication (offscreen) around GoogleTest.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    // Window tests never need a display, also when the test list is gathered.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel Configuration Utility"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
