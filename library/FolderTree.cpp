// SPDX-License-Identifier: MIT
#include "library/FolderTree.h"

#include <QHeaderView>

namespace tunecrate {

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

}  // namespace tunecrate
