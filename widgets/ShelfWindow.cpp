// SPDX-License-Identifier: MIT
#include "widgets/ShelfWindow.h"

#include <QDragMoveEvent>
#include <algorithm>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/songs/FloppyCatalogue.h"
#include "core/text/Encoding.h"
#include "session/ShelfSession.h"
#include "widgets/DragAndDrop.h"

namespace tunecrate {

namespace {

constexpr int kRowRole = Qt::UserRole;          // the session's row
constexpr int kRowsReadGapMs = 100;             // the most a row read waits to be shown
constexpr int kSortRole = Qt::UserRole + 1;     // what a column sorts by, when not its text
const QColor kFoundSlot(255, 240, 130);

// Numbers sort as numbers; rows without one come after.
class ShelfItem final : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
        const QVariant mine = data(column, kSortRole), theirs = other.data(column, kSortRole);
        if (mine.isValid() && theirs.isValid()) return mine.toLongLong() < theirs.toLongLong();
        return text(column).localeAwareCompare(other.text(column)) < 0;
    }
};

QString FromCp932(const std::string& cp932) { return QString::fromStdString(Cp932ToUtf8(cp932)); }

}  // namespace

SideBySide PlaceBeside(const QRect& main, QSize size, const QRect& screen, int minimumWidth) {
    size = size.boundedTo(screen.size());
    const int right = screen.right() - main.right(), left = main.left() - screen.left();   // the room on each side
    const bool rightSide = right >= size.width() || (left < size.width() && right >= left);
    const int room = rightSide ? right : left, wanted = std::min(size.width(), minimumWidth);
    const int y = std::clamp(main.top(), screen.top(), screen.bottom() + 1 - size.height());
    if (room >= wanted) {
        const int width = std::min(size.width(), room);
        return {main, {rightSide ? main.right() + 1 : main.left() - width, y, width, size.height()}};
    }
    if (screen.width() - main.width() >= wanted) {
        const int width = std::min(size.width(), screen.width() - main.width());
        const QRect moved = main.translated(screen.right() + 1 - width - main.right() - 1, 0);
        return {moved, {moved.right() + 1, y, width, size.height()}};
    }
    return {main, {rightSide ? screen.right() + 1 - size.width() : screen.left(), y, size.width(), size.height()}};
}

ShelfWindow::ShelfWindow(ShelfSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), m_session(session), m_search(new QLineEdit(this)), m_matches(new QLabel(this)),
      m_list(new QTreeWidget(this)),
      m_progress(new QProgressBar(this)), m_folderLabel(new QLabel(this)), m_rowsReadTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("shelfWindow"));
    setWindowTitle(tr("ディスク棚"));
    resize(1060, 480);
    m_search->setObjectName(QStringLiteral("shelfSearch"));
    m_search->setPlaceholderText(tr("曲名・コメントを検索"));
    m_search->setClearButtonEnabled(true);
    m_matches->setObjectName(QStringLiteral("shelfMatches"));
    m_list->setObjectName(QStringLiteral("shelfList"));
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels({tr("番号"), tr("ファイル名"), QStringLiteral("1"), QStringLiteral("2"),
                             QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"), tr("曲数"),
                             tr("空き(kb)"), tr("状態")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(NumberColumn, Qt::AscendingOrder);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAcceptDrops(true);
    m_list->viewport()->setAcceptDrops(true);
    m_list->viewport()->installEventFilter(this);
    m_list->installEventFilter(this);
    m_list->header()->setStretchLastSection(true);
    // Narrow title columns, so that the state column is in sight without scrolling.
    for (const auto& [column, width] : {std::pair{NumberColumn, 48}, {FileColumn, 170}, {SongsColumn, 40}, {FreeColumn, 60}}) {
        m_list->setColumnWidth(column, width);
    }
    for (int slot = 0; slot < kSlotCount; ++slot) m_list->setColumnWidth(FirstTitleColumn + slot, 100);
    m_progress->setObjectName(QStringLiteral("shelfProgress"));
    m_progress->setTextVisible(true);
    m_folderLabel->setObjectName(QStringLiteral("shelfFolder"));

    auto* newImages = new QPushButton(tr("新しいイメージ..."), this);
    newImages->setObjectName(QStringLiteral("newImagesButton"));
    auto* label = new QPushButton(tr("名前を付ける..."), this);
    label->setObjectName(QStringLiteral("labelButton"));
    auto* save = new QPushButton(tr("一覧を保存..."), this);
    save->setObjectName(QStringLiteral("saveListButton"));
    auto* top = new QHBoxLayout;
    top->addWidget(m_search, 1);
    top->addWidget(m_matches);
    top->addWidget(newImages);
    top->addWidget(label);
    top->addWidget(save);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_folderLabel, 1);
    bottom->addWidget(m_progress);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);

    connect(newImages, &QPushButton::clicked, this, &ShelfWindow::AskNewImages);
    connect(label, &QPushButton::clicked, this, &ShelfWindow::AskLabel);
    connect(save, &QPushButton::clicked, this, &ShelfWindow::AskSaveList);
    connect(m_search, &QLineEdit::textChanged, &m_session, &ShelfSession::SetSearch);
    connect(&m_session, &ShelfSession::searchChanged, this, &ShelfWindow::ApplySearch);
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (const std::string path = m_session.PathOf(RowOfItem(item)); !path.empty()) emit imageChosen(path);
    });
    connect(&m_session, &ShelfSession::rowsReset, this, &ShelfWindow::Fill);
    m_rowsReadTimer->setSingleShot(true);
    m_rowsReadTimer->setInterval(kRowsReadGapMs);
    connect(m_rowsReadTimer, &QTimer::timeout, this, &ShelfWindow::ShowRowsRead);
    connect(&m_session, &ShelfSession::rowRead, this, [this](int row) {
        m_rowsRead.push_back(row);
        if (!m_rowsReadTimer->isActive()) m_rowsReadTimer->start();
    });
    connect(&m_session, &ShelfSession::readingDone, this, &ShelfWindow::ShowRowsRead);
    Fill();
}

QTreeWidgetItem* ShelfWindow::ItemOf(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_items.size() ? m_items[static_cast<std::size_t>(row)] : nullptr;
}

int ShelfWindow::RowOfItem(const QTreeWidgetItem* item) const { return item == nullptr ? -1 : item->data(0, kRowRole).toInt(); }

void ShelfWindow::Fill() {
    m_folderLabel->setText(QString::fromStdString(m_session.ShelfFolder()));
    // A stick's slots have numbers only: no file name to show or label.
    m_list->setColumnHidden(FileColumn, m_session.ShowsStick());
    if (auto* label = findChild<QPushButton*>(QStringLiteral("labelButton"))) label->setEnabled(!m_session.ShowsStick());
    m_list->setSortingEnabled(false);
    m_list->clear();
    m_items.clear();
    m_rowsRead.clear();   // all of them are shown below
    QList<QTreeWidgetItem*> items;
    for (std::size_t i = 0; i < m_session.ImageRows().size(); ++i) {
        auto* item = new ShelfItem;
        item->setData(0, kRowRole, static_cast<int>(i));
        items.push_back(item);
        m_items.push_back(item);
        ShowRow(static_cast<int>(i));   // before the list has it: no cell's change is announced
    }
    m_list->addTopLevelItems(items);
    m_list->setSortingEnabled(true);
    ShowProgress();
    ApplySearch();
}

void ShelfWindow::ShowRowsRead() {
    m_rowsReadTimer->stop();
    if (!m_rowsRead.empty()) {
        // One change announced for them all: each cell's own would reach the view, the sorting and
        // every other follower of the list one by one. A row's number and file name are as listed:
        // sorted by them, the list is not sorted again.
        QAbstractItemModel* model = m_list->model();
        {
            const QSignalBlocker quiet(model);
            for (int row : m_rowsRead) {
                ShowRow(row);
                ShowHit(ItemOf(row), row);
            }
        }
        emit model->dataChanged(model->index(0, FirstTitleColumn), model->index(model->rowCount() - 1, ColumnCount - 1));
    }
    m_rowsRead.clear();
    ShowMatches();
    ShowProgress();
}

void ShelfWindow::ShowRow(int row) {
    QTreeWidgetItem* item = ItemOf(row);
    if (item == nullptr) return;
    const ShelfRow& shown = m_session.ImageRows()[static_cast<std::size_t>(row)];
    const bool read = m_session.IsRead(row);
    // A stick's slots go from 000 to 999, and have no file name.
    const bool onStick = m_session.ShowsStick();
    item->setText(NumberColumn, shown.number ? QStringLiteral("%1").arg(*shown.number, onStick ? 3 : 4, 10, QLatin1Char('0')) : QString());
    item->setData(NumberColumn, kSortRole, shown.number ? *shown.number : 100000 + row);
    item->setText(FileColumn, onStick ? QString() : QString::fromStdString(shown.file));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const auto s = static_cast<std::size_t>(slot);
        item->setText(FirstTitleColumn + slot, FromCp932(shown.titles[s]));
        item->setToolTip(FirstTitleColumn + slot, FromCp932(shown.comments[s]));
    }
    item->setText(SongsColumn, read && shown.usable() ? QString::number(shown.songs) : QString());
    item->setData(SongsColumn, kSortRole, shown.songs);
    item->setText(FreeColumn, read && shown.usable() ? QString::fromStdString(FreeSpaceFigure(shown.freeBytes)) : QString());
    item->setData(FreeColumn, kSortRole, static_cast<qlonglong>(shown.usable() ? shown.freeBytes : -1));
    item->setText(StateColumn, !read ? tr("読み込み中...") : QString::fromStdString(shown.condition.reason));
    // The cell may be cut; the tooltip holds the whole state, every damage found with it.
    QStringList state{item->text(StateColumn)};
    for (const std::string& problem : shown.damage) state << QString::fromStdString(problem);
    item->setToolTip(StateColumn, state.join(QLatin1Char('\n')));
    ShowShownMark(row);
}

void ShelfWindow::ShowShownMark(int row) {
    QTreeWidgetItem* item = ItemOf(row);
    const bool shown = m_session.PathOf(row) == m_shown;
    if (item == nullptr || item->font(FileColumn).bold() == shown) return;
    QFont font = item->font(FileColumn);
    font.setBold(shown);
    for (int column = 0; column < ColumnCount; ++column) item->setFont(column, font);
}

void ShelfWindow::MarkShown(const std::string& imagePath) {
    m_shown = imagePath;
    for (std::size_t i = 0; i < m_items.size(); ++i) ShowShownMark(static_cast<int>(i));
}

void ShelfWindow::ApplySearch() {
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) ShowHit(m_list->topLevelItem(i), RowOfItem(m_list->topLevelItem(i)));
    ShowMatches();
}

void ShelfWindow::ShowHit(QTreeWidgetItem* item, int row) {
    const std::vector<ShelfHit>& hits = m_session.Hits();
    if (item == nullptr || row < 0 || static_cast<std::size_t>(row) >= hits.size()) return;
    const ShelfHit& hit = hits[static_cast<std::size_t>(row)];
    const bool searching = m_session.Searching();
    // Only a change: each hiding lays the whole list out anew.
    if (const bool hide = searching && !hit.found; item->isHidden() != hide) item->setHidden(hide);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const bool mark = searching && hit.foundSlots[static_cast<std::size_t>(slot)];
        if ((item->background(FirstTitleColumn + slot).style() != Qt::NoBrush) != mark) {
            item->setBackground(FirstTitleColumn + slot, mark ? QBrush(kFoundSlot) : QBrush());
        }
    }
}

void ShelfWindow::ShowMatches() {
    m_matches->setText(m_session.Searching() ? tr("%n 件", nullptr, m_session.Matches()) : QString());
}

void ShelfWindow::ShowProgress() {
    const int total = static_cast<int>(m_session.ImageRows().size());
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setValue(m_session.RowsRead());
    m_progress->setVisible(m_session.RowsRead() < total);
}

void ShelfWindow::AskNewImages() {
    bool ok = false;
    const int count = QInputDialog::getInt(this, tr("新しいイメージ"), tr("作るイメージの数:"), 1, 1,
                                           1000, 1, &ok);
    if (ok) m_session.MakeImages(count);
}

void ShelfWindow::AskLabel() {
    const int row = RowOfItem(m_list->currentItem());
    if (row < 0) return;
    const auto indexed = ParseIndexedName(m_session.ImageRows()[static_cast<std::size_t>(row)].file);
    bool ok = false;
    const QString label = QInputDialog::getText(this, tr("名前を付ける"),
                                                tr("番号の後に付ける名前（英数字）:"), QLineEdit::Normal,
                                                indexed ? QString::fromStdString(indexed->label).trimmed() : QString(), &ok);
    if (ok) m_session.LabelImage(row, label);
}

void ShelfWindow::AskSaveList() {
    QString filter;
    const QString csv = QStringLiteral("CSV (*.csv)"), text = tr("テキスト (*.txt)");
    const QString path = QFileDialog::getSaveFileName(this, tr("一覧を保存"), QString::fromStdString(m_session.DefaultListPath()),
                                                      csv + ";;" + text, &filter);
    if (!path.isEmpty()) m_session.SaveList(path.toStdString(), filter != text);
}

bool ShelfWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return || static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter)) {
        if (m_list->currentItem() != nullptr) emit m_list->itemActivated(m_list->currentItem(), 0);
        return true;
    }
    if (watched != m_list->viewport()) return false;
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* move = static_cast<QDragMoveEvent*>(event);
            QTreeWidgetItem* item = m_list->itemAt(move->position().toPoint());
            // Asked first: a drag's files are read as it enters.
            if (!AcceptSongDrag(move) || item == nullptr) {
                move->ignore();
            } else {
                m_list->setCurrentItem(item);
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const int row = RowOfItem(m_list->itemAt(drop->position().toPoint()));
            if (row < 0) {
                drop->ignore();
                return true;
            }
            TakeDrop(drop, this, [this, row](bool move, const SongSource& songs) { m_session.DropOnto(row, move, songs); });
            return true;
        }
        default:
            return false;
    }
}

}  // namespace tunecrate
