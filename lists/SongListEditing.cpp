// SPDX-License-Identifier: MIT
// The editing handlers of the song lists: clicks that open the cell editor,
// the shared end of every edit (titles and comments on both media), the
// Delete key and scrolling.
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "app/MainDialog.h"
#include "core/text/CommentFile.h"
#include "core/text/Encoding.h"
#include "core/disk/FileOps.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/Prompter.h"
#include "core/songs/SongDeletion.h"
#include "core/text/SongNames.h"
#include "core/songs/SongRename.h"
#include "lists/InPlaceEdit.h"
#include "lists/SongListCtrl.h"

namespace tunecrate {

namespace {

constexpr int kTitleBytesRole = Qt::UserRole + 1;

QString Ui(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }
std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

// A comment or title is one line of its catalogue file: pasted line breaks
// become blanks.
QString OneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

}  // namespace

std::optional<ListCell> SongListCtrl::CellFromPoint(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    if (!index.isValid()) return std::nullopt;
    // The column is the one whose span covers the point, both edges included.
    for (int column = 0; column < columnCount(); ++column) {
        const int left = columnViewportPosition(column);
        if (point.x() >= left && point.x() <= left + columnWidth(column)) return ListCell{index.row(), column};
    }
    return ListCell{index.row(), index.column()};
}

bool SongListCtrl::IsCellEditable(int row, int column) const {
    if (m_owner == nullptr || row < 0 || row >= topLevelItemCount()) return false;
    if (IsHardDiskList()) return column == 2;
    if (!IsFloppyList() || (column != 1 && column != 3)) return false;
    return SlotHoldsSong(row);
}

bool SongListCtrl::SlotHoldsSong(int row) const {
    // The volume is closed again at once: an image floppy stays locked while
    // it is open, and the next step may open it anew.
    auto volume = m_owner->OpenFloppy();
    return volume && volume->Exists(SlotName(row) + std::string(kSongExtension));
}

InPlaceEdit* SongListCtrl::BeginCellEdit(int row, int column) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) return nullptr;
    scrollToItem(item);
    if (column >= header()->count() || columnWidth(column) < 5) return nullptr;
    const QRect rowRect = visualRect(indexFromItem(item, column));
    if (!rowRect.isValid()) return nullptr;
    int left = columnViewportPosition(column);
    if (left < 0 || left > viewport()->width()) {
        // Bring the cell's left edge to the list's left edge.
        horizontalScrollBar()->setValue(header()->sectionPosition(column));
        left = columnViewportPosition(column);
    }
    const int boxLeft = left + 4;
    const int boxRight = std::min(boxLeft + columnWidth(column) - 3, viewport()->width());
    const QRect box(QPoint(boxLeft, rowRect.top()), QPoint(boxRight - 1, rowRect.bottom()));
    const auto alignment = Qt::Alignment(headerItem()->textAlignment(column)) & Qt::AlignHorizontal_Mask;
    // The editor owns itself; the list keeps no reference to it.
    return new InPlaceEdit(this, row, column, item->text(column), box, alignment ? alignment : Qt::AlignLeft);
}

void SongListCtrl::mousePressEvent(QMouseEvent* event) {
    // Which button pressed decides what a drag starting now does.
    m_pressedButton = event->button();
    m_pressPoint = event->position().toPoint();
    m_focusedAtPress = currentItem();
    QTreeWidget::mousePressEvent(event);
}

void SongListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    const QPoint point = event->position().toPoint();
    // A press that became a drag is no click.
    if (event->button() != Qt::LeftButton || m_pressedButton != Qt::LeftButton ||
        (point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
        return;
    }
    HandleClick(point, event->modifiers(), m_focusedAtPress);
}

void SongListCtrl::HandleClick(const QPoint& point, Qt::KeyboardModifiers modifiers, QTreeWidgetItem* focusedBefore) {
    const auto cell = CellFromPoint(point);
    if (!cell || m_owner == nullptr) return;
    QTreeWidgetItem* item = topLevelItem(cell->row);
    if (IsFloppyList() && !SlotHoldsSong(cell->row)) {
        // An empty slot can be neither selected by a click nor edited.
        item->setSelected(false);
        return;
    }
    if (item == focusedBefore && cell->column > 0) {
        if (IsCellEditable(cell->row, cell->column)) BeginCellEdit(cell->row, cell->column);
        return;
    }
    if (!(modifiers & Qt::ControlModifier)) {
        // Selected and focused, without undoing a range that Shift selected.
        selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::NoUpdate);
        item->setSelected(true);
    }
}

void SongListCtrl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) DeleteSelectedSongs();
    if (event->key() == Qt::Key_F2 && IsHardDiskList() && currentItem() != nullptr) {
        editItem(currentItem(), 0);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void SongListCtrl::wheelEvent(QWheelEvent* event) {
    TakeFocusBeforeScrolling();
    QTreeWidget::wheelEvent(event);
}

void SongListCtrl::TakeFocusBeforeScrolling() {
    // An open cell editor loses the focus and commits before the rows move.
    if (!hasFocus()) setFocus(Qt::OtherFocusReason);
}

void SongListCtrl::ShowError(const std::string& text) {
    if (m_owner != nullptr) m_owner->PrompterFor(this).ShowMessage(text, "Error!", MessageIcon::None);
}

std::optional<std::string> SongListCtrl::EncodeForFloppy(const QString& text) {
    const std::string mapped = MapCp932LookAlikes(Utf8(OneLine(text)));
    if (auto bytes = Utf8ToCp932(mapped)) return bytes;
    // Name the first character that the floppy cannot hold.
    QString shown;
    const QString decoded = Ui(mapped);
    for (const uint c : decoded.toUcs4()) {
        const QString one = QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
        if (!Utf8ToCp932(Utf8(one))) {
            shown = one;
            break;
        }
    }
    ShowError("フロッピーディスクに書けない文字が含まれています：「" + Utf8(shown) + "」\n変更は保存されませんでした。");
    return std::nullopt;
}

void SongListCtrl::EndCellEdit(int row, int column, const std::optional<QString>& text) {
    if (!text || m_owner == nullptr || row < 0 || row >= topLevelItemCount()) return;
    if (IsFloppyList() && column == 1) EndFloppyTitleEdit(row, *text);
    if (IsFloppyList() && column == 3) EndFloppyCommentEdit(row, *text);
    if (IsHardDiskList() && column == 0) EndHardDiskTitleEdit(row, *text);
    if (IsHardDiskList() && column == 2) EndHardDiskCommentEdit(row, *text);
}

void SongListCtrl::EndFloppyTitleEdit(int row, const QString& text) {
    auto bytes = EncodeForFloppy(text);
    if (!bytes) return;
    if (!TitleFits(*bytes)) {
        ShowError("題名は17文字を超えてはいけません。");
        return;
    }
    StoreSlotText(SlotText{row, *bytes, std::nullopt}, 1, Ui(Cp932ToUtf8(*bytes)));
}

void SongListCtrl::EndFloppyCommentEdit(int row, const QString& text) {
    auto bytes = EncodeForFloppy(text);
    if (!bytes) return;
    // Stored cut on a whole character; shown whole until the next reading.
    StoreSlotText(SlotText{row, std::nullopt, std::string(CutToWholeCharacters(*bytes, kCatalogueLineBytes))}, 3,
                  OneLine(text));
}

void SongListCtrl::StoreSlotText(const SlotText& change, int column, const QString& shown) {
    std::vector<SlotRow>& rows = m_owner->slotRows();
    if (change.slot < 0 || change.slot >= static_cast<int>(rows.size())) return;
    CatalogueEdit edit;
    if (auto volume = m_owner->OpenFloppy()) {
        edit = EditSlotText(*volume, rows, change);
    } else {
        edit.failures.push_back(UnreadableFloppyMessage(m_owner->FloppyRoot()));
    }
    if (edit.applied && !edit.changedElsewhere) {
        SlotRow& row = rows[static_cast<std::size_t>(change.slot)];
        if (change.title) row.title = *change.title;
        if (change.comment) row.comment = *change.comment;
        topLevelItem(change.slot)->setText(column, shown);
        return;
    }
    for (const std::string& failure : edit.failures) ShowError(failure);
    // The list shows again what the disk holds.
    m_owner->ReadCatalogue(false);
    if (edit.changedElsewhere) ShowError(CatalogueChangedMessage(edit.applied));
}

void SongListCtrl::EndHardDiskTitleEdit(int row, const QString& text) {
    const std::string title = MapCp932LookAlikes(Utf8(text));
    if (!IsFileTitle(title)) {
        ShowError("この題名はファイル名にできません。\n空の題名、「/」を含む題名、「.」と「..」は使えません。");
        return;
    }
    auto bytes = EncodeForFloppy(Ui(title));
    if (!bytes) return;
    if (!TitleFits(*bytes)) {
        ShowError("題名は17文字を超えてはいけません。");
        return;
    }
    FolderTree& tree = m_owner->folderTree();
    const std::string folder = tree.ItemPath(tree.currentItem());
    QTreeWidgetItem* item = topLevelItem(row);
    const RenameSongResult result = RenameHardDiskSong(folder, RowTitle(item), title);
    switch (result.outcome) {
        case RenameSongOutcome::NameTaken:
            ShowError("その名前のファイルはすでに存在します。\n違う名前にしてください。");
            break;
        case RenameSongOutcome::Failed:
            ShowError("Cannot rename " + result.file + ".\n" + result.failure.Reason() +
                      "\n曲の名前は変更されませんでした。");
            break;
        case RenameSongOutcome::TitleChanged:
            // The row stays where it is; the next refill sorts it.
            item->setText(0, Ui(title));
            item->setData(0, kTitleBytesRole, QByteArray::fromStdString(title));
            break;
    }
}

void SongListCtrl::EndHardDiskCommentEdit(int row, const QString& text) {
    auto bytes = EncodeForFloppy(text);
    if (!bytes) return;
    FolderTree& tree = m_owner->folderTree();
    const std::string folder = tree.ItemPath(tree.currentItem());
    QTreeWidgetItem* item = topLevelItem(row);
    const std::string title = RowTitle(item);
    auto real = FindWithExtensionNoCase(folder, title, kCommentExtension);
    const std::string path = JoinPath(folder, real ? *real : title + std::string(kCommentExtension));
    FileResult written = WriteCommentFile(path, *bytes);
    if (!written.ok()) {
        ShowError("Cannot write " + path + ".\n" + written.Reason());
        item->setText(2, Ui(Cp932ToUtf8(ReadCommentFile(path))));
        return;
    }
    item->setText(2, OneLine(text));
}

void SongListCtrl::DeleteSelectedSongs() {
    if (m_owner == nullptr) return;
    std::vector<int> rows;
    for (QTreeWidgetItem* item : selectedItems()) rows.push_back(indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    const std::string question = std::to_string(rows.size()) + "個の項目を削除しますか？";
    Prompter& prompter = m_owner->PrompterFor(this);
    if (IsFloppyList() && !rows.empty()) {
        if (!prompter.AskYesNo(question, "Confirm")) return;
        std::vector<std::string> failures;
        if (auto volume = m_owner->OpenFloppy()) failures = DeleteFloppySlots(*volume, m_owner->SlotRows(), rows);
        for (const std::string& failure : failures) ShowError(failure);
        m_owner->ReadCatalogue(true);
        return;
    }
    if (!prompter.AskYesNo(question, "Confirm")) return;
    if (IsHardDiskList() && !rows.empty()) {
        FolderTree& tree = m_owner->folderTree();
        std::vector<std::string> titles;
        for (int row : rows) titles.push_back(RowTitle(topLevelItem(row)));
        for (const std::string& failure : DeleteHardDiskSongs(tree.ItemPath(tree.currentItem()), titles)) {
            ShowError(failure);
        }
    }
    RefillHardDiskList();
}

}  // namespace tunecrate
