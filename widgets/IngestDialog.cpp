// SPDX-License-Identifier: MIT
#include "widgets/IngestDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/disk/FileOps.h"

namespace tunecrate {

namespace {

enum Column { NumberColumn, LabelColumn, TitlesColumn, SongsColumn, UnreadableColumn, TimeColumn, StateColumn, ColumnCount };

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

IngestDialog::IngestDialog(IngestSession& session, QWidget* parent)
    : QDialog(parent), m_session(session), m_drive(new QComboBox(this)), m_keepCopies(new QCheckBox(tr("同じ曲のディスクも書き込む"), this)),
      m_nextLabel(new QLineEdit(this)), m_gapsFirst(new QRadioButton(tr("すき間の番号から"), this)), m_table(new QTableWidget(0, ColumnCount, this)), m_state(new QLabel(this)),
      m_progress(new QProgressBar(this)), m_start(new QPushButton(tr("開始"), this)), m_stop(new QPushButton(tr("中止"), this)),
      m_retry(new QPushButton(tr("このディスクをもう一度読む"), this)), m_next(new QPushButton(tr("次へ"), this)),
      m_save(new QPushButton(tr("表を保存..."), this)) {
    setObjectName(QStringLiteral("ingestDialog"));
    setWindowTitle(tr("フロッピーを順に取り込む"));
    resize(900, 480);
    m_drive->setObjectName(QStringLiteral("ingestDrive"));
    m_drive->setEditable(true);
    for (const std::string& drive : IngestSession::Drives()) m_drive->addItem(Q(drive));
    auto* afterHighest = new QRadioButton(tr("いちばん大きい番号の次から"), this);
    afterHighest->setChecked(true);
    m_table->setObjectName(QStringLiteral("ingestTable"));
    m_table->setHorizontalHeaderLabels({tr("番号"), tr("ラベル"), tr("題名"), tr("曲数"), tr("読めないセクタ"), tr("時間"), tr("状態")});
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    for (const auto& [column, width] : {std::pair{NumberColumn, 50}, {LabelColumn, 170}, {TitlesColumn, 260}, {SongsColumn, 50},
                                        {UnreadableColumn, 110}, {TimeColumn, 60}}) {
        m_table->setColumnWidth(column, width);
    }
    m_nextLabel->setObjectName(QStringLiteral("ingestNextLabel"));
    m_nextLabel->setPlaceholderText(tr("ディスクの最初の題名"));
    m_state->setObjectName(QStringLiteral("ingestState"));
    m_state->setWordWrap(true);
    m_progress->setObjectName(QStringLiteral("ingestProgress"));
    m_progress->setTextVisible(true);
    m_progress->hide();
    for (QPushButton* button : {m_start, m_stop, m_retry, m_next, m_save}) button->setAutoDefault(false);
    m_start->setObjectName(QStringLiteral("ingestStart"));
    m_stop->setObjectName(QStringLiteral("ingestStop"));
    m_retry->setObjectName(QStringLiteral("ingestRetry"));
    m_next->setObjectName(QStringLiteral("ingestNext"));
    m_save->setObjectName(QStringLiteral("ingestSave"));
    auto* close = new QPushButton(tr("閉じる"), this);
    close->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("ドライブ:"), this));
    top->addWidget(m_drive, 1);
    top->addWidget(m_start);
    top->addWidget(m_stop);
    auto* options = new QHBoxLayout;
    options->addWidget(m_keepCopies);
    options->addSpacing(24);
    options->addWidget(new QLabel(tr("番号:"), this));
    options->addWidget(afterHighest);
    options->addWidget(m_gapsFirst);
    options->addStretch(1);
    options->addWidget(new QLabel(tr("次のディスクのラベル:"), this));
    options->addWidget(m_nextLabel);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_retry);
    bottom->addWidget(m_next);
    bottom->addStretch(1);
    bottom->addWidget(m_save);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("取り込み先: %1").arg(Q(m_session.Shelf())), this));
    layout->addLayout(top);
    layout->addLayout(options);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_state);
    layout->addWidget(m_progress);
    layout->addLayout(bottom);

    connect(m_start, &QPushButton::clicked, this, [this] {
        const std::string drive = m_drive->currentText().trimmed().toStdString();
        if (drive.empty()) {
            QMessageBox::information(this, windowTitle(), tr("フロッピードライブを選んでください。"));
            return;
        }
        m_session.Start(drive, {m_gapsFirst->isChecked() ? NewNumbers::GapsFirst : NewNumbers::AfterHighest, m_keepCopies->isChecked(),
                                m_nextLabel->text().trimmed().toStdString()});
    });
    connect(m_nextLabel, &QLineEdit::textEdited, this, [this](const QString& text) { m_session.SetNextLabel(text.trimmed().toStdString()); });
    connect(m_stop, &QPushButton::clicked, &m_session, &IngestSession::Stop);
    connect(m_retry, &QPushButton::clicked, this, [this] { m_session.RetryDisk(); });
    connect(m_next, &QPushButton::clicked, &m_session, &IngestSession::GoOn);
    connect(m_save, &QPushButton::clicked, this, &IngestDialog::AskSaveTable);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling && item->column() == LabelColumn) m_session.Relabel(item->row(), item->text().toStdString());
    });
    connect(&m_session, &IngestSession::phaseChanged, this, &IngestDialog::ShowPhase);
    connect(&m_session, &IngestSession::rowsChanged, this, &IngestDialog::ShowRows);
    connect(&m_session, &IngestSession::progressed, this, &IngestDialog::ShowProgress);
    connect(&m_session, &IngestSession::failed, this, [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); });
    ShowPhase();
    ShowRows();
}

void IngestDialog::ShowPhase() {
    using Phase = IngestSession::Phase;
    const Phase phase = m_session.CurrentPhase();
    m_state->setText(Q(m_session.StateText()));
    const bool idle = phase == Phase::Idle;
    m_start->setEnabled(idle);
    m_drive->setEnabled(idle);
    m_keepCopies->setEnabled(idle);
    m_gapsFirst->setEnabled(idle);
    m_stop->setEnabled(!idle);
    m_retry->setEnabled(phase == Phase::Paused);
    m_next->setEnabled(phase == Phase::Paused);
}

void IngestDialog::ShowRows() {
    m_filling = true;
    // A label typed ahead went to the disk just read.
    if (m_session.Rows().size() > m_rowsShown) m_nextLabel->clear();
    m_rowsShown = m_session.Rows().size();
    const std::vector<IngestedDisk>& rows = m_session.Rows();
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const IngestedDisk& disk = rows[i];
        QString titles;
        for (const std::string& title : disk.titles) {
            if (!title.empty()) titles += (titles.isEmpty() ? QString() : QStringLiteral(" / ")) + Q(title).trimmed();
        }
        QString unreadable = disk.unreadable.empty() ? QString() : QString::number(disk.unreadable.size());
        for (const std::string& song : disk.songsHit) unreadable += QStringLiteral(" ") + Q(song);
        const QString state = disk.cancelled ? tr("中止")
                              : !disk.result.ok() ? Q(disk.result.reason)
                              : !disk.copyOf.empty() ? tr("%1 と同じ曲").arg(Q(disk.copyOf)) + (disk.written() ? QString() : tr("（書き込みませんでした）"))
                                                     : Q(disk.image);
        const QStringList texts = {disk.number ? QString::number(*disk.number) : QStringLiteral("-"), Q(disk.label), titles,
                                   QString::number(disk.songs), unreadable, tr("%1 秒").arg(static_cast<int>(disk.seconds + 0.5)), state};
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (column != LabelColumn) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            item->setToolTip(texts[column]);
            // A disk with unreadable sectors stands out; a copy not written is grey.
            if (!disk.unreadable.empty()) item->setBackground(QColor(255, 214, 214));
            if (!disk.written()) item->setForeground(QColor(128, 128, 128));
            m_table->setItem(static_cast<int>(i), column, item);
        }
    }
    if (!rows.empty()) m_table->scrollToBottom();
    m_save->setEnabled(!rows.empty());
    m_filling = false;
}

void IngestDialog::ShowProgress(int done, int total, const QString& timeLeft) {
    if (done < 0) {
        m_progress->hide();
        return;
    }
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    m_progress->setFormat(tr("%1 / %2 セクタ").arg(done).arg(total) + (timeLeft.isEmpty() ? QString() : QStringLiteral("  ") + timeLeft));
    m_progress->show();
}

void IngestDialog::AskSaveTable() {
    const QString path = QFileDialog::getSaveFileName(this, tr("表を保存"), Q(JoinPath(IsFolder(m_session.Shelf()) ? m_session.Shelf() : QDir::homePath().toStdString(), "ingest.csv")), tr("CSV (*.csv)"));
    if (path.isEmpty()) return;
    const Result saved = m_session.SaveTable(path.toStdString());
    if (!saved.ok()) QMessageBox::warning(this, windowTitle(), Q(saved.reason));
}

}  // namespace tunecrate
