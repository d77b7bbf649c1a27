// SPDX-License-Identifier: MIT
#include "app/MainDialog.h"

#include "core/disk/DiskCopy.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QDate>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QShortcut>
#include <QWindow>
#include <filesystem>
#include <limits>

#include "app/AboutDialog.h"
#include "app/MessageBoxPrompter.h"
#include "app/Palettes.h"
#include "core/Texts.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/text/CommandLine.h"
#include "widgets/Artwork.h"
#include "widgets/DialogUnits.h"
#include "widgets/DragAndDrop.h"
#include "widgets/FreeSpaceBar.h"
#include "widgets/GroupFrame.h"

namespace tunecrate {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kYellow(255, 255, 0);
const QColor kGrey(128, 128, 128);
const QKeyCombination kNextImageKey(Qt::CTRL | Qt::Key_PageDown);
const QKeyCombination kPreviousImageKey(Qt::CTRL | Qt::Key_PageUp);

// Where a control of the main window stands, in dialog units.
struct Placement {
    const char* name;   // the control's object name
    int left, top, width, height;
};

// The window's controls and their places.
const std::vector<Placement> kLayout = {
    {"hardDiskFrame", 8, 7, 218, 369},  {"floppyFrame", 231, 58, 217, 318}, {"folderLabel", 41, 21, 171, 8},
    {"folderTree", 14, 33, 207, 132},   {"fileLabel", 95, 169, 40, 8},      {"hardDiskList", 13, 181, 207, 187},
    {"reloadButton", 237, 72, 39, 14},  {"mediumName", 300, 61, 141, 9},  {"freeSpaceBar", 279, 73, 101, 13}, {"freeSpaceText", 383, 76, 56, 10},
    {"floppyList", 237, 89, 204, 280},  {"logo", 274, 17, 98, 25},          {"versionText", 267, 46, 108, 8},
    {"exitButton", 414, 45, 35, 14},    {"helpButton", 414, 26, 35, 14},    {"customizeButton", 414, 7, 35, 14},
};

// Static texts and group frames take no clicks: a press on them is a press on
// the window's background, as with the platform's static controls.
template <typename Widget>
Widget* PassClicksThrough(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    return widget;
}

// The desktop's own file dialog where it has one (its places, its recent
// folders); Qt's, in the window's colours, where it has none. What the user
// chose; nothing when the dialog was cancelled.
std::optional<std::string> Chosen(QFileDialog& dialog) {
    dialog.setPalette(SystemPalette());
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

std::optional<std::string> ChooseImageFile(QWidget* parent, const std::string& startFolder) {
    QFileDialog dialog(parent, MainDialog::tr("フロッピーイメージを開く"), QFile::decodeName(startFolder.c_str()),
                       FloppyImageFilter());
    dialog.setObjectName(QStringLiteral("floppyImageDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Chosen(dialog);
}

std::optional<std::string> ChooseBackupImage(QWidget* parent, const std::string& startFolder) {
    QFileDialog dialog(parent, MainDialog::tr("フロッピーをイメージに保存"), QFile::decodeName(startFolder.c_str()),
                       FloppyImageFilter());
    dialog.setObjectName(QStringLiteral("backupImageDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);   // asks before replacing a file
    dialog.setDefaultSuffix(QStringLiteral("img"));
    dialog.selectFile(QStringLiteral("floppy-%1.img").arg(QDate::currentDate().toString(Qt::ISODate)));
    return Chosen(dialog);
}

std::optional<std::string> ChooseShelfFolder(QWidget* parent, const std::string& startFolder) {
    QFileDialog dialog(parent, MainDialog::tr("ディスク棚のフォルダ"), QFile::decodeName(startFolder.c_str()));
    dialog.setObjectName(QStringLiteral("shelfFolderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return Chosen(dialog);
}

}  // namespace

QString FloppyImageFilter() {
    // Every spelling of the extensions, for the desktop's own dialogs too,
    // whose patterns heed case; the list shows the name alone.
    return MainDialog::tr("フロッピーイメージ (*.[Ii][Mm][Gg] *.[Ii][Mm][Aa]);;すべてのファイル (*)");
}

WindowQuestions DesktopQuestions() { return {nullptr, ChooseImageFile, ChooseBackupImage, ChooseShelfFolder}; }

MainDialog::MainDialog(SessionOptions options, WindowQuestions questions, QWidget* parent)
    : QDialog(parent),
      m_session(std::move(options), [this](Place place) -> Prompter& { return PrompterFor(place); }),
      m_folderTree(m_session, this),
      m_hardDiskList(m_session, this),
      m_floppyList(m_session, this),
      m_customizeButton(QStringLiteral("Customize"), this),
      m_helpButton(QStringLiteral("Help.."), this),
      m_exitButton(tr("終了"), this),
      m_reloadButton(tr("再読み込み"), this),
      m_questions(std::move(questions)) {
    setObjectName(QStringLiteral("mainDialog"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(DialogFont());
    setPalette(DialogPalette());
    setAutoFillBackground(true);
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    BuildLayout();

    for (ColorButton* button : {&m_customizeButton, &m_helpButton, &m_exitButton, &m_reloadButton}) {
        button->Setup(kNavy, kYellow, kGrey, 2);
    }
    const QString version = QStringLiteral("Ver.") + QString::fromLatin1(kVersion);
    m_versionText->setText(version);
    setWindowTitle(QStringLiteral("Tunecrate ") + version);

    m_hardDiskList.SetColumns({{tr("ソング名"), 100}, {tr("サイズ"), 50},
                               {tr("コメント"), 400}});
    m_floppyList.SetColumns({{QStringLiteral("No."), 40}, {tr("ソング名"), 100},
                             {tr("サイズ"), 50}, {tr("コメント"), 200}});

    // What the session changes, the window shows.
    connect(&m_session, &Session::floppyChanged, this, [this] {
        m_floppyList.ShowSlots();
        ShowFreeSpace();
        ShowMedium();
    });
    // The floppy frame says while the floppy is read beside the window.
    connect(&m_session, &Session::floppyReading, this, [this](bool reading) {
        if (reading) m_freeSpaceText->setText(QString::fromStdString(Translated(texts::kLoading)));
        else ShowFreeSpace();
    });
    connect(&m_session, &Session::songsChanged, &m_hardDiskList, &HardDiskList::ShowSongs);
    connect(&m_session, &Session::foldersReset, &m_folderTree, &FolderTree::ResetFolders);
    connect(&m_session, &Session::folderToSelect, &m_folderTree, &FolderTree::SelectPath);
    connect(&m_session, &Session::slotTextChanged, &m_floppyList, &FloppyList::ShowSlotText);
    connect(&m_session, &Session::songTitleChanged, &m_hardDiskList, &HardDiskList::ShowTitle);
    connect(&m_session, &Session::songCommentChanged, &m_hardDiskList, &HardDiskList::ShowComment);
    connect(&m_session, &Session::dropProgress, this, &MainDialog::ShowDropProgress);
    connect(&m_session.DriveWork(), &DriveSession::diskCopyProgress, this, &MainDialog::ShowDiskCopyProgress);

    connect(&m_reloadButton, &QPushButton::clicked, &m_session, &Session::Reload);
    connect(&m_exitButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* about = new QShortcut(QKeySequence(QStringLiteral("Alt+A")), this);
    connect(about, &QShortcut::activated, this, &MainDialog::ShowAbout);
    auto* shelf = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")), this);
    connect(shelf, &QShortcut::activated, this, [this] { OpenShelf(); });
    for (const auto& [key, step] : {std::pair{kNextImageKey, 1}, {kPreviousImageKey, -1}}) {
        auto* stepKey = new QShortcut(QKeySequence(key), this);
        connect(stepKey, &QShortcut::activated, this, [this, step] { m_session.StepImage(step); });
    }

    ShowFreeSpace();
    ShowMedium();
}

MainDialog::~MainDialog() {
    // Nothing may reach this half-destroyed dialog: not the focus leaving a
    // child, not the shelf window, which works on m_shelf and goes first.
    disconnect(qApp, nullptr, this, nullptr);
    delete m_shelfWindow;
    m_shelfWindow = nullptr;
}

void MainDialog::BuildLayout() {
    const DialogUnits du(font());
    setFixedSize(du.X(455), du.Y(383));

    auto* hardDiskFrame = PassClicksThrough(new GroupFrame(tr("ハードディスク"), this), "hardDiskFrame");
    auto* floppyFrame = PassClicksThrough(new GroupFrame(tr("フロッピーディスク"), this), "floppyFrame");
    hardDiskFrame->lower();
    floppyFrame->lower();
    auto* folderLabel = PassClicksThrough(
        new QLabel(tr("フォルダリスト（右クリックで新しいフォルダを作成できます）"), this), "folderLabel");
    auto* fileLabel = PassClicksThrough(new QLabel(tr("ファイルリスト"), this), "fileLabel");
    m_freeSpaceBar = PassClicksThrough(new FreeSpaceBar(this), "freeSpaceBar");
    m_freeSpaceText = PassClicksThrough(new QLabel(tr("空き 0 kb"), this), "freeSpaceText");
    auto* logo = PassClicksThrough(new QLabel(this), "logo");
    // Not passed through: it shows the whole path as its tooltip.
    m_mediumName = new QLabel(this);
    m_mediumName->setObjectName(QStringLiteral("mediumName"));
    m_mediumName->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_versionText = PassClicksThrough(new QLabel(QStringLiteral("Version *.**"), this), "versionText");
    m_versionText->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_folderTree.setObjectName(QStringLiteral("folderTree"));
    m_hardDiskList.setObjectName(QStringLiteral("hardDiskList"));
    m_floppyList.setObjectName(QStringLiteral("floppyList"));
    m_reloadButton.setObjectName(QStringLiteral("reloadButton"));
    m_exitButton.setObjectName(QStringLiteral("exitButton"));
    m_helpButton.setObjectName(QStringLiteral("helpButton"));
    m_customizeButton.setObjectName(QStringLiteral("customizeButton"));
    m_helpButton.hide();
    m_customizeButton.hide();

    for (const Placement& place : kLayout) {
        auto* control = findChild<QWidget*>(QString::fromLatin1(place.name), Qt::FindDirectChildrenOnly);
        if (control != nullptr) control->setGeometry(du.Rect(place.left, place.top, place.width, place.height));
    }
    logo->setPixmap(LogoPixmap(logo->size()));
    for (QLabel* label : {folderLabel, fileLabel, m_freeSpaceText, m_versionText, m_mediumName}) {
        label->setFont(font());
        label->setTextFormat(Qt::PlainText);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{&m_folderTree, &m_hardDiskList, &m_floppyList}) {
        control->setPalette(SystemPalette());
    }

    // Tab order as the controls stand in the window.
    setTabOrder(&m_folderTree, &m_hardDiskList);
    setTabOrder(&m_hardDiskList, &m_reloadButton);
    setTabOrder(&m_reloadButton, &m_floppyList);
    setTabOrder(&m_floppyList, &m_exitButton);
}

QString FittedFreeSpaceText(std::int64_t freeBytes, const QFontMetrics& metrics, int width) {
    QString text;
    for (int coarser = 0; coarser <= kCoarsestFreeSpaceUnit; ++coarser) {
        text = QString::fromStdString(FreeSpaceText(freeBytes, coarser));
        if (metrics.horizontalAdvance(text) <= width) break;
    }
    return text;
}

void MainDialog::ShowFreeSpace() {
    if (m_session.ReadingFloppy()) return;   // it says it is reading until the last reading ends
    m_freeSpaceBar->SetFreePercent(m_session.FreePercent());
    m_freeSpaceText->setText(
        FittedFreeSpaceText(m_session.FreeBytes(), m_freeSpaceText->fontMetrics(), m_freeSpaceText->width()));
}

void MainDialog::ShowMedium() {
    const QString name = QFile::decodeName(m_session.MediumName().c_str());
    m_mediumName->setText(m_mediumName->fontMetrics().elidedText(name, Qt::ElideMiddle, m_mediumName->width()));
    m_mediumName->setToolTip(QFile::decodeName(m_session.FloppyLocation().c_str()));
}

void MainDialog::OpenFloppyImage() {
    const std::optional<std::string> chosen = m_questions.imageFile(this, m_session.ImageChooserFolder());
    if (chosen) m_session.UseImage(*chosen);
}

void MainDialog::OpenShelf(std::optional<std::string> folder) {
    if (!folder) folder = m_session.ShelfStartFolder();
    if (!folder) folder = m_questions.shelfFolder(this, m_session.WorkingDirectory());
    if (!folder) return;
    if (!m_shelf) {
        m_shelf = std::make_unique<ShelfSession>([this]() -> Prompter& { return PrompterFor(Place::Shelf); },
                                                 [this] { return m_session.FloppyLocation(); });
        m_shelfWindow = new ShelfWindow(*m_shelf, this);
        m_shelfWindow->setFont(font());
        m_shelfWindow->SetDiskService(m_session.DiskService());
        connect(m_shelfWindow, &ShelfWindow::imageChosen, &m_session,
                [this](const std::string& path) { m_session.UseImage(path, Place::Shelf); });
        connect(&m_session, &Session::floppyChanged, m_shelfWindow, [this] {
            m_shelfWindow->MarkShown(m_session.ShownImage());
            m_shelf->FollowSlotWrite(m_session.ShownImage());
        });
        connect(m_shelf.get(), &ShelfSession::imageWritten, &m_session, &Session::FollowImageWrite);
        connect(m_shelf.get(), &ShelfSession::imagesRenamed, &m_session, &Session::FollowImageRenames);
        connect(m_shelf.get(), &ShelfSession::songsMovedOff, &m_session, &Session::FollowSongsMoved);
        connect(m_shelf.get(), &ShelfSession::rowsReset, m_shelfWindow, [this] { m_shelfWindow->MarkShown(m_session.ShownImage()); });
        // Beside this window, where neither hides the other, and inside the screen. The
        // shelf's frame is taken to be as wide as this window's.
        const QRect client = geometry(), frame = frameGeometry();
        const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                               frame.bottom() - client.bottom());
        const SideBySide place = PlaceBeside(frame, m_shelfWindow->size().grownBy(margins), screen()->availableGeometry());
        move(place.main.topLeft());
        m_shelfWindow->setGeometry(place.beside.marginsRemoved(margins));
    }
    // Shown first, so that a message about the folder stands over it.
    m_shelfWindow->show();
    m_shelfWindow->raise();
    m_shelfWindow->activateWindow();
    if (*folder != m_shelf->ShelfFolder()) m_shelf->OpenFolder(*folder);
    m_shelfWindow->MarkShown(m_session.ShownImage());
}

void MainDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

Prompter& MainDialog::PrompterFor(Place place) {
    auto& prompter = m_prompters[place];
    if (!prompter) {
        Prompter* asker = m_questions.prompter;
        if (asker == nullptr) {
            QWidget* owner = place == Place::FolderTree     ? static_cast<QWidget*>(&m_folderTree)
                             : place == Place::HardDiskList ? static_cast<QWidget*>(&m_hardDiskList)
                             : place == Place::FloppyList   ? static_cast<QWidget*>(&m_floppyList)
                             : place == Place::Shelf && m_shelfWindow != nullptr ? static_cast<QWidget*>(m_shelfWindow)
                                                            : static_cast<QWidget*>(this);
            asker = (m_boxes[place] = std::make_unique<MessageBoxPrompter>(owner)).get();
        }
        // A progress dialog is window-modal: shown over a box, it would take
        // the box's input, and only its cancel would free the user. It gives
        // way to every question and message, and comes back after the answer.
        prompter = std::make_unique<BoxWatchingPrompter>([asker]() -> Prompter& { return *asker; },
                                                         [this](bool opened) { QuestionOpened(opened); });
    }
    return *prompter;
}

void MainDialog::QuestionOpened(bool opened) {
    m_openQuestions += opened ? 1 : -1;
    if (m_openQuestions > 0) {
        for (QProgressDialog* progress : {m_dropProgress.data(), m_diskCopyProgress.data()}) {
            if (progress != nullptr) progress->hide();
        }
    } else {
        ShowDueProgress();
    }
}

void MainDialog::ShowDueProgress() {
    if (m_openQuestions > 0) return;
    for (QProgressDialog* progress : {m_dropProgress.data(), m_diskCopyProgress.data()}) {
        QElapsedTimer clock;
        clock.start();
        const bool due = progress != nullptr && clock.msecsSinceReference() >= progress->property("dueAt").toLongLong();
        if (due && !progress->isVisible()) progress->show();
    }
}

void MainDialog::accept() {}

void MainDialog::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    // The window follows the mouse from any free spot of its background: the
    // window manager moves it, or, where there is none, the window itself.
    if (event->button() != Qt::LeftButton) return;
    if (windowHandle() == nullptr || !windowHandle()->startSystemMove()) {
        m_moveGrip = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
}

void MainDialog::mouseMoveEvent(QMouseEvent* event) {
    QDialog::mouseMoveEvent(event);
    if (m_moveGrip && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - *m_moveGrip);
}

void MainDialog::ShowProgress(QPointer<QProgressDialog>& dialog, const QString& name, const QString& label,
                              const std::function<void()>& onCancel, int minimumMs, int done, int total) {
    if (done < 0) {
        // A modal dialog's setValue runs the event loop, so the end may come
        // from inside it: the dialog goes once that call is over.
        if (QProgressDialog* ended = dialog) {
            ended->hide();
            ended->deleteLater();
        }
        dialog.clear();
        return;
    }
    if (dialog.isNull()) {
        dialog = new QProgressDialog(label, tr("中止"), 0, total, this);
        dialog->setObjectName(name);
        dialog->setWindowModality(Qt::WindowModal);
        // Shown by this window once due and while no box is open, never by
        // the dialog's own timer, which would bring it up over a question.
        dialog->setMinimumDuration(std::numeric_limits<int>::max());
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        connect(dialog, &QProgressDialog::canceled, this, onCancel);
        QElapsedTimer clock;
        clock.start();
        dialog->setProperty("dueAt", clock.msecsSinceReference() + minimumMs);
    }
    dialog->setMaximum(total);
    dialog->setValue(done);
    ShowDueProgress();
    // A drop runs on this thread: the shown dialog paints and takes its
    // cancel only here, between two songs.
    if (dialog->isVisible()) QCoreApplication::processEvents();
}

void MainDialog::ShowDropProgress(int done, int total) {
    ShowProgress(m_dropProgress, QStringLiteral("dropProgress"), tr("曲を転送しています..."),
                 [this] { m_session.CancelDrop(); }, 500,
                 done, total);
}

void MainDialog::ShowDiskCopyProgress(int done, int total) {
    const QString what = tr("フロッピーを読み書きしています...");
    if (m_diskCopyProgress.isNull()) m_diskCopyStarted = std::chrono::steady_clock::now();
    ShowProgress(m_diskCopyProgress, QStringLiteral("diskCopyProgress"), what, [this] { m_session.DriveWork().CancelCopy(); }, 0, done,
                 total);
    if (m_diskCopyProgress.isNull() || done < 0) return;
    // The sectors done, and the time left at the speed so far.
    const double soFar = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_diskCopyStarted).count();
    const std::optional<int> left = SecondsLeft(soFar, static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total));
    m_diskCopyProgress->setLabelText(what + QStringLiteral("\n") + tr("%1 / %2 セクタ").arg(done).arg(total) +
                                     (left ? QStringLiteral("  ") + QString::fromStdString(TimeLeftText(*left)) : QString()));
}

void MainDialog::reject() {
    // The copy's thread works for this window; it is cancelled, not cut off.
    if (!m_diskCopyProgress.isNull()) {
        m_session.DriveWork().CancelCopy();
        return;
    }
    QDialog::reject();
}

void MainDialog::ChooseImageToSaveFloppy() {
    const std::optional<std::string> chosen = m_questions.backupImage(this, m_session.ImageChooserFolder());
    if (chosen) m_session.DriveWork().SaveFloppyToImage(*chosen);
}

void MainDialog::ChooseImageToWriteFloppy() {
    const std::optional<std::string> chosen = m_questions.imageFile(this, m_session.ImageChooserFolder());
    if (chosen) m_session.DriveWork().WriteImageToFloppy(*chosen);
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void MainDialog::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedImage(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void MainDialog::dropEvent(QDropEvent* event) {
    const std::optional<std::string> image = DroppedImage(event);
    if (!image) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Once the drag has ended, so that a message about the image gets the pointer.
    QMetaObject::invokeMethod(this, [this, path = *image] { m_session.UseImage(path); }, Qt::QueuedConnection);
}

void MainDialog::mouseReleaseEvent(QMouseEvent* event) {
    QDialog::mouseReleaseEvent(event);
    m_moveGrip.reset();
}

QMenu* MainDialog::BuildBackgroundMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("backgroundMenu"));
    menu->setPalette(SystemPalette());
    QAction* image = menu->addAction(tr("フロッピーイメージを開く(&O)..."));
    image->setObjectName(QStringLiteral("openFloppyImageAction"));
    connect(image, &QAction::triggered, this, &MainDialog::OpenFloppyImage);
    QAction* drive = menu->addAction(tr("フロッピードライブに戻る(&D)"));
    drive->setObjectName(QStringLiteral("floppyDriveAction"));
    drive->setEnabled(m_session.HasFloppyChoice());
    connect(drive, &QAction::triggered, &m_session, &Session::UseFloppyDrive);
    QAction* shelf = menu->addAction(tr("ディスク棚(&S)..."));
    shelf->setObjectName(QStringLiteral("shelfAction"));
    shelf->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    connect(shelf, &QAction::triggered, this, [this] { OpenShelf(); });
    // Through the shown image's folder as the shelf lists it.
    const bool onImage = !m_session.ShownImage().empty();
    for (const auto& [name, text, key, step] : {std::tuple{"nextImageAction", tr("次のイメージ(&N)"), kNextImageKey, 1},
                                                {"previousImageAction", tr("前のイメージ(&P)"), kPreviousImageKey, -1}}) {
        QAction* stepAction = menu->addAction(text);
        stepAction->setObjectName(QString::fromLatin1(name));
        stepAction->setShortcut(QKeySequence(key));
        stepAction->setEnabled(onImage);
        connect(stepAction, &QAction::triggered, this, [this, step] { m_session.StepImage(step); });
    }
    menu->addSeparator();
    // The drive's own commands: only for a floppy in a drive, not an image or a folder.
    const bool inDrive = !m_session.FloppyDrive().empty();
    QAction* backup = menu->addAction(tr("フロッピーをイメージに保存(&B)..."));
    backup->setObjectName(QStringLiteral("backupFloppyAction"));
    backup->setEnabled(inDrive);
    connect(backup, &QAction::triggered, this, &MainDialog::ChooseImageToSaveFloppy);
    QAction* restore = menu->addAction(tr("イメージをフロッピーに書く(&W)..."));
    restore->setObjectName(QStringLiteral("restoreFloppyAction"));
    restore->setEnabled(inDrive);
    connect(restore, &QAction::triggered, this, &MainDialog::ChooseImageToWriteFloppy);
    QAction* eject = menu->addAction(tr("取り出し(&E)"));
    eject->setObjectName(QStringLiteral("ejectAction"));
    eject->setEnabled(inDrive);
    connect(eject, &QAction::triggered, &m_session.DriveWork(), &DriveSession::EjectFloppy);
    menu->addSeparator();
    // Window managers own the system menu here, so the about item lives on the
    // background's own menu.
    QAction* about = menu->addAction(tr("Tunecrate のﾊﾞｰｼﾞｮﾝ情報(&A)..."));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &MainDialog::ShowAbout);
    return menu;
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(BuildBackgroundMenu(this));
    menu->exec(event->globalPos());
}

}  // namespace tunecrate
