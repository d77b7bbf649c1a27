// SPDX-License-Identifier: MIT
#include "widgets/InPlaceEdit.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>

#include "widgets/SongList.h"

namespace tunecrate {

namespace {

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

InPlaceEdit::InPlaceEdit(SongList* list, int row, int column, const QString& initialText, const QRect& rect,
                         Qt::Alignment alignment)
    : QLineEdit(list->viewport()), m_list(list), m_row(row), m_column(column), m_initialText(initialText) {
    setObjectName(QStringLiteral("InPlaceEdit"));
    setProperty("controlId", kControlId);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(list->font());
    setFrame(true);
    setAlignment(alignment | Qt::AlignVCenter);
    setGeometry(rect);
    setText(initialText);
    show();
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

bool InPlaceEdit::event(QEvent* e) {
    // Enter, Escape, Delete and every Ctrl combination belong to the box: the
    // main window's shortcuts and dialog keys must never see them.
    if (e->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (IsEnter(key->key()) || key->key() == Qt::Key_Escape || key->key() == Qt::Key_Delete ||
            (key->modifiers() & Qt::ControlModifier)) {
            e->accept();
            return true;
        }
    }
    return QLineEdit::event(e);
}

void InPlaceEdit::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        m_cancelled = true;
        m_list->setFocus(Qt::OtherFocusReason);
        e->accept();
        return;
    }
    if (IsEnter(e->key())) {
        m_list->setFocus(Qt::OtherFocusReason);
        e->accept();
        return;
    }
    // A key that brings a character (typed text, Backspace, Ctrl+V) modifies the
    // box; Delete and the arrows bring none.
    const bool character = !e->text().isEmpty() && e->key() != Qt::Key_Delete && e->key() != Qt::Key_Tab &&
                           e->key() != Qt::Key_Backtab;
    QLineEdit::keyPressEvent(e);
    if (character) {
        m_modified = true;
        Widen();
    }
    // Keys the box does not use (Delete at the end, Ctrl+letters) stay here.
    e->accept();
}

void InPlaceEdit::inputMethodEvent(QInputMethodEvent* e) {
    // Japanese text arrives from the input method, not as key presses.
    QLineEdit::inputMethodEvent(e);
    if (!e->commitString().isEmpty()) {
        m_modified = true;
        Widen();
    }
}

void InPlaceEdit::Widen() {
    const int needed = fontMetrics().horizontalAdvance(text()) + 5 + 2 * 2;   // text, margin, frame
    if (needed <= width()) return;
    const int rightEdge = m_list->viewport()->width();
    const int newWidth = std::min(needed, rightEdge - x());
    if (newWidth > width()) resize(newWidth, height());
}

void InPlaceEdit::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    End();
}

void InPlaceEdit::End() {
    if (m_ended) return;
    m_ended = true;
    // The list writes the change before the box goes away.
    if (m_modified) {
        m_list->EndCellEdit(m_row, m_column, m_cancelled ? std::nullopt : std::optional<QString>(text()));
    }
    hide();
    deleteLater();
}

}  // namespace tunecrate
