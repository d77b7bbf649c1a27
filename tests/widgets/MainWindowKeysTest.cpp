// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "FakePrompter.h"
#include "TestFloppy.h"
#include "app/MainDialog.h"

namespace tunecrate::testing {
namespace {

// A shown, active main window without a floppy. The prompter has no script,
// so a reload set off by a key would fail the test with its error message.
class MainWindowKeysTest : public ::testing::Test {
protected:
    MainWindowKeysTest() : dialog(OptionsWithoutMounts()) { dialog.setPrompter(&prompter); }

    void SetUp() override {
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        exitButton = dialog.findChild<QPushButton*>(QStringLiteral("exitButton"));
        reloadButton = dialog.findChild<QPushButton*>(QStringLiteral("reloadButton"));
        ASSERT_NE(exitButton, nullptr);
        ASSERT_NE(reloadButton, nullptr);
        // Rejected is also the initial result; start from the other one.
        dialog.setResult(QDialog::Accepted);
    }

    // Keys go where the user's keys go: to the control with the focus.
    void Press(Qt::Key key) {
        QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &dialog;
        QTest::keyClick(target, key);
    }

    FakePrompter prompter;
    MainDialog dialog;
    QPushButton* exitButton = nullptr;
    QPushButton* reloadButton = nullptr;
};

TEST_F(MainWindowKeysTest, EscapeClosesTheWindow) {
    Press(Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(MainWindowKeysTest, EscapeClosesTheWindowFromTheFloppyList) {
    dialog.floppyList().setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.floppyList().hasFocus(); }));
    Press(Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MainWindowKeysTest, EnterAndReturnNeverCloseTheWindowNorPressAButton) {
    QSignalSpy exitClicks(exitButton, &QPushButton::clicked);
    QSignalSpy reloadClicks(reloadButton, &QPushButton::clicked);
    QSignalSpy finished(&dialog, &QDialog::finished);

    for (QWidget* focus : {static_cast<QWidget*>(nullptr), static_cast<QWidget*>(exitButton),
                           static_cast<QWidget*>(reloadButton), static_cast<QWidget*>(&dialog.floppyList())}) {
        if (focus != nullptr) {
            focus->setFocus();
            ASSERT_TRUE(QTest::qWaitFor([&] { return focus->hasFocus(); }));
        }
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            SCOPED_TRACE((focus != nullptr ? focus->objectName() : QStringLiteral("initial focus")).toStdString() +
                         (key == Qt::Key_Return ? " Return" : " Enter"));
            Press(key);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(finished.count(), 0);
            EXPECT_EQ(exitClicks.count(), 0);
            EXPECT_EQ(reloadClicks.count(), 0);
        }
    }
}

TEST_F(MainWindowKeysTest, ExitButtonClosesTheWindow) {
    QTest::mouseClick(exitButton, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace tunecrate::testing
