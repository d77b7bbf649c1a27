// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <array>
#include <memory>
#include <vector>

#include "core/songs/HardDiskSongs.h"
#include "widgets/SongList.h"

namespace tunecrate {

// The songs of the hard-disk folder the tree selects: title, size, comment.
// A title is renamed with the list's own label editing (a slow second click
// or F2), a comment in the cell editor; floppy songs dropped anywhere on the
// list go into its folder.
class HardDiskList final : public SongList {
    Q_OBJECT
public:
    HardDiskList(Session& session, QWidget* parent);
    ~HardDiskList() override;

    // Shows the session's songs anew.
    void ShowSongs();
    void ShowTitle(const std::string& oldTitle, const std::string& newTitle);
    void ShowComment(const std::string& title, const QString& shown);
    // A row's title as the bytes of its file name.
    static std::string RowTitle(const QTreeWidgetItem* item);

    bool IsCellEditable(int row, int column) const override;
    void EndCellEdit(int row, int column, const std::optional<QString>& text) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void DeleteSelectedSongs() override;
    std::optional<DraggedSongs> DragSongs(bool move) override;
    void Drop(const QPoint& point, bool move, const SongSource& songs) override;
    QString CellEditText(const QTreeWidgetItem* item, int column) const override;

private:
    QTreeWidgetItem* ItemOf(const std::string& title) const;
    std::string m_listed;   // the folder whose songs the rows show
    // The session's rows that the items show; the items keep no texts of their own.
    std::shared_ptr<const std::vector<HardDiskRow>> m_rows;
    std::array<QIcon, 2> m_icons;   // a song, a song with events: shared by every row
};

}  // namespace tunecrate
