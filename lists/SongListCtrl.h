// SPDX-License-Identifier: MIT
#pragma once

#include <QTreeWidget>
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

private:
    MainDialog* m_owner = nullptr;
};

}  // namespace tunecrate
