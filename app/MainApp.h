// SPDX-License-Identifier: MIT
#pragma once

#include "app/MainDialog.h"

namespace tunecrate {

// The application object: sets up the toolkit and runs the main window; the
// program ends when the main window does.
class MainApp {
public:
    explicit MainApp(SessionOptions options) : m_options(std::move(options)) {}
    int Run(int& argc, char** argv);

private:
    SessionOptions m_options;
};

}  // namespace tunecrate
