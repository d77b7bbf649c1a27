// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>
#include <dirent.h>

#include "Songs.h"
#include "widgets/DialogUnits.h"

extern "C" DIR* __real_opendir(const char* path);
extern "C" DIR* __wrap_opendir(const char* path) {
    tunecrate::testing::ListedFolders().emplace_back(path);
    return __real_opendir(path);
}

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
