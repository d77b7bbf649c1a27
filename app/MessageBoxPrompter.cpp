// SPDX-License-Identifier: MIT
#include "app/MessageBoxPrompter.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace tunecrate {

namespace {

// A question must be readable and answerable even while a long operation
// shows the wait cursor.
class NormalCursor {
public:
    NormalCursor() : m_active(QGuiApplication::overrideCursor() != nullptr) {
        if (m_active) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalCursor() {
        if (m_active) QGuiApplication::restoreOverrideCursor();
    }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;

private:
    bool m_active;
};

int Run(QWidget* owner, QMessageBox::Icon icon, const std::string& text, const std::string& caption,
        QMessageBox::StandardButtons buttons) {
    NormalCursor cursor;
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), buttons, owner);
    box.setObjectName(QStringLiteral("messageBox"));
    return box.exec();
}

}  // namespace

bool MessageBoxPrompter::AskYesNo(const std::string& text, const std::string& caption) {
    return Run(m_owner, QMessageBox::Warning, text, caption, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool MessageBoxPrompter::AskOkCancel(const std::string& text, const std::string& caption) {
    return Run(m_owner, QMessageBox::Warning, text, caption, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

void MessageBoxPrompter::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    Run(m_owner, icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, text, caption,
        QMessageBox::Ok);
}

}  // namespace tunecrate
