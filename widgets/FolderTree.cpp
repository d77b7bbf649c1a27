// SPDX-License-Identifier: MIT
#include "widgets/FolderTree.h"

#include <QAction>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>

#include "core/disk/FileOps.h"
#include "session/Session.h"
#include "session/WaitCursor.h"
#include "widgets/DragAndDrop.h"
#include "widgets/EdgeScroller.h"

namespace tunecrate {

namespace {

// Item data: the real bytes of a folder's name (or a top-level item's whole
// path), so that names that are not valid UTF-8 still give the right path.
constexpr int kNameRole = Qt::UserRole;
constexpr int kTopLevelRole = Qt::UserRole + 1;
constexpr int kPlaceholderRole = Qt::UserRole + 2;
constexpr int kDragScrollMargin = 6;

// Closed, and open while selected.
QIcon FolderIcon(QFileIconProvider::IconType type, const QStyle* style) {
    const QFileIconProvider provider;
    QIcon icon;
    icon.addPixmap(provider.icon(type).pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(style->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16), QIcon::Selected);
    return icon;
}
std::string Bytes(const QString& text) { return text.toUtf8().toStdString(); }

std::string NameOf(const QTreeWidgetItem* item) {
    return item->data(0, kNameRole).toByteArray().toStdString();
}


// Commits a label edit through the rename operation instead of writing the
// text into the item: the item changes only when the folder did.
class FolderNameDelegate : public QStyledItemDelegate {
public:
    explicit FolderNameDelegate(FolderTree* tree) : QStyledItemDelegate(tree), m_tree(tree) {}
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* item = m_tree->itemFromIndex(index);
        if (line != nullptr && item != nullptr) m_tree->RenameFolderFromEdit(item, line->text());
    }

private:
    FolderTree* m_tree;
};

}  // namespace

FolderTree::FolderTree(Session& session, QWidget* parent)
    : QTreeWidget(parent),
      m_session(session),
      // A thin edge: the last row in sight must stay still under a pointer aimed at it.
      m_edgeScroller(new EdgeScroller(this, kDragScrollMargin)),
      // Two icons serve every item: building one per folder (a theme lookup
      // and two pixmaps) was most of the cost of opening a large folder.
      m_folderIcon(FolderIcon(QFileIconProvider::Folder, style())),
      m_driveIcon(FolderIcon(QFileIconProvider::Drive, style())) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setItemDelegate(new FolderNameDelegate(this));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setIconSize(QSize(16, 16));
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    // Hidden folders stay out of the way until asked for, as in file managers.
    auto* hidden = new QAction(this);
    hidden->setObjectName(QStringLiteral("hiddenFoldersAction"));
    hidden->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    hidden->setShortcutContext(Qt::WindowShortcut);
    addAction(hidden);
    connect(hidden, &QAction::triggered, this, &FolderTree::ToggleHiddenFolders);
    // Rows that scroll under a resting pointer bring another folder under it.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_dragPoint) TargetDropAt(m_dragPoint);
    });
    connect(this, &QTreeWidget::itemExpanded, this, &FolderTree::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &FolderTree::OnItemCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentItemChanged(current); });
}

void FolderTree::ResetFolders(const std::string& select) {
    m_busy = true;
    clear();
    m_busy = false;
    for (const std::string& folder : m_session.TopFolders()) {
        QTreeWidgetItem* item = NewFolderItem(folder, true);
        addTopLevelItem(item);
        if (m_session.HasSubfolders(folder)) AddPlaceholder(item);
    }
    SelectPath(select);
}

QTreeWidgetItem* FolderTree::NewFolderItem(const std::string& path, bool topLevel) const {
    const bool volume = topLevel && path != m_session.HomeFolder();
    auto* item = new QTreeWidgetItem;
    const auto slash = path.rfind('/');
    const std::string name = topLevel || slash == std::string::npos ? path : path.substr(slash + 1);
    item->setText(0, QString::fromStdString(name));
    item->setIcon(0, volume ? m_driveIcon : m_folderIcon);
    item->setData(0, kNameRole, QByteArray::fromStdString(name));
    item->setData(0, kTopLevelRole, topLevel);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    // Top-level folders (the root, home, a volume) keep their names.
    if (!topLevel) item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

void FolderTree::ToggleHiddenFolders() {
    m_session.ShowHiddenFolders(!m_session.HiddenFoldersShown());
    // The selection stays, or goes up to the nearest folder still shown.
    std::string path = ItemPath(currentItem());
    ResetFolders({});
    while (!path.empty() && !SelectPath(path)) {
        const auto slash = path.rfind('/');
        path = path == "/" || slash == std::string::npos ? std::string() : path.substr(0, std::max<std::size_t>(slash, 1));
    }
}

bool FolderTree::IsPlaceholder(const QTreeWidgetItem* item) {
    return item != nullptr && item->data(0, kPlaceholderRole).toBool();
}

void FolderTree::AddPlaceholder(QTreeWidgetItem* item) {
    auto* placeholder = new QTreeWidgetItem(item);
    placeholder->setData(0, kPlaceholderRole, true);
    placeholder->setFlags(Qt::NoItemFlags);
}

void FolderTree::FillChildren(QTreeWidgetItem* item, const std::string& folder, const std::string& readNext) {
    const std::vector<std::string> names = m_session.Subfolders(folder);
    WaitCursor wait;
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<int>(names.size()));
    for (const std::string& name : names) {
        const std::string path = JoinPath(folder, name);
        QTreeWidgetItem* child = NewFolderItem(path, false);
        // The folder read next is not looked into twice: a song folder of
        // 100,000 files takes a while to find no subfolder in.
        if (name != readNext && m_session.HasSubfolders(path)) AddPlaceholder(child);
        children.append(child);
    }
    // One batch: the view lays its rows out once, not once per folder.
    item->addChildren(children);
}

std::string FolderTree::ItemPath(const QTreeWidgetItem* item) const {
    if (item == nullptr || IsPlaceholder(item)) return {};
    if (item->parent() == nullptr) return NameOf(item);
    return JoinPath(ItemPath(item->parent()), NameOf(item));
}

void FolderTree::Reread(QTreeWidgetItem* item, const std::string& readNext) {
    // Everything below is forgotten and read anew, opened branches included.
    const bool wasBusy = m_busy;
    m_busy = true;
    qDeleteAll(item->takeChildren());
    FillChildren(item, ItemPath(item), readNext);
    item->setExpanded(true);
    m_busy = wasBusy;
}

void FolderTree::OnItemExpanded(QTreeWidgetItem* item) {
    if (m_busy) return;
    m_busy = true;
    qDeleteAll(item->takeChildren());
    m_busy = false;
    FillChildren(item, ItemPath(item));
}

void FolderTree::OnItemCollapsed(QTreeWidgetItem* item) {
    if (m_busy) return;
    qDeleteAll(item->takeChildren());
    // The expand button stays, whether or not the folder still has subfolders.
    AddPlaceholder(item);
}

void FolderTree::OnCurrentItemChanged(QTreeWidgetItem* current) {
    if (m_busy) return;
    m_session.ShowFolder(ItemPath(current));
}

QTreeWidgetItem* FolderTree::FindChild(QTreeWidgetItem* parent, const std::string& name) const {
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem* child = parent->child(i);
        if (!IsPlaceholder(child) && NameOf(child) == name) return child;
    }
    return nullptr;
}

bool FolderTree::SelectPath(const std::string& path) {
    std::string wanted = path;
    while (wanted.size() > 1 && wanted.back() == '/') wanted.pop_back();
    // Top-level folders can nest here (a volume below /media lies inside "/"):
    // the longest one that holds the path is where the walk starts.
    QTreeWidgetItem* top = nullptr;
    std::size_t topLength = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        const std::string root = NameOf(item);
        const bool holds = wanted == root || (root == "/" && !wanted.empty() && wanted[0] == '/') ||
                           wanted.rfind(root + "/", 0) == 0;
        if (holds && (top == nullptr || root.size() > topLength)) {
            top = item;
            topLength = root.size();
        }
    }
    if (top == nullptr || !m_session.IsFolder(wanted)) return false;

    std::vector<std::string> parts;
    std::string rest = wanted.substr(std::min(wanted.size(), topLength));
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        if (end > start) parts.push_back(rest.substr(start, end - start));
        start = end + 1;
    }

    m_busy = true;
    setUpdatesEnabled(false);
    QTreeWidgetItem* current = top;
    Reread(current, parts.empty() ? std::string() : parts[0]);
    bool found = true;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        QTreeWidgetItem* child = FindChild(current, parts[i]);
        if (child == nullptr) {
            found = false;
            break;
        }
        Reread(child, i + 1 < parts.size() ? parts[i + 1] : std::string());
        current = child;
    }
    setUpdatesEnabled(true);
    if (found) {
        setCurrentItem(current);
        scrollToItem(current);
    }
    m_busy = false;
    if (!found) return false;
    // Once, whether or not the item was already the current one: a large
    // folder costs a second of listing.
    m_session.ShowFolder(ItemPath(current));
    return true;
}

QMenu* FolderTree::BuildFolderMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("DirCommand"));
    menu->setTitle(QStringLiteral("DirCommand"));
    QTreeWidgetItem* item = currentItem();
    const std::string folder = ItemPath(item);
    QAction* make = menu->addAction(tr("新規作成"));
    make->setObjectName(QStringLiteral("newFolderAction"));
    QAction* remove = menu->addAction(tr("削除"));
    remove->setObjectName(QStringLiteral("deleteFolderAction"));
    // Without a folder there is nothing to act on; top-level folders (the root,
    // home, a volume) are never deleted from here.
    make->setEnabled(item != nullptr);
    remove->setEnabled(item != nullptr && item->parent() != nullptr);
    connect(make, &QAction::triggered, this, [this, folder] { m_session.MakeFolder(folder); });
    connect(remove, &QAction::triggered, this, [this, folder] { m_session.DeleteFolder(folder); });
    return menu;
}

void FolderTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (IsPlaceholder(item)) item = nullptr;
    setCurrentItem(item);
    if (item == nullptr) clearSelection();
    QMenu* menu = BuildFolderMenu(this);
    menu->exec(mapToGlobal(event->position().toPoint() - QPoint(0, 1)));
    delete menu;
}

void FolderTree::RenameFolderFromEdit(QTreeWidgetItem* item, const QString& newText) {
    if (item == nullptr || item->parent() == nullptr) return;
    const std::string newName = Bytes(newText);
    if (m_session.RenameFolder(ItemPath(item), newName).ok() && !newName.empty()) {
        item->setText(0, newText);
        item->setData(0, kNameRole, QByteArray::fromStdString(newName));
    }
}

QStringList FolderTree::mimeTypes() const { return {PayloadMimeType()}; }

QTreeWidgetItem* FolderTree::DropTarget() const {
    return m_dropTarget.isValid() ? itemFromIndex(m_dropTarget) : nullptr;
}

void FolderTree::TargetDropAt(std::optional<QPoint> point) {
    m_dragPoint = point;
    QTreeWidgetItem* item = point ? itemAt(*point) : nullptr;
    if (IsPlaceholder(item)) item = nullptr;
    QTreeWidgetItem* old = DropTarget();
    if (item == old) return;
    if (old != nullptr) {
        old->setData(0, Qt::BackgroundRole, {});
        old->setData(0, Qt::ForegroundRole, {});
    }
    m_dropTarget = QPersistentModelIndex(item != nullptr ? indexFromItem(item) : QModelIndex());
    if (item != nullptr) {
        // Apart from the selected folder's colour: both may be in sight.
        item->setBackground(0, palette().brush(QPalette::Highlight).color().lighter(160));
        item->setForeground(0, palette().brush(QPalette::Text));
    }
}

void FolderTree::dragEnterEvent(QDragEnterEvent* event) {
    if (AcceptSongDrag(event)) TargetDropAt(event->position().toPoint());
}

void FolderTree::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptSongDrag(event)) {
        TargetDropAt(std::nullopt);
        return;
    }
    TargetDropAt(event->position().toPoint());
    m_edgeScroller->DraggedAt(event->position().toPoint());
}

void FolderTree::dragLeaveEvent(QDragLeaveEvent* event) {
    m_edgeScroller->Stop();
    TargetDropAt(std::nullopt);
    QTreeWidget::dragLeaveEvent(event);
}

void FolderTree::dropEvent(QDropEvent* event) {
    m_edgeScroller->Stop();
    // The drop goes where the highlight showed, even if a row moved since.
    QTreeWidgetItem* item = DropTarget();
    TargetDropAt(std::nullopt);
    const std::string folder = ItemPath(item);
    // A drop that finds no folder is refused.
    if (folder.empty() || !CarriesSongs(event)) {
        event->ignore();
        return;
    }
    TakeDrop(event, this, [this, folder](bool move, const SongSource& songs) {
        m_session.DropIntoFolder(folder, move, songs);
    });
}

}  // namespace tunecrate
