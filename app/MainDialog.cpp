// SPDX-License-Identifier: MIT
#include "app/MainDialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QWindow>
#include <filesystem>

#include "app/AboutDialog.h"
#include "app/Artwork.h"
#include "app/DialogUnits.h"
#include "app/FreeSpaceBar.h"
#include "app/GroupFrame.h"
#include "app/MessageBoxPrompter.h"
#include "core/text/CommandLine.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/disk/FloppyVolume.h"

namespace tunecrate {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kYellow(255, 255, 0);
const QColor kGrey(128, 128, 128);

QString Ui(const std::string& text) { return QString::fromStdString(text); }

// Static texts and group frames take no clicks: a press on them is a press on
// the window's background, as with the platform's static controls.
template <typename Widget>
Widget* Static(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    return widget;
}

// The platform's file dialog, but Qt's own, so it looks and behaves the same
// on every desktop.
std::optional<std::string> ChooseImageFile(QWidget* parent, const std::string& startFolder) {
    QFileDialog dialog(parent, QStringLiteral("フロッピーイメージを開く"), QFile::decodeName(startFolder.c_str()),
                       QStringLiteral("フロッピーイメージ (*.img *.ima *.IMG *.IMA);;すべてのファイル (*)"));
    dialog.setObjectName(QStringLiteral("floppyImageDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setPalette(SystemPalette());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

}  // namespace

QPalette DialogPalette() {
    QPalette pal = QApplication::palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Window, kNavy);
        pal.setColor(group, QPalette::WindowText, kYellow);
    }
    return pal;
}

QPalette SystemPalette() {
    const QPalette app = QApplication::palette();
    QPalette pal;
    // Every role set explicitly, so nothing is inherited from the navy window.
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            auto group = static_cast<QPalette::ColorGroup>(g);
            auto role = static_cast<QPalette::ColorRole>(r);
            pal.setBrush(group, role, app.brush(group, role));
        }
    }
    // The selection stays visible while another control has the focus.
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        pal.setBrush(QPalette::Inactive, role, app.brush(QPalette::Active, role));
    }
    return pal;
}

MainDialog::MainDialog(MainDialogOptions options, QWidget* parent)
    : QDialog(parent),
      m_options(std::move(options)),
      m_hardDiskList(this),
      m_floppyList(this),
      m_folderTree(this),
      m_floppyChoice(m_options.floppy),
      m_customizeButton(QStringLiteral("Customize"), this),
      m_helpButton(QStringLiteral("Help.."), this),
      m_exitButton(QStringLiteral("終了"), this),
      m_reloadButton(QStringLiteral("再読み込み"), this),
      m_fileChooser(ChooseImageFile) {
    m_hardDiskList.setOwner(this);
    m_floppyList.setOwner(this);
    m_folderTree.setOwner(this);

    setObjectName(QStringLiteral("mainDialog"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(DialogFont());
    setPalette(DialogPalette());
    setAutoFillBackground(true);
    setWindowIcon(ProgramIcon());
    BuildLayout();

    for (ColorButton* button : {&m_customizeButton, &m_helpButton, &m_exitButton, &m_reloadButton}) {
        button->Setup(kNavy, kYellow, kGrey, 2);
    }
    const QString version = QStringLiteral("Ver.") + QString::fromLatin1(kVersion);
    m_versionText->setText(version);
    setWindowTitle(QStringLiteral("Tunecrate ") + version);

    m_hardDiskList.SetColumns({{QStringLiteral("ソング名"), 100}, {QStringLiteral("サイズ"), 50},
                               {QStringLiteral("コメント"), 400}});
    // The hard-disk list edits its titles as labels: a slow second click or F2.
    m_hardDiskList.setEditTriggers(QAbstractItemView::SelectedClicked);
    m_floppyList.SetColumns({{QStringLiteral("No."), 40}, {QStringLiteral("ソング名"), 100},
                             {QStringLiteral("サイズ"), 50}, {QStringLiteral("コメント"), 200}});

    connect(&m_reloadButton, &QPushButton::clicked, this, &MainDialog::Reload);
    connect(&m_exitButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* about = new QShortcut(QKeySequence(QStringLiteral("Alt+A")), this);
    connect(about, &QShortcut::activated, this, &MainDialog::ShowAbout);

    UpdateFreeSpaceDisplay();
}

MainDialog::~MainDialog() = default;

void MainDialog::BuildLayout() {
    const DialogUnits du(font());
    setFixedSize(du.X(455), du.Y(383));

    auto* hardDiskFrame = Static(new GroupFrame(QStringLiteral("ハードディスク"), this), "hardDiskFrame");
    hardDiskFrame->setGeometry(du.Rect(8, 7, 218, 369));
    auto* floppyFrame = Static(new GroupFrame(QStringLiteral("フロッピーディスク"), this), "floppyFrame");
    floppyFrame->setGeometry(du.Rect(231, 58, 217, 318));
    hardDiskFrame->lower();
    floppyFrame->lower();

    auto* folderLabel = Static(
        new QLabel(QStringLiteral("フォルダリスト（右クリックで新しいフォルダを作成できます）"), this), "folderLabel");
    folderLabel->setGeometry(du.Rect(41, 21, 171, 8));

    m_folderTree.setObjectName(QStringLiteral("folderTree"));
    m_folderTree.setGeometry(du.Rect(14, 33, 207, 132));

    auto* fileLabel = Static(new QLabel(QStringLiteral("ファイルリスト"), this), "fileLabel");
    fileLabel->setGeometry(du.Rect(95, 169, 40, 8));

    m_hardDiskList.setObjectName(QStringLiteral("hardDiskList"));
    m_hardDiskList.setGeometry(du.Rect(13, 181, 207, 187));

    m_reloadButton.setObjectName(QStringLiteral("reloadButton"));
    m_reloadButton.setGeometry(du.Rect(237, 72, 39, 14));

    m_freeSpaceBar = Static(new FreeSpaceBar(this), "freeSpaceBar");
    m_freeSpaceBar->setGeometry(du.Rect(279, 73, 101, 13));

    m_freeSpaceText = Static(new QLabel(QStringLiteral("空き 0 kb"), this), "freeSpaceText");
    m_freeSpaceText->setGeometry(du.Rect(383, 76, 56, 10));

    m_floppyList.setObjectName(QStringLiteral("floppyList"));
    m_floppyList.setGeometry(du.Rect(237, 89, 204, 280));

    auto* logo = Static(new QLabel(this), "logo");
    logo->setGeometry(du.Rect(274, 17, 98, 25));
    logo->setPixmap(LogoPixmap(logo->size()));

    m_versionText = Static(new QLabel(QStringLiteral("Version *.**"), this), "versionText");
    m_versionText->setGeometry(du.Rect(267, 46, 108, 8));
    m_versionText->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_exitButton.setObjectName(QStringLiteral("exitButton"));
    m_exitButton.setGeometry(du.Rect(414, 45, 35, 14));
    m_helpButton.setObjectName(QStringLiteral("helpButton"));
    m_helpButton.setGeometry(du.Rect(414, 26, 35, 14));
    m_helpButton.hide();
    m_customizeButton.setObjectName(QStringLiteral("customizeButton"));
    m_customizeButton.setGeometry(du.Rect(414, 7, 35, 14));
    m_customizeButton.hide();

    for (QLabel* label : {folderLabel, fileLabel, m_freeSpaceText, m_versionText}) {
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

void MainDialog::LocateFloppy(const std::vector<MountEntry>& mounts) {
    if (m_floppyChoice) {
        // Decided afresh each time: a path that was a folder may now be an image.
        // An image's location is its path; a folder's ends in "/".
        m_floppyLocation = *m_floppyChoice;
        const bool image = IsFloppyImageFile(m_floppyLocation);
        if (!image && (m_floppyLocation.empty() || m_floppyLocation.back() != '/')) m_floppyLocation += '/';
        m_FloppyRoot = image ? m_floppyLocation + "/" : m_floppyLocation;
        return;
    }
    // Without a floppy now the former one is kept, as after a disk change.
    if (auto found = FindFloppy(mounts)) m_FloppyRoot = m_floppyLocation = *found;
}

std::unique_ptr<FloppyVolume> MainDialog::OpenFloppy() const {
    if (m_floppyLocation.empty()) return nullptr;
    return OpenFloppyVolume(m_floppyLocation);
}

void MainDialog::OpenFloppyImage() {
    // A folder location ends in "/"; an image's does not.
    const bool onImage = !m_floppyLocation.empty() && m_floppyLocation.back() != '/';
    std::string start = onImage ? std::filesystem::path(m_floppyLocation).parent_path().string() : std::string();
    if (start.empty()) start = m_options.workingDirectory;
    const std::optional<std::string> chosen = m_fileChooser(this, start);
    if (!chosen || chosen->empty()) return;
    m_floppyChoice = *chosen;
    Reload();
}

void MainDialog::UseFloppyDrive() {
    m_floppyChoice.reset();
    // The named floppy is no stand-in for a drive without a disk: none is kept.
    m_FloppyRoot.clear();
    m_floppyLocation.clear();
    Reload();
}

void MainDialog::ReadCatalogue(bool showError) {
    auto volume = OpenFloppy();
    CatalogueReading reading = tunecrate::ReadCatalogue(volume.get());
    m_slotRows = std::move(reading.rows);
    m_FreePercent = reading.FreePercent;
    m_FreeBytes = reading.FreeBytes;
    m_floppyList.ShowSlotRows(m_slotRows);
    UpdateFreeSpaceDisplay();
    if (!reading.readable && showError) {
        std::string text = UnreadableFloppyMessage(m_FloppyRoot);
        if (!reading.failure.empty()) text += "\n\n" + reading.failure;
        PrompterFor(this).ShowMessage(text, "Error!", MessageIcon::None);
    }
    emit catalogueRead();
}

void MainDialog::UpdateFreeSpaceDisplay() {
    m_freeSpaceBar->setFreePercent(m_FreePercent);
    m_freeSpaceText->setText(Ui(FreeSpaceText(m_FreeBytes)));
}

void MainDialog::FirstFill() {
    m_folderTree.FillTree(1);
    m_folderTree.SelectPath(m_options.workingDirectory);
    ReadCatalogue(false);
}

void MainDialog::Reload() {
    m_folderTree.FillTree(1);
    m_folderTree.SelectPath(m_options.workingDirectory);
    ReadCatalogue(true);
}

void MainDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

Prompter& MainDialog::PrompterFor(QWidget* window) {
    if (m_testPrompter != nullptr) return *m_testPrompter;
    auto& prompter = m_prompters[window];
    if (!prompter) prompter = std::make_unique<MessageBoxPrompter>(window);
    return *prompter;
}

void MainDialog::accept() {}

void MainDialog::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    // The window follows the mouse from any free spot of its background.
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) windowHandle()->startSystemMove();
}

QMenu* MainDialog::BuildBackgroundMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("backgroundMenu"));
    menu->setPalette(SystemPalette());
    QAction* image = menu->addAction(QStringLiteral("フロッピーイメージを開く(&O)..."));
    image->setObjectName(QStringLiteral("openFloppyImageAction"));
    connect(image, &QAction::triggered, this, &MainDialog::OpenFloppyImage);
    QAction* drive = menu->addAction(QStringLiteral("フロッピードライブに戻る(&D)"));
    drive->setObjectName(QStringLiteral("floppyDriveAction"));
    drive->setEnabled(HasFloppyChoice());
    connect(drive, &QAction::triggered, this, &MainDialog::UseFloppyDrive);
    menu->addSeparator();
    // Window managers own the system menu here, so the about item lives on the
    // background's own menu.
    QAction* about = menu->addAction(QStringLiteral("Tunecrate のﾊﾞｰｼﾞｮﾝ情報(&A)..."));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &MainDialog::ShowAbout);
    return menu;
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(BuildBackgroundMenu(this));
    menu->exec(event->globalPos());
}

}  // namespace tunecrate
