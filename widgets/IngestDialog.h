// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include "session/IngestSession.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace tunecrate {

// A box of floppies onto the shelf: the drive, what to do with copies and
// where numbers go, the table of disks taken, and the loop's buttons. It
// shows what the session holds and hands every gesture to it.
class IngestDialog : public QDialog {
    Q_OBJECT
public:
    IngestDialog(IngestSession& session, QWidget* parent = nullptr);

private:
    void ShowPhase();
    void ShowRows();
    void ShowProgress(int done, int total, const QString& timeLeft);
    void AskSaveTable();

    IngestSession& m_session;
    QComboBox* m_drive;
    QCheckBox* m_keepCopies;
    QLineEdit* m_nextLabel;
    QRadioButton* m_gapsFirst;
    QTableWidget* m_table;
    QLabel* m_state;
    QProgressBar* m_progress;
    QPushButton *m_start, *m_stop, *m_retry, *m_next, *m_save;
    std::size_t m_rowsShown = 0;
    bool m_filling = false;   // the table is being filled: its changes are not the user's
};

}  // namespace tunecrate
