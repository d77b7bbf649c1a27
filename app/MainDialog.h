// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <chrono>
#include <QPointer>
#include <QProgressDialog>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "session/DriveSession.h"
#include "session/Session.h"
#include "session/ShelfSession.h"
#include "widgets/ColorButton.h"
#include "widgets/FloppyList.h"
#include "widgets/FolderTree.h"
#include "widgets/HardDiskList.h"
#include "widgets/ShelfWindow.h"

class QFontMetrics;
class QLabel;
class QMenu;

namespace tunecrate {

class FreeSpaceBar;

// Asks for a file or a folder, starting in a folder; nullopt when cancelled.
using FileChooser = std::function<std::optional<std::string>(QWidget* parent, const std::string& startFolder)>;

// How the main window asks its user beyond its own controls: the program
// passes the desktop's file dialogs and message boxes, a test its own answers.
struct WindowQuestions {
    Prompter* prompter = nullptr;   // none: message boxes owned by the place's widget
    FileChooser imageFile;          // an image to open, or to write onto the floppy
    FileChooser backupImage;        // the image file a floppy is saved into
    FileChooser shelfFolder;        // the shelf's folder, when none is known
};
WindowQuestions DesktopQuestions();
// The file dialogs' filters: floppy images, whatever the case of their extension, then every file.
QString FloppyImageFilter();

// The free space in the finest unit whose text fits `width` pixels.
QString FittedFreeSpaceText(std::int64_t freeBytes, const QFontMetrics& metrics, int width);

// The main window: lays out the folder tree, the two song lists, the
// free-space display and the buttons, and wires them to the session that
// does the work.
class MainDialog : public QDialog {
    Q_OBJECT
public:
    MainDialog(SessionOptions options, WindowQuestions questions, QWidget* parent = nullptr);
    ~MainDialog() override;

    Session& CurrentSession() { return m_session; }
    // The background's menu: open an image, back to the drive, the shelf, the
    // next and previous image, the drive's own commands (save, write, eject), the about box.
    QMenu* BuildBackgroundMenu(QWidget* parent);
    // Opens the shelf window on `folder`, or where the session says it opens.
    void OpenShelf(std::optional<std::string> folder = std::nullopt);
    ShelfWindow* OpenedShelf() const { return m_shelfWindow; }

protected:
    void accept() override;   // Enter does nothing
    // Closing waits while a whole-disk copy runs beside the window.
    void reject() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // A floppy image dropped from a file manager anywhere on the window opens.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    // A drop that takes longer than half a second shows how far it is, with a
    // cancel that stops it between two songs.
    void ShowDropProgress(int done, int total);
    // A whole-disk copy shows how far it is at once: it takes a minute.
    void ShowDiskCopyProgress(int done, int total);

private:
    void BuildLayout();
    void ShowFreeSpace();
    void ShowMedium();
    void OpenFloppyImage();
    void ChooseImageToSaveFloppy();
    void ChooseImageToWriteFloppy();
    void ShowProgress(QPointer<QProgressDialog>& dialog, const QString& name, const QString& label,
                      const std::function<void()>& onCancel, int minimumMs, int done, int total);
    void ShowAbout();
    Prompter& PrompterFor(Place place);
    // A box is opened or closed: a progress dialog is hidden while any is open.
    void QuestionOpened(bool opened);
    void ShowDueProgress();

    Session m_session;
    FolderTree m_folderTree;
    HardDiskList m_hardDiskList;
    FloppyList m_floppyList;
    ColorButton m_customizeButton;
    ColorButton m_helpButton;
    ColorButton m_exitButton;
    ColorButton m_reloadButton;
    QLabel* m_versionText = nullptr;
    QLabel* m_freeSpaceText = nullptr;
    QLabel* m_mediumName = nullptr;   // what the floppy is: an image's name, a device
    FreeSpaceBar* m_freeSpaceBar = nullptr;
    WindowQuestions m_questions;
    std::unique_ptr<ShelfSession> m_shelf;
    ShelfWindow* m_shelfWindow = nullptr;   // a child window, made on first use
    QPointer<QProgressDialog> m_dropProgress;   // while a drop runs
    QPointer<QProgressDialog> m_diskCopyProgress;   // while a whole-disk copy runs
    std::chrono::steady_clock::time_point m_diskCopyStarted;
    int m_openQuestions = 0;   // message boxes open now, nested
    std::map<Place, std::unique_ptr<Prompter>> m_boxes;   // the message boxes of each place
    std::map<Place, std::unique_ptr<Prompter>> m_prompters;   // the same, giving way to progress
    std::optional<QPoint> m_moveGrip;   // where the window was gripped, when no window manager moves it
};

}  // namespace tunecrate
