// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace tunecrate {

enum class MessageIcon { None, Exclamation };

// How core operations and window handlers ask the user and tell them things.
// The windows answer with message boxes; tests answer from a script.
// Texts are UTF-8.
class Prompter {
public:
    virtual ~Prompter() = default;
    // Yes and No buttons, exclamation icon. True for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // OK and Cancel buttons, exclamation icon. True for OK.
    virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
    // An OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

}  // namespace tunecrate
