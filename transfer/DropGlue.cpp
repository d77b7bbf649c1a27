// SPDX-License-Identifier: MIT
#include "transfer/DropGlue.h"

#include <QGuiApplication>
#include <algorithm>
#include <QMimeData>

#include "app/MainDialog.h"
#include "app/WaitCursor.h"
#include "core/text/DragPayload.h"
#include "core/disk/FileOps.h"
#include "core/disk/FloppyVolume.h"
#include "lists/SongListCtrl.h"

namespace tunecrate {

namespace {


const QString kMime = QString::fromLatin1(kPayloadMimeType.data(), static_cast<int>(kPayloadMimeType.size()));

}  // namespace

QByteArray BuildDragPayload(SongListCtrl& list, std::string* blocked) {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list.selectedItems()) rows.push_back(list.indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> items;
    std::string type;
    if (list.IsFloppyList()) {
        type = kFloppyType;
        for (int row : rows) {
            // Empty slots have nothing to carry.
            if (list.topLevelItem(row)->data(0, Qt::UserRole).toInt() != static_cast<int>(SlotState::EmptySlot)) {
                items.push_back(std::to_string(row));
            }
        }
    } else {
        type = kHardDiskType;
        FolderTree& tree = list.owner()->folderTree();
        const std::string folder = tree.ItemPath(tree.currentItem());
        for (int row : rows) {
            items.push_back(JoinPath(folder, SongListCtrl::RowTitle(list.topLevelItem(row))));
            if (!CanTravelInPayload(items.back())) {
                if (blocked != nullptr) *blocked = items.back();
                return {};
            }
        }
    }
    const std::string text = BuildPayload(type, items);
    return QByteArray(text.data(), static_cast<int>(text.size()));
}

bool CarriesText(const QMimeData* data) {
    return data != nullptr && (data->hasFormat(kMime) || data->hasText());
}

QByteArray PayloadBytes(const QMimeData* data) {
    if (data == nullptr) return {};
    if (data->hasFormat(kMime)) return data->data(kMime);
    return data->hasText() ? data->text().toUtf8() : QByteArray();
}

Qt::DropAction ChooseDropAction(Qt::DropActions possible, Qt::MouseButtons buttons) {
    const Qt::DropAction proposed = buttons == Qt::RightButton ? Qt::CopyAction : Qt::MoveAction;
    if (possible & proposed) return proposed;
    if (possible & Qt::CopyAction) return Qt::CopyAction;
    if (possible & Qt::MoveAction) return Qt::MoveAction;
    return Qt::IgnoreAction;
}

bool RunDrop(MainDialog& dialog, QWidget* owner, bool move, const std::function<DropResult(DropContext&)>& drop) {
    DropResult result;
    {
        WaitCursor wait;
        auto floppy = dialog.OpenFloppy();
        DropContext context{floppy.get(), dialog.slotRows(), dialog.PrompterFor(owner), move};
        result = drop(context);
    }
    if (result.refillHardDiskList) dialog.hardDiskList().RefillHardDiskList();
    if (result.rereadFloppy) dialog.ReadCatalogue(true);
    return result.taken;
}

}  // namespace tunecrate
