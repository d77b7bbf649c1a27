// SPDX-License-Identifier: MIT
#pragma once

#include "ScriptedPrompter.h"

namespace tunecrate::testing {

// The widget tests' prompter: every message box, messages included, must be
// announced by the test, so a stray one fails it.
class FakePrompter final : public ScriptedPrompter {
public:
    FakePrompter() : ScriptedPrompter(true) {}
    void ExpectYesNo(bool answer) { AnswerYesNo(answer); }
    void ExpectOkCancel(bool answer) { AnswerOkCancel(answer); }
};

}  // namespace tunecrate::testing
