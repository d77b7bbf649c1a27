// SPDX-License-Identifier: MIT
#include "widgets/ShelfWindow.h"

#include "widgets/IngestDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDrag>
#include <QDragMoveEvent>
#include <algorithm>
#include <QDropEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSpinBox>
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
const QColor kCopyRow(215, 228, 250);   // a whole floppy's copy
const QColor kCopiedSong(120, 120, 120);

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
      m_progress(new QProgressBar(this)), m_folderLabel(new QLabel(this)), m_rowsReadTimer(new QTimer(this)), m_imageMenu(new QMenu(this)) {
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
    // Several images at once for a deletion or a drag; one for what acts on one.
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
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
    auto* images = new QPushButton(tr("イメージ"), this);
    images->setObjectName(QStringLiteral("imagesButton"));
    m_renumber = m_imageMenu->addAction(tr("番号を変える..."), this, &ShelfWindow::AskRenumber);
    m_copy = m_imageMenu->addAction(tr("コピー先..."), this, &ShelfWindow::AskCopy);
    m_remove = m_imageMenu->addAction(tr("削除..."), this, &ShelfWindow::AskRemove);
    m_remove->setShortcut(QKeySequence::Delete);
    m_remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(m_remove);
    m_imageMenu->addSeparator();
    m_closeGaps = m_imageMenu->addAction(tr("すき間を詰める..."), this, [this] { m_session.CloseGaps(); });
    // Every whole copy selected, for a deletion that keeps the first of each.
    m_selectCopies = m_imageMenu->addAction(tr("同じ曲のイメージを選ぶ"), this, [this] {
        m_list->clearSelection();
        const std::vector<ShelfCopies>& copies = m_session.Copies();
        for (std::size_t i = 0; i < copies.size() && i < m_items.size(); ++i) {
            if (copies[i].sameAs) m_items[i]->setSelected(true);
        }
        m_list->setFocus();   // so that Delete acts on them, not on the search text
    });
    m_imageMenu->addSeparator();
    m_imageMenu->addAction(tr("フロッピーを順に取り込む..."), this, &ShelfWindow::AskIngest);
    m_convert = m_imageMenu->addAction(QString(), this, &ShelfWindow::AskConvert);
    m_imageMenu->addSeparator();
    QMenu* open = m_imageMenu->addMenu(tr("別の棚を開く"));
    connect(open, &QMenu::aboutToShow, this, [this, open] { AskOpenShelf(open); });
    images->setMenu(m_imageMenu);
    connect(m_imageMenu, &QMenu::aboutToShow, this, &ShelfWindow::ShowActions);
    // Delete is a shortcut: it follows the selection, not only the menu's opening.
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &ShelfWindow::ShowActions);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_imageMenu->popup(m_list->viewport()->mapToGlobal(at)); });
    auto* top = new QHBoxLayout;
    top->addWidget(m_search, 1);
    top->addWidget(m_matches);
    top->addWidget(newImages);
    top->addWidget(label);
    top->addWidget(images);
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
    // Every row's marks at once, as one change of the list.
    connect(&m_session, &ShelfSession::copiesFound, this, [this] {
        for (std::size_t i = 0; i < m_items.size(); ++i) m_rowsRead.push_back(static_cast<int>(i));
        ShowRowsRead();
    });
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
    m_convert->setText(m_session.ShowsStick() ? tr("フォルダに書き出す...") : tr("スティックに書き込む..."));
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
    // The songs compared by content: a copy of a whole floppy says of which, a song found before is greyed.
    const std::vector<ShelfCopies>& copies = m_session.Copies();
    const ShelfCopies* copy = static_cast<std::size_t>(row) < copies.size() ? &copies[static_cast<std::size_t>(row)] : nullptr;
    const auto named = [this](std::size_t other) {
        const ShelfRow& first = m_session.ImageRows()[other];
        return m_session.ShowsStick() ? QStringLiteral("%1").arg(first.number.value_or(0), 3, 10, QLatin1Char('0')) : QString::fromStdString(first.file);
    };
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const auto& first = copy != nullptr ? copy->songSameAs[static_cast<std::size_t>(slot)] : std::nullopt;
        item->setForeground(FirstTitleColumn + slot, first ? QBrush(kCopiedSong) : QBrush());
        if (first) {
            item->setToolTip(FirstTitleColumn + slot, tr("同じ曲: %1 の %2").arg(named(first->row)).arg(first->slot + 1) + QLatin1Char('\n') +
                                                          item->toolTip(FirstTitleColumn + slot));
        }
    }
    const bool wholeCopy = copy != nullptr && copy->sameAs;
    for (int column : {NumberColumn, FileColumn, StateColumn}) item->setBackground(column, wholeCopy ? QBrush(kCopyRow) : QBrush());
    QString shownState = !read ? tr("読み込み中...") : QString::fromStdString(shown.condition.reason);
    if (wholeCopy) shownState = tr("%1 と同じ曲").arg(named(*copy->sameAs)) + (shownState.isEmpty() ? QString() : QStringLiteral("; ") + shownState);
    item->setText(StateColumn, shownState);
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
    // The rows first; then their songs, compared by content.
    const bool reading = m_session.RowsRead() < total;
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setValue(reading ? m_session.RowsRead() : m_session.RowsHashed());
    m_progress->setFormat(reading ? QStringLiteral("%p%") : tr("同じ曲を探しています %p%"));
    m_progress->setVisible(reading || m_session.RowsHashed() < total);
}

namespace {

// The choice between the two ways of numbering new images.
class NumbersChoice {
public:
    NumbersChoice(QWidget* parent, QFormLayout* form, NewNumbers chosen)
        : m_gaps(new QRadioButton(QObject::tr("すき間の番号から"), parent)),
          m_after(new QRadioButton(QObject::tr("いちばん大きい番号の次から"), parent)) {
        m_gaps->setObjectName(QStringLiteral("gapsFirst"));
        m_after->setObjectName(QStringLiteral("afterHighest"));
        (chosen == NewNumbers::GapsFirst ? m_gaps : m_after)->setChecked(true);
        auto* group = new QButtonGroup(parent);
        group->addButton(m_after);
        group->addButton(m_gaps);
        form->addRow(QObject::tr("番号:"), m_after);
        form->addRow(QString(), m_gaps);
    }
    NewNumbers chosen() const { return m_gaps->isChecked() ? NewNumbers::GapsFirst : NewNumbers::AfterHighest; }
    QRadioButton* gaps() const { return m_gaps; }
    QRadioButton* after() const { return m_after; }

private:
    QRadioButton* m_gaps;
    QRadioButton* m_after;
};

QDialogButtonBox* OkCancel(QDialog& dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

void ShelfWindow::AskNewImages() {
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("newImagesDialog"));
    dialog.setWindowTitle(tr("新しいイメージ"));
    auto* form = new QFormLayout(&dialog);
    auto* count = new QSpinBox(&dialog);
    count->setObjectName(QStringLiteral("imageCount"));
    count->setRange(1, 1000);
    form->addRow(tr("作るイメージの数:"), count);
    const NumbersChoice numbers(&dialog, form, m_numbers);
    form->addRow(OkCancel(dialog));
    if (dialog.exec() != QDialog::Accepted) return;
    m_numbers = numbers.chosen();
    m_session.MakeImages(count->value(), m_numbers);
}

void ShelfWindow::AskRemove() {
    const std::vector<int> rows = SelectedRows();
    if (!rows.empty()) m_session.RemoveImages(rows);
}

void ShelfWindow::AskRenumber() {
    const std::vector<int> rows = SelectedRows();
    if (rows.size() != 1) return;
    const ShelfRow& row = m_session.ImageRows()[static_cast<std::size_t>(rows.front())];
    bool ok = false;
    const int number = QInputDialog::getInt(this, tr("番号を変える"), tr("新しい番号:"), row.number.value_or(0), 0,
                                            m_session.HighestNumber(), 1, &ok);
    if (ok) m_session.RenumberImage(rows.front(), number);
}

void ShelfWindow::AskCopy() {
    const std::vector<int> rows = SelectedRows();
    if (rows.size() != 1) return;
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("copyDialog"));
    dialog.setWindowTitle(tr("コピー先"));
    auto* form = new QFormLayout(&dialog);
    auto* shelf = new QComboBox(&dialog);
    shelf->setObjectName(QStringLiteral("copyShelf"));
    shelf->setEditable(true);
    shelf->setMinimumContentsLength(36);   // a stick's or a folder's whole path in sight
    shelf->addItem(QString::fromStdString(m_session.ShelfFolder()));
    for (const std::string& other : m_session.ShelfCandidates()) {
        if (other != m_session.ShelfFolder()) shelf->addItem(QString::fromStdString(other));
    }
    auto* browse = new QPushButton(tr("参照..."), &dialog);
    connect(browse, &QPushButton::clicked, &dialog, [this, shelf] {
        const QString folder = QFileDialog::getExistingDirectory(this, tr("コピー先の棚"), shelf->currentText());
        if (!folder.isEmpty()) shelf->setEditText(folder);
    });
    auto* where = new QHBoxLayout;
    where->addWidget(shelf, 1);
    where->addWidget(browse);
    form->addRow(tr("棚:"), where);
    const NumbersChoice numbers(&dialog, form, m_numbers);
    auto* given = new QRadioButton(tr("番号を指定:"), &dialog);
    auto* number = new QSpinBox(&dialog);
    number->setObjectName(QStringLiteral("copyNumber"));
    number->setRange(0, kHighestImageNumber);
    auto* exact = new QHBoxLayout;
    exact->addWidget(given);
    exact->addWidget(number, 1);
    form->addRow(QString(), exact);
    numbers.after()->group()->addButton(given);
    connect(number, &QSpinBox::valueChanged, given, [given] { given->setChecked(true); });
    form->addRow(OkCancel(dialog));
    if (dialog.exec() != QDialog::Accepted) return;
    if (!given->isChecked()) m_numbers = numbers.chosen();
    m_session.CopyImage(rows.front(), shelf->currentText().toStdString(), given->isChecked() ? std::optional(number->value()) : std::nullopt,
                        numbers.chosen());
}

void ShelfWindow::AskConvert() {
    if (m_session.ShowsStick()) {
        const QString folder = QFileDialog::getExistingDirectory(this, tr("フォルダに書き出す"));
        if (!folder.isEmpty()) m_session.ConvertToFolder(folder.toStdString());
        return;
    }
    QStringList sticks;
    for (const std::string& stick : m_session.StickDevices()) sticks << QString::fromStdString(stick);
    bool ok = false;
    const QString stick = QInputDialog::getItem(this, tr("スティックに書き込む"),
                                                tr("書き込むスティック（デバイスか、そのダンプのファイル）:"), sticks, 0, true, &ok);
    if (ok && !stick.trimmed().isEmpty()) m_session.ConvertToStick(stick.trimmed().toStdString());
}

void ShelfWindow::AskIngest() {
    if (m_ingest) {
        m_ingest->raise();
        m_ingest->activateWindow();
        return;
    }
    auto* ingest = new IngestSession(m_session.ShelfFolder(), m_udisks);
    m_ingest = new IngestDialog(*ingest, this);
    ingest->setParent(m_ingest);
    m_ingest->setAttribute(Qt::WA_DeleteOnClose);
    // The shelf shows the images as they come, once the box is done.
    connect(ingest, &IngestSession::rowsChanged, &m_session, &ShelfSession::Reload);
    m_ingest->show();
}

void ShelfWindow::AskOpenShelf(QMenu* menu) {
    menu->clear();
    for (const std::string& shelf : m_session.ShelfCandidates()) {
        menu->addAction(QString::fromStdString(shelf), this, [this, shelf] { m_session.OpenFolder(shelf); });
    }
    if (!menu->isEmpty()) menu->addSeparator();
    menu->addAction(tr("フォルダを選ぶ..."), this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, tr("ディスク棚"), QString::fromStdString(m_session.ShelfFolder()));
        if (!folder.isEmpty()) m_session.OpenFolder(folder.toStdString());
    });
    menu->addAction(tr("スティックのダンプを選ぶ..."), this, [this] {
        const QString dump = QFileDialog::getOpenFileName(this, tr("ディスク棚"), QString());
        if (!dump.isEmpty()) m_session.OpenFolder(dump.toStdString());
    });
}

void ShelfWindow::ShowActions() {
    const std::vector<int> rows = SelectedRows();
    const bool one = rows.size() == 1 && !m_session.ImageRows()[static_cast<std::size_t>(rows.front())].emptySlot;
    m_renumber->setEnabled(one);
    m_copy->setEnabled(one);
    m_selectCopies->setEnabled(std::any_of(m_session.Copies().begin(), m_session.Copies().end(), [](const ShelfCopies& c) { return c.sameAs.has_value(); }));
    m_remove->setEnabled(std::any_of(rows.begin(), rows.end(), [this](int row) { return !m_session.ImageRows()[static_cast<std::size_t>(row)].emptySlot; }));
    m_convert->setText(m_session.ShowsStick() ? tr("フォルダに書き出す...") : tr("スティックに書き込む..."));
}

std::vector<int> ShelfWindow::SelectedRows() const {
    std::vector<int> rows;
    for (const QTreeWidgetItem* item : m_list->selectedItems()) rows.push_back(RowOfItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ShelfWindow::StartImageDrag() {
    std::vector<std::string> paths;
    for (int row : SelectedRows()) {
        if (!m_session.ImageRows()[static_cast<std::size_t>(row)].emptySlot) paths.push_back(m_session.PathOf(row));
    }
    if (paths.empty()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(ShelfImagesMimeData(paths, !m_session.ShowsStick()));
    m_dragging = true;
    drag->exec(Qt::CopyAction);
    m_dragging = false;
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
        case QEvent::MouseButtonPress: {
            auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() == Qt::LeftButton) m_pressedAt = press->position().toPoint();
            return false;
        }
        case QEvent::MouseMove: {
            // Rows dragged out: to another shelf window, or to a file manager.
            auto* move = static_cast<QMouseEvent*>(event);
            if ((move->buttons() & Qt::LeftButton) && !m_pressedAt.isNull() &&
                (move->position().toPoint() - m_pressedAt).manhattanLength() >= QApplication::startDragDistance()) {
                m_pressedAt = {};
                StartImageDrag();
                return true;
            }
            return false;
        }
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* move = static_cast<QDragMoveEvent*>(event);
            // Images from another shelf are copied onto this one; this one's own rows stay.
            if (DroppedShelfImages(move)) {
                if (m_dragging) {
                    move->ignore();
                } else {
                    move->setDropAction(Qt::CopyAction);
                    move->accept();
                }
                return true;
            }
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
            if (const auto images = DroppedShelfImages(drop)) {
                if (m_dragging) {
                    drop->ignore();
                    return true;
                }
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                // Once the drag has ended, so that a message gets the pointer.
                QTimer::singleShot(0, this, [this, paths = *images] { m_session.TakeImages(paths, m_numbers); });
                return true;
            }
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
