// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "core/Prompter.h"

namespace tunecrate::testing {

// A scripted stand-in for the message boxes: every question and message must
// have been announced by the test, in order, with the answer to give. Each call
// is recorded. An unannounced call, or an announced one that never came, fails
// the running test.
class FakePrompter final : public Prompter {
public:
    enum class Kind { YesNo, OkCancel, Message };

    struct Call {
        std::string text;
        std::string caption;
        Kind kind;
        MessageIcon icon = MessageIcon::None;   // messages only
    };

    FakePrompter() = default;
    FakePrompter(const FakePrompter&) = delete;
    FakePrompter& operator=(const FakePrompter&) = delete;
    ~FakePrompter() override { VerifyAllUsed(); }

    void ExpectYesNo(bool answer) { m_script.push_back({Kind::YesNo, answer}); }
    void ExpectOkCancel(bool answer) { m_script.push_back({Kind::OkCancel, answer}); }
    void ExpectMessage() { m_script.push_back({Kind::Message, true}); }

    bool AskYesNo(const std::string& text, const std::string& caption) override {
        return Answer({text, caption, Kind::YesNo});
    }
    bool AskOkCancel(const std::string& text, const std::string& caption) override {
        return Answer({text, caption, Kind::OkCancel});
    }
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        Answer({text, caption, Kind::Message, icon});
    }

    const std::vector<Call>& calls() const { return m_calls; }

    // Fails the test for every scripted answer not yet used, then forgets them.
    void VerifyAllUsed() {
        for (const Step& step : m_script) {
            ADD_FAILURE() << "scripted " << KindName(step.kind) << " was never asked for";
        }
        m_script.clear();
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
    struct Step {
        Kind kind;
        bool answer;
    };

    bool Answer(Call call) {
        m_calls.push_back(call);
        if (m_script.empty() || m_script.front().kind != call.kind) {
            ADD_FAILURE() << "unexpected " << KindName(call.kind) << " \"" << call.text << "\" (caption \""
                          << call.caption << "\")"
                          << (m_script.empty() ? std::string(", nothing scripted")
                                               : std::string(", scripted was a ") + KindName(m_script.front().kind));
            return false;
        }
        const bool answer = m_script.front().answer;
        m_script.pop_front();
        return answer;
    }

    std::deque<Step> m_script;
    std::vector<Call> m_calls;
};

}  // namespace tunecrate::testing
