// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/songs/Prompter.h"

namespace tunecrate::testing {

// Stands in for the user: questions are answered from a queue the test fills
// beforehand, and every question and message is recorded. A question that
// nothing was queued for gets the cautious answer (No, Cancel) and fails the
// test; so does a queued answer that no question used.
class ScriptedPrompter : public Prompter {
public:
    enum class Kind { YesNo, OkCancel, Message };
    struct Call {
        std::string text;
        std::string caption;
        Kind kind = Kind::Message;
        MessageIcon icon = MessageIcon::None;
        bool offeredToAll = false;
    };

    ScriptedPrompter() = default;
    // A user who answers every question: `first` in turn whatever its kind, then `rest`; nothing fails.
    explicit ScriptedPrompter(bool rest, const std::vector<bool>& first = {}) : m_rest(rest) {
        for (const bool answer : first) AnswerYesNo(answer);
    }
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;
    ~ScriptedPrompter() override {
        for (std::size_t i = 0; !m_rest && i < m_answers.size(); ++i) ADD_FAILURE() << "a scripted answer was never asked for";
    }

    std::function<void()> whileAsked;   // what the world does while a box (a question, a message) is open
    void AnswerYesNo(bool yes) { m_answers.push_back({Kind::YesNo, yes ? Reply::Yes : Reply::No}); }
    // Fails the test when the question does not offer the answers for all.
    void AnswerToAll(bool yes) { m_answers.push_back({Kind::YesNo, yes ? Reply::YesToAll : Reply::NoToAll}); }
    void AnswerOkCancel(bool ok) { m_answers.push_back({Kind::OkCancel, ok ? Reply::Yes : Reply::No}); }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        return Answer({text, caption, Kind::YesNo, MessageIcon::Exclamation}) == Reply::Yes;
    }
    Reply AskYesNoToAll(const std::string& text, const std::string& caption, bool offerToAll) override {
        return Answer({text, caption, Kind::YesNo, MessageIcon::Exclamation, offerToAll});
    }
    bool AskOkCancel(const std::string& text, const std::string& caption) override {
        return Answer({text, caption, Kind::OkCancel, MessageIcon::Exclamation}) == Reply::Yes;
    }
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        m_calls.push_back({text, caption, Kind::Message, icon});
        if (whileAsked) whileAsked();
    }
    const std::vector<Call>& calls() const { return m_calls; }
    std::vector<std::string> Texts() const {   // every question and message, in order
        std::vector<std::string> texts;
        for (const Call& call : m_calls) texts.push_back(call.text);
        return texts;
    }
    void ClearCalls() { m_calls.clear(); }
    std::string Said() const {   // the messages shown, one a line
        std::string said;
        for (const Call& call : m_calls) said += call.kind == Kind::Message ? call.text + "\n" : "";
        return said;
    }

private:
    Reply Answer(Call call) {
        m_calls.push_back(call);
        if (whileAsked) whileAsked();
        if (m_rest && m_answers.empty()) return *m_rest ? Reply::Yes : Reply::No;
        if (m_answers.empty() || (!m_rest && m_answers.front().first != call.kind)) {
            ADD_FAILURE() << "unexpected question \"" << call.text << "\" (" << call.caption << ")";
            return Reply::No;
        }
        const Reply answer = m_answers.front().second;
        m_answers.pop_front();
        const bool unoffered = (answer == Reply::YesToAll || answer == Reply::NoToAll) && !call.offeredToAll;
        if (unoffered) ADD_FAILURE() << "\"" << call.text << "\" offers no answer for all";
        return unoffered ? Reply::No : answer;
    }

    std::deque<std::pair<Kind, Reply>> m_answers;
    std::optional<bool> m_rest;
    std::vector<Call> m_calls;
};

}  // namespace tunecrate::testing
