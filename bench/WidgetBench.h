// SPDX-License-Identifier: MIT
// The start of every benchmark program that measures real widgets.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

#include <memory>

namespace tunecrate::bench {

// Qt, off screen unless a platform is named, and the benchmark library;
// null when the arguments hold one that neither knows.
inline std::unique_ptr<QApplication> StartWidgetBench(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto app = std::make_unique<QApplication>(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return nullptr;
    return app;
}

}  // namespace tunecrate::bench
