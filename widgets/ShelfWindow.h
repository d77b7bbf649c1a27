// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QRect>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "core/songs/Shelf.h"

class QLineEdit;
class QProgressBar;
class QLabel;
class QTreeWidget;
class QTimer;
class QTreeWidgetItem;
class QMenu;
class QAction;

namespace tunecrate {

class UDisks;

class ShelfSession;

// Where a window of `size` (frames included) opens beside `main`: right of it,
// else left, narrowed down to `minimumWidth` where the room is short; where
// neither side has that room but the screen has, `main` moves aside as little
// as it must; else over it. Both stay inside `screen`.
struct SideBySide {
    QRect main, beside;
    bool operator==(const SideBySide&) const = default;
};
SideBySide PlaceBeside(const QRect& main, QSize size, const QRect& screen, int minimumWidth = 480);

// The shelf: every image of a folder in one list, a search over all their
// titles and comments, and what is done to images as a whole (new blank ones,
// labels, the list saved). Songs dropped on a row go into that image's free
// slots; a double click or Enter opens the image in the main window.
class ShelfWindow final : public QWidget {
    Q_OBJECT
public:
    // The columns, in order: a slot's title has a column of its own, so that a found slot can be marked.
    enum Column { NumberColumn, FileColumn, FirstTitleColumn, SongsColumn = FirstTitleColumn + 5, FreeColumn, StateColumn, ColumnCount };

    explicit ShelfWindow(ShelfSession& session, QWidget* parent = nullptr);
    // The desktop's disk service, for ejecting disks as a box of them is taken in.
    void SetDiskService(const UDisks* udisks) { m_udisks = udisks; }

    // Marks the row of the image the main window shows ("" for none).
    void MarkShown(const std::string& imagePath);
    QTreeWidget& ImageList() const { return *m_list; }
    // The item showing session row `row`, whatever the sorting.
    QTreeWidgetItem* ItemOf(int row) const;

signals:
    void imageChosen(const std::string& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AskIngest();
    void Fill();
    void ShowRow(int row);
    void ShowRowsRead();
    void ShowShownMark(int row);   // bold for the image the main window shows
    void ApplySearch();
    void ShowHit(QTreeWidgetItem* item, int row);
    void ShowMatches();
    void ShowProgress();
    void AskNewImages();
    void AskLabel();
    void AskSaveList();
    void AskRemove();
    void AskRenumber();
    void AskCopy();
    void AskConvert();
    void AskOpenShelf(QMenu* menu);
    void ShowActions();   // which of the image actions fit the selection and the shelf
    void StartImageDrag();
    int RowOfItem(const QTreeWidgetItem* item) const;
    std::vector<int> SelectedRows() const;

    ShelfSession& m_session;
    const UDisks* m_udisks = nullptr;
    QPointer<class IngestDialog> m_ingest;   // open while a box of disks is taken in
    QLineEdit* m_search;
    QLabel* m_matches;   // how many slots (or rows, by file name) the search finds
    QTreeWidget* m_list;
    QProgressBar* m_progress;
    QLabel* m_folderLabel;
    std::string m_shown;
    std::vector<QTreeWidgetItem*> m_items;   // by session row; the tree owns them
    // Rows read and not shown yet: they are shown a few at a time, since every
    // turn of the event loop that changes the list lays it out and paints it anew.
    std::vector<int> m_rowsRead;
    QTimer* m_rowsReadTimer;
    QMenu* m_imageMenu;   // the image button's, and the list's own on a right click
    QAction* m_renumber;
    QAction* m_copy;
    QAction* m_remove;
    QAction* m_closeGaps;
    QAction* m_selectCopies;
    QAction* m_convert;
    QPoint m_pressedAt;        // where a drag of rows may start
    bool m_dragging = false;   // a drag of this window's rows is on: it is not dropped back here
    // Where new images take their numbers, as last chosen.
    NewNumbers m_numbers = NewNumbers::AfterHighest;
};

}  // namespace tunecrate
