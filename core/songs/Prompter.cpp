// SPDX-License-Identifier: MIT
#include "core/songs/Prompter.h"

#include "core/Texts.h"
#include "core/text/TypedText.h"

namespace tunecrate {

bool DecliningPrompter::AskYesNo(const std::string& text, const std::string&) {
    Record(text, Translated(texts::kAnsweredNo));
    ++declined;
    return false;
}

Reply DecliningPrompter::AskYesNoToAll(const std::string& text, const std::string& caption, bool) {
    // Each item is declined, and told, on its own.
    return AskYesNo(text, caption) ? Reply::Yes : Reply::No;
}

bool DecliningPrompter::AskOkCancel(const std::string& text, const std::string&) {
    Record(text, Translated(texts::kAnsweredCancel));
    return false;
}

void DecliningPrompter::ShowMessage(const std::string& text, const std::string&, MessageIcon) {
    Record(text, {});
    ++problems;
}

void DecliningPrompter::Record(const std::string& text, const std::string& answer) {
    if (m_said == nullptr) return;
    *m_said << "tunecrate: " << OneLine(text) << (answer.empty() ? "" : " -> " + answer) << "\n";
}

}  // namespace tunecrate
