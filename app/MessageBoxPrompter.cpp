// SPDX-License-Identifier: MIT
#include "app/MessageBoxPrompter.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include "core/Texts.h"

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

Reply MessageBoxPrompter::AskYesNoToAll(const std::string& text, const std::string& caption, bool offerToAll) {
    NormalCursor cursor;
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (offerToAll) buttons |= QMessageBox::YesToAll | QMessageBox::NoToAll;
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text), buttons, m_owner);
    box.setObjectName(QStringLiteral("messageBox"));
    if (offerToAll) {
        box.button(QMessageBox::YesToAll)->setText(QString::fromStdString(Translated(texts::kYesToAll)));
        box.button(QMessageBox::NoToAll)->setText(QString::fromStdString(Translated(texts::kNoToAll)));
    }
    switch (box.exec()) {
        case QMessageBox::Yes: return Reply::Yes;
        case QMessageBox::YesToAll: return Reply::YesToAll;
        case QMessageBox::NoToAll: return Reply::NoToAll;
        default: return Reply::No;   // No, or the box closed
    }
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
