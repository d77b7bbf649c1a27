// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace tunecrate {

enum class MessageIcon { None, Exclamation };

// The answer to a question that may stand for the items still to come.
enum class Reply { Yes, No, YesToAll, NoToAll };

// How core operations and window handlers ask the user and tell them things.
// The windows answer with message boxes; tests answer from a script.
// Texts are UTF-8.
class Prompter {
public:
    virtual ~Prompter() = default;
    // Yes and No buttons, exclamation icon. True for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // As AskYesNo, asked about one of several items; with `offerToAll` (more
    // than one item remains) the user may also answer for all that remain.
    virtual Reply AskYesNoToAll(const std::string& text, const std::string& caption, bool offerToAll) = 0;
    // OK and Cancel buttons, exclamation icon. True for OK.
    virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
    // An OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// Hands every box to another prompter, and tells `opened(true)` before it
// opens and `opened(false)` once it is answered: what must not happen while
// the user reads a box (a progress shown over it, the rows behind it read
// anew) waits for it.
class BoxWatchingPrompter final : public Prompter {
public:
    BoxWatchingPrompter(std::function<Prompter&()> asker, std::function<void(bool opened)> opened)
        : m_asker(std::move(asker)), m_opened(std::move(opened)) {}
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    Reply AskYesNoToAll(const std::string& text, const std::string& caption, bool offerToAll) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;

private:
    template <typename Ask>
    auto WhileOpen(Ask ask) {
        m_opened(true);
        struct Closed {
            std::function<void(bool)>& opened;
            ~Closed() { opened(false); }
        } closed{m_opened};
        return ask(m_asker());
    }
    std::function<Prompter&()> m_asker;
    std::function<void(bool)> m_opened;
};

// The user whom nobody can ask: a script, or a drag to another program. Every
// question is answered no (or cancel); what is asked and told goes, one line
// each, to `said` when there is one, and is counted.
class DecliningPrompter final : public Prompter {
public:
    explicit DecliningPrompter(std::ostream* said = nullptr) : m_said(said) {}
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    Reply AskYesNoToAll(const std::string& text, const std::string& caption, bool offerToAll) override;
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    int declined = 0;   // questions answered no
    int problems = 0;   // messages: for a script, each one a problem

private:
    void Record(const std::string& text, const std::string& answer);
    std::ostream* m_said;
};

}  // namespace tunecrate
