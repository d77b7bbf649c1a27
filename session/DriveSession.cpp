// SPDX-License-Identifier: MIT
#include "session/DriveSession.h"

#include <memory>

#include "core/disk/BlockDevice.h"
#include "core/disk/FloppyVolume.h"
#include "core/songs/FloppyBackup.h"
#include "core/Texts.h"
#include "session/Eject.h"
#include "session/Session.h"
#include "session/UDisks.h"

namespace tunecrate {

DriveSession::DriveSession(const Session& session, std::function<std::vector<MountEntry>()> mountTable,
                           const UDisks* udisks, PrompterFor prompter, QObject* parent)
    : QObject(parent), m_session(session), m_mountTable(std::move(mountTable)), m_udisks(udisks),
      m_prompter(std::move(prompter)) {
    connect(&m_copy, &BackgroundTask::progressed, this, &DriveSession::diskCopyProgress);
}

Expected<std::string> DriveSession::ShownDrive() const {
    // The catalogue's reading has the drive; a whole-disk copy waits for it.
    if (m_session.ReadingFloppy()) return Result::Refused(Translated(texts::kFloppyBeingRead));
    std::string drive = m_session.FloppyDrive();
    if (drive.empty()) return Result::Refused(Translated(texts::kNotAFloppyDrive, {m_session.FloppyRoot()}));
    return drive;
}

void DriveSession::ShowOutcome(bool clean, const std::string& text) {
    m_prompter().ShowMessage(text, clean ? "Tunecrate" : Translated(texts::kErrorCaption),
                             clean ? MessageIcon::None : MessageIcon::Exclamation);
}

void DriveSession::ShowRefusal(const std::string& text) {
    m_prompter().ShowMessage(text, Translated(texts::kErrorCaption), MessageIcon::None);
}

void DriveSession::SaveFloppyToImage(const std::string& imagePath) {
    if (imagePath.empty() || Copying()) return;
    const Expected<std::string> shown = ShownDrive();
    if (!shown) return ShowRefusal(shown.error().reason);
    const std::string drive = *shown;
    const std::vector<MountEntry> mounts = m_mountTable();
    auto outcome = std::make_shared<BackupOutcome>();
    m_copy.Start(
        [=](BackgroundTask& task) {
            *outcome = BackupFloppy(drive, imagePath, true, mounts, [&task](std::uint32_t done, std::uint32_t total) {
                return task.Report(static_cast<int>(done), static_cast<int>(total));
            });
        },
        [=, this] {
            emit diskCopyProgress(-1, -1);
            ShowOutcome(outcome->result.ok() && !outcome->cancelled && outcome->unreadable.empty(),
                        outcome->Message(drive, imagePath));
            emit copyEnded();
        });
}

void DriveSession::WriteImageToFloppy(const std::string& imagePath) {
    if (imagePath.empty() || Copying()) return;
    const Expected<std::string> shown = ShownDrive();
    if (!shown) return ShowRefusal(shown.error().reason);
    const std::string drive = *shown;
    std::vector<MountEntry> mounts = m_mountTable();
    const std::string device = DriveAt(drive, mounts).value_or(DrivePlace{drive, {}}).device;
    // Before the question and before a mounted floppy is let go: an image
    // that cannot be written must change nothing.
    if (const Result checked = CheckRestoreImage(imagePath); !checked.ok()) {
        ShowRefusal(checked.reason);
        return;
    }
    if (const Result writable = WriteProtection(device); !writable.ok()) return ShowRefusal(writable.reason);
    if (!m_prompter().AskOkCancel(Translated(texts::kRestoreQuestion, {device, imagePath}), "Tunecrate")) return;
    // The mounts as they are now: the desktop may have mounted the disk while the question was open.
    mounts = m_mountTable();
    // A mounted floppy is let go first, where the disk service can do it.
    if (const auto mountPoint = MountPointOf(device, mounts); mountPoint && m_udisks != nullptr && m_udisks->Available()) {
        if (const Result unmounted = UnmountFloppy(device, *mountPoint, mounts, *m_udisks); !unmounted.ok()) {
            ShowRefusal(unmounted.reason);
            return;
        }
        mounts = m_mountTable();
    }
    auto outcome = std::make_shared<RestoreOutcome>();
    m_copy.Start(
        [=](BackgroundTask& task) {
            *outcome = RestoreFloppy(imagePath, device, mounts, [&task](std::uint32_t done, std::uint32_t total) {
                return task.Report(static_cast<int>(done), static_cast<int>(total));
            });
        },
        [=, this] {
            emit diskCopyProgress(-1, -1);
            ShowOutcome(outcome->result.ok() && outcome->writing.ok(), outcome->Message(imagePath, device));
            if (outcome->touched) emit diskChanged();
            emit copyEnded();
        });
}

void DriveSession::EjectFloppy() {
    if (Copying()) return;
    const Expected<std::string> shown = ShownDrive();
    if (!shown) return ShowRefusal(shown.error().reason);
    const std::string drive = *shown;
    const Result ejected = tunecrate::EjectFloppy(drive, m_mountTable(), m_udisks);
    ShowOutcome(ejected.ok(), ejected.reason);
    emit diskChanged();
}

}  // namespace tunecrate
