// Test entry for core tests: a QCoreApplication (no widgets) around GoogleTest.
#include <gtest/gtest.h>
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Korvel Configuration Utility"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
