// SPDX-License-Identifier: MIT
#pragma once

#include "core/songs/Prompter.h"

class QWidget;

namespace tunecrate {

// Asks and tells the user with message boxes owned by one window.
class MessageBoxPrompter final : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* owner) : m_owner(owner) {}
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    Reply AskYesNoToAll(const std::string& text, const std::string& caption, bool offerToAll) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;

private:
    QWidget* m_owner;
};

}  // namespace tunecrate
