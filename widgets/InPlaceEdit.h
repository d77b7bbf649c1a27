// SPDX-License-Identifier: MIT
#pragma once

#include <QLineEdit>

namespace tunecrate {

class SongList;

// The cell editor: a small edit box over one cell of a song list. It owns
// itself; when it loses the keyboard focus it reports the new text to its list
// (only if a character was typed, and without text when Escape was pressed)
// and then goes away.
class InPlaceEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kControlId = 1005;

    InPlaceEdit(SongList* list, int row, int column, const QString& initialText, const QRect& rect,
                Qt::Alignment alignment);


protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Widen();
    void End();

    SongList* m_list;
    bool m_modified = false;
    int m_row;
    int m_column;
    QString m_initialText;
    bool m_cancelled = false;
    bool m_ended = false;
};

}  // namespace tunecrate
