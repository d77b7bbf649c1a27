// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "core/Result.h"
#include "core/disk/FloppyFinder.h"
#include "core/songs/Prompter.h"
#include "session/BackgroundTask.h"

namespace tunecrate {

class Session;
class UDisks;

// The work on the floppy drive the window shows, as a whole disk: saving it
// into an image file, writing an image over it, ejecting it. The copies run
// beside the window on a background task, which the window may cancel.
class DriveSession : public QObject {
    Q_OBJECT
public:
    using PrompterFor = std::function<Prompter&()>;

    // `session` tells which drive the window shows; `udisks` (may be absent)
    // lets go of mounted disks and powers drives off.
    DriveSession(const Session& session, std::function<std::vector<MountEntry>()> mountTable, const UDisks* udisks,
                 PrompterFor prompter, QObject* parent = nullptr);

    // A whole-disk copy is running.
    bool Copying() const { return m_copy.Running(); }

    // ---- gestures ----
    // The whole floppy in the drive saved into the image file `imagePath`
    // (replacing it: the user was asked).
    void SaveFloppyToImage(const std::string& imagePath);
    // An image written over the whole floppy after the user agrees, then read back and compared.
    void WriteImageToFloppy(const std::string& imagePath);
    void CancelCopy() { m_copy.Cancel(); }
    // Flushes, unmounts and powers off the floppy drive, and says when the disk can come out.
    void EjectFloppy();

signals:
    // During a copy: sectors done of the total (both passes of a write); -1 when it has ended.
    void diskCopyProgress(int done, int total);
    // A copy has ended and the user has been told how.
    void copyEnded();
    // The disk was written, let go or ejected: the floppy is to be found and read anew.
    void diskChanged();

private:
    // The drive the window shows; refused when it shows none, or while it is read.
    Expected<std::string> ShownDrive() const;
    void ShowOutcome(bool clean, const std::string& text);
    void ShowRefusal(const std::string& text);

    const Session& m_session;
    std::function<std::vector<MountEntry>()> m_mountTable;
    const UDisks* m_udisks;
    PrompterFor m_prompter;
    BackgroundTask m_copy;
};

}  // namespace tunecrate
