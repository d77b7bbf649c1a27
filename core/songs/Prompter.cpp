// SPDX-License-Identifier: MIT
#include "core/songs/Prompter.h"

#include "core/Texts.h"
#include "core/text/TypedText.h"

namespace tunecrate {

bool BoxWatchingPrompter::AskYesNo(const std::string& text, const std::string& caption) {
    return WhileOpen([&](Prompter& asker) { return asker.AskYesNo(text, caption); });
}

Reply BoxWatchingPrompter::AskYesNoToAll(const std::string& text, const std::string& caption, bool offerToAll) {
    return WhileOpen([&](Prompter& asker) { return asker.AskYesNoToAll(text, caption, offerToAll); });
}

bool BoxWatchingPrompter::AskOkCancel(const std::string& text, const std::string& caption) {
    return WhileOpen([&](Prompter& asker) { return asker.AskOkCancel(text, caption); });
}

void BoxWatchingPrompter::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    WhileOpen([&](Prompter& asker) { asker.ShowMessage(text, caption, icon); });
}

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
