// SPDX-License-Identifier: MIT
#pragma once

#include "widgets/SongList.h"

namespace tunecrate {

// The floppy's five slots: number, title, size and comment. Titles and
// comments of occupied slots are edited in place; songs dropped on a row go
// into the slots from that row on.
class FloppyList final : public SongList {
    Q_OBJECT
public:
    FloppyList(Session& session, QWidget* parent);

    // Shows the session's slot rows anew.
    void ShowSlots();
    void ShowSlotText(int slot, int column, const QString& shown);

    bool IsCellEditable(int row, int column) const override;
    void EndCellEdit(int row, int column, const std::optional<QString>& text) override;

protected:
    bool RowTakesClicks(int row) const override;
    void DeleteSelectedSongs() override;
    std::optional<DraggedSongs> DragSongs(bool move) override;
    void Drop(const QPoint& point, bool move, const SongSource& songs) override;
    bool TakesDropAt(const QPoint& point) const override;
    void DraggedOver(const QPoint& point) override;

private:
    // The slot a drop at `y` begins with: the row at (10, y), so that the
    // whole width of a row counts.
    std::optional<int> SlotAt(int y) const;
};

}  // namespace tunecrate
