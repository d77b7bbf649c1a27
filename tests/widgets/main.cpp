// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>

#include "widgets/DialogUnits.h"

// One QApplication for every widget test, set up as the program sets itself up,
// so that fonts and therefore pixel positions are the ones users get.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery runs this binary without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(tunecrate::DialogFont());
    return RUN_ALL_TESTS();
}
