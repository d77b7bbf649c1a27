// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "core/songs/Prompter.h"

namespace tunecrate::testing {

// Stands in for the user: questions are answered from a queue the test fills
// beforehand. Every call is recorded so a test can compare the exact texts,
// captions and icons. A question that nothing was queued for, or a queued
// answer that no question used, fails the test. Messages are taken as shown,
// or, with `scriptedMessages`, must be queued like questions.
class ScriptedPrompter : public Prompter {
public:
    enum class Kind { YesNo, OkCancel, Message };

    struct Call {
        std::string text;
        std::string caption;
        Kind kind = Kind::Message;
        MessageIcon icon = MessageIcon::None;

        bool operator==(const Call&) const = default;
    };

    explicit ScriptedPrompter(bool scriptedMessages = false) : m_scriptedMessages(scriptedMessages) {}
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;
    ~ScriptedPrompter() override { VerifyAllUsed(); }

    void AnswerYesNo(bool yes) { m_answers.push_back({Kind::YesNo, yes}); }
    void AnswerOkCancel(bool ok) { m_answers.push_back({Kind::OkCancel, ok}); }
    void ExpectMessage() { m_answers.push_back({Kind::Message, true}); }

    bool AskYesNo(const std::string& text, const std::string& caption) override {
        return Answer({text, caption, Kind::YesNo, MessageIcon::Exclamation});
    }
    bool AskOkCancel(const std::string& text, const std::string& caption) override {
        return Answer({text, caption, Kind::OkCancel, MessageIcon::Exclamation});
    }
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        if (m_scriptedMessages) {
            Answer({text, caption, Kind::Message, icon});
        } else {
            m_calls.push_back({text, caption, Kind::Message, icon});
        }
    }

    const std::vector<Call>& calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }

    // The expected form of each kind of call, for comparing with calls().
    static Call YesNo(std::string text, std::string caption) {
        return {std::move(text), std::move(caption), Kind::YesNo, MessageIcon::Exclamation};
    }
    static Call Message(std::string text, std::string caption, MessageIcon icon = MessageIcon::None) {
        return {std::move(text), std::move(caption), Kind::Message, icon};
    }

    // Fails the test for every queued answer not yet used, then forgets them.
    void VerifyAllUsed() {
        for (const Scripted& answer : m_answers) {
            ADD_FAILURE() << "scripted " << KindName(answer.kind) << " was never asked for";
        }
        m_answers.clear();
    }

    static const char* KindName(Kind kind) {
        switch (kind) {
            case Kind::YesNo: return "Yes/No question";
            case Kind::OkCancel: return "OK/Cancel question";
            case Kind::Message: return "message";
        }
        return "?";
    }

private:
    struct Scripted {
        Kind kind;
        bool answer;
    };

    bool Answer(Call call) {
        m_calls.push_back(call);
        if (m_answers.empty() || m_answers.front().kind != call.kind) {
            ADD_FAILURE() << "unexpected " << KindName(call.kind) << " \"" << call.text << "\" (caption \""
                          << call.caption << "\")"
                          << (m_answers.empty() ? std::string(", nothing scripted")
                                                : std::string(", scripted was a ") + KindName(m_answers.front().kind));
            // The cautious answer, so an unexpected question cannot destroy anything.
            return false;
        }
        const bool answer = m_answers.front().answer;
        m_answers.pop_front();
        return answer;
    }

    bool m_scriptedMessages;
    std::deque<Scripted> m_answers;
    std::vector<Call> m_calls;
};

inline void PrintTo(const ScriptedPrompter::Call& call, std::ostream* out) {
    *out << ScriptedPrompter::KindName(call.kind) << " {\"" << call.text << "\", \"" << call.caption << "\", "
         << (call.icon == MessageIcon::Exclamation ? "exclamation" : "no icon") << "}";
}

}  // namespace tunecrate::testing
