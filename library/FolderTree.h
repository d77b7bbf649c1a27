// SPDX-License-Identifier: MIT
#pragma once

#include <QTreeWidget>

namespace tunecrate {

class MainDialog;

// The folder tree of the hard disk. It stands in its place in the main window;
// its folders are read when the user opens a branch.
class FolderTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);

    void setOwner(MainDialog* owner) { m_owner = owner; }

private:
    MainDialog* m_owner = nullptr;
};

}  // namespace tunecrate
