// SPDX-License-Identifier: MIT
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "FakePrompter.h"

namespace tunecrate::testing {
namespace {

// The fake is what makes every other test notice a stray or missing message box.
TEST(FakePrompterTest, AnswersInScriptOrderAndRecordsEveryCall) {
    FakePrompter prompter;
    prompter.ExpectYesNo(false);
    prompter.ExpectOkCancel(true);
    prompter.ExpectMessage();
    EXPECT_FALSE(prompter.AskYesNo("overwrite?", "Overwrite?"));
    EXPECT_TRUE(prompter.AskOkCancel("sure?", "Notice"));
    prompter.ShowMessage("full", "Error!", MessageIcon::Exclamation);
    ASSERT_EQ(prompter.calls().size(), 3u);
    EXPECT_EQ(prompter.calls()[0].caption, "Overwrite?");
    EXPECT_EQ(prompter.calls()[1].kind, FakePrompter::Kind::OkCancel);
    EXPECT_EQ(prompter.calls()[2].text, "full");
    EXPECT_EQ(prompter.calls()[2].icon, MessageIcon::Exclamation);
}

TEST(FakePrompterTest, UnexpectedQuestionFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompter prompter;
            prompter.AskYesNo("delete?", "Confirm");
        },
        "unexpected Yes/No question \"delete?\"");
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompter prompter;
            prompter.ExpectYesNo(true);
            prompter.ShowMessage("oops", "Error!", MessageIcon::None);
            prompter.AskYesNo("delete?", "Confirm");
        },
        "scripted was a Yes/No question");
}

TEST(FakePrompterTest, UnusedAnswerFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            FakePrompter prompter;
            prompter.ExpectMessage();
        },
        "message was never asked for");
}

}  // namespace
}  // namespace tunecrate::testing
