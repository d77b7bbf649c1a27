// SPDX-License-Identifier: MIT
#include "app/StateFile.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include "app/MainDialog.h"

namespace tunecrate {

StateFile::StateFile(MainDialog& dialog, QString path) : m_dialog(dialog), m_path(std::move(path)) {
    Session& session = dialog.CurrentSession();
    for (auto changed : {&Session::floppyChanged, &Session::songsChanged}) connect(&session, changed, this, &StateFile::WriteSoon);
    auto* tree = dialog.findChild<FolderTree*>(QStringLiteral("folderTree"));
    connect(tree, &QTreeWidget::itemExpanded, this, &StateFile::WriteSoon);
    connect(tree->model(), &QAbstractItemModel::dataChanged, this, &StateFile::WriteSoon);   // the drop highlight
    connect(qApp, &QApplication::focusChanged, this, &StateFile::WriteSoon);
    for (const char* name : {"folderTree", "hardDiskList", "floppyList"}) {
        auto* view = dialog.findChild<QTreeWidget*>(QString::fromLatin1(name));
        connect(view, &QTreeWidget::currentItemChanged, this, &StateFile::WriteSoon);
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &StateFile::WriteSoon);
        connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, &StateFile::WriteSoon);
    }
    // The windows' moves, and the shelf window, which is made on first use.
    qApp->installEventFilter(this);
}

bool StateFile::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Move && event->type() != QEvent::Show && event->type() != QEvent::Hide) return false;
    // The main window, and every box or progress dialog coming and going.
    if (watched == &m_dialog || (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())) WriteSoon();
    if (ShelfWindow* shelf = m_dialog.OpenedShelf(); shelf != nullptr && watched == shelf) {
        FollowShelf(*shelf);
        WriteSoon();
    }
    return false;
}

void StateFile::FollowShelf(ShelfWindow& shelf) {
    if (m_shelfFollowed) return;
    m_shelfFollowed = true;
    QAbstractItemModel* rows = shelf.ImageList().model();
    connect(rows, &QAbstractItemModel::dataChanged, this, &StateFile::WriteSoon);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &StateFile::WriteSoon);
}

void StateFile::WriteSoon() {
    if (m_pending) return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        Write();
    });
}

void StateFile::Write() {
    QFile file(m_path + QStringLiteral(".new"));
    if (!file.open(QIODevice::WriteOnly)) return;
    QTextStream out(&file);
    auto rect = [](QWidget* widget, const QRect& r) {
        const QPoint at = widget->mapToGlobal(r.topLeft());
        return QStringLiteral("%1 %2 %3 %4").arg(at.x()).arg(at.y()).arg(r.width()).arg(r.height());
    };
    out << "window " << rect(&m_dialog, QRect(QPoint(0, 0), m_dialog.size())) << "\n";
    auto& folderTree = *m_dialog.findChild<FolderTree*>(QStringLiteral("folderTree"));
    auto& hardDiskList = *m_dialog.findChild<SongList*>(QStringLiteral("hardDiskList"));
    auto& floppyList = *m_dialog.findChild<SongList*>(QStringLiteral("floppyList"));
    // Where each view shows its content and how far it is scrolled down and sideways.
    for (QTreeWidget* view : std::initializer_list<QTreeWidget*>{&folderTree, &hardDiskList, &floppyList}) {
        out << "view " << view->objectName() << " " << rect(view->viewport(), view->viewport()->rect()) << " "
            << view->verticalScrollBar()->value() << " " << view->horizontalScrollBar()->value();
        for (int column = 0; column < view->columnCount(); ++column) {
            out << " " << view->viewport()->mapToGlobal(QPoint(view->columnViewportPosition(column), 0)).x();
        }
        out << "\n";
    }
    for (SongList* list : {&floppyList, &hardDiskList}) {
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = list->topLevelItem(row);
            out << list->objectName() << " " << row << " " << rect(list->viewport(), list->visualItemRect(item)) << " "
                << item->text(list == &floppyList ? 1 : 0) << "\n";
        }
        // The row a click made current: a second click on it opens a cell's editor.
        if (QTreeWidgetItem* current = list->currentItem(); current != nullptr) {
            out << "current " << list->objectName() << " " << list->indexOfTopLevelItem(current) << "\n";
        }
    }
    for (QTreeWidgetItemIterator it(&folderTree); *it != nullptr; ++it) {
        if (FolderTree::IsPlaceholder(*it)) continue;
        out << ((*it)->isSelected() ? "selected " : "folder ") << rect(folderTree.viewport(), folderTree.visualItemRect(*it))
            << " " << QString::fromStdString(folderTree.ItemPath(*it)) << "\n";
    }
    if (QTreeWidgetItem* target = folderTree.DropTarget(); target != nullptr) {
        out << "target " << rect(folderTree.viewport(), folderTree.visualItemRect(target)) << " "
            << QString::fromStdString(folderTree.ItemPath(target)) << "\n";
    }
    if (ShelfWindow* shelfWindow = m_dialog.OpenedShelf(); shelfWindow != nullptr && shelfWindow->isVisible()) {
        QTreeWidget& shelf = shelfWindow->ImageList();
        for (int i = 0; i < shelf.topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = shelf.topLevelItem(i);
            if (item->isHidden()) continue;
            out << "shelf " << i << " " << rect(shelf.viewport(), shelf.visualItemRect(item)) << " "
                << item->text(ShelfWindow::SongsColumn) << " " << item->text(ShelfWindow::FileColumn) << "\n";
        }
    }
    // The boxes and progress dialogs in sight, with what they say.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || window == &m_dialog || window == m_dialog.OpenedShelf()) continue;
        const auto* box = qobject_cast<QMessageBox*>(window);
        const auto* progress = qobject_cast<QProgressDialog*>(window);
        const QString said = box != nullptr ? box->text() : progress != nullptr ? progress->labelText() : window->windowTitle();
        out << "dialog " << window->objectName() << " " << QString(said).replace(QLatin1Char('\n'), QLatin1Char(' ')) << "\n";
    }
    if (QWidget* focus = QApplication::focusWidget(); focus != nullptr) out << "focus " << focus->objectName() << "\n";
    out.flush();
    file.close();
    // Whole or not at all: a test never reads half a state.
    QFile::remove(m_path);
    file.rename(m_path);
}

}  // namespace tunecrate
