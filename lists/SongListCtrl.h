// SPDX-License-Identifier: MIT
#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

#include "core/SlotRow.h"

namespace tunecrate {

class MainDialog;

// The one list class behind both song lists of the main window: the floppy's
// five slots and the songs of the selected hard-disk folder. It holds no flag
// of its own; each handler asks its owner which of the two lists it is.
class SongListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit SongListCtrl(QWidget* parent = nullptr);

    void setOwner(MainDialog* owner) { m_owner = owner; }
    MainDialog* owner() const { return m_owner; }

    bool IsFloppyList() const;
    bool IsHardDiskList() const;

    // Column headers and widths in pixels, left-aligned.
    void SetColumns(const std::vector<std::pair<QString, int>>& columns);

    // Replaces the rows of the floppy list with the slot rows.
    void ShowSlotRows(const std::vector<SlotRow>& rows);

    // Fills the owner's hard-disk list with the songs of `folder`.
    void FillHardDiskList(const std::string& folder);
    // Fills the owner's hard-disk list from the folder selected in the tree,
    // whichever list it is called on.
    void RefillHardDiskList();
    // A hard-disk row's title as the bytes of its file name.
    static std::string RowTitle(const QTreeWidgetItem* item);

private:
    MainDialog* m_owner = nullptr;
};

}  // namespace tunecrate
