// SPDX-License-Identifier: MIT
#include "app/MainApp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStyleFactory>
#include <cerrno>
#include <optional>

#include "app/StateFile.h"
#include "app/Translations.h"
#include "core/disk/BlockDevice.h"
#include "core/disk/HeldTempFolder.h"
#include "session/MountWatcher.h"
#include "session/UDisks.h"
#include "widgets/DialogUnits.h"

namespace tunecrate {

int MainApp::Run(int& argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunecrate"));
    // Before any window: every text is looked up as it is set.
    const auto translations = InstallTranslations(app);
    // One look on every desktop, so the layout's pixels are the same everywhere.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(DialogFont());
    // Drag-out folders that killed sessions left behind; those of running ones stay.
    RemoveStaleTempFolders(QFile::encodeName(QDir::tempPath()).toStdString());

    // The desktop's disk service, where it runs: it opens a drive's device for
    // a user outside the disk group, and unmounts and powers drives off.
    UDisks udisks(QDBusConnection::systemBus());
    SetDeviceOpener([&udisks](const std::string& device, int flags) {
        const Expected<int> fd = udisks.Open(device, flags);
        if (!fd) errno = fd.error().error;
        return fd ? *fd : -1;
    });
    SessionOptions options = m_options;
    options.udisks = &udisks;
    MainDialog dialog(options, DesktopQuestions());
    std::optional<StateFile> state;
    if (const QString path = qEnvironmentVariable("TUNECRATE_STATE"); !path.isEmpty()) state.emplace(dialog, path);
    // Mounts and disks coming and going refresh the window, without asking the drive.
    MountWatcher mounts;
    QObject::connect(&mounts, &MountWatcher::mountsChanged, &dialog.CurrentSession(), &Session::FollowMounts);
    QObject::connect(&udisks, &UDisks::devicesChanged, &mounts, &MountWatcher::Poke);
    dialog.show();
    dialog.CurrentSession().FirstFill();
    if (m_options.shelf) dialog.OpenShelf(m_options.shelf);
    dialog.exec();
    SetDeviceOpener({});
    return 0;
}

}  // namespace tunecrate
