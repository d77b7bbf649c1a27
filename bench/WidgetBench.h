// SPDX-License-Identifier: MIT
// The start of every benchmark program that measures real widgets.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/songs/Prompter.h"

namespace tunecrate::bench {

// A window measured asks nothing: a box would be a failed run.
class NoQuestions final : public Prompter {
public:
    bool AskYesNo(const std::string&, const std::string&) override { std::abort(); }
    Reply AskYesNoToAll(const std::string&, const std::string&, bool) override { std::abort(); }
    bool AskOkCancel(const std::string&, const std::string&) override { std::abort(); }
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override { std::abort(); }
};

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
