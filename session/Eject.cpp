// SPDX-License-Identifier: MIT
#include "session/Eject.h"

#include "core/disk/BlockDevice.h"
#include "core/disk/FileOps.h"
#include "core/text/Texts.h"
#include "session/UDisks.h"

namespace tunecrate {

EjectOutcome EjectFloppy(const std::string& location, const std::vector<MountEntry>& mounts, const UDisks* udisks) {
    EjectOutcome outcome;
    std::string device, mountPoint;
    if (IsBlockDevice(location)) {
        device = location;
        mountPoint = MountPointOf(device, mounts).value_or("");
    } else if (auto mounted = DeviceMountedAt(location, mounts)) {
        device = *mounted;
        mountPoint = location;
    } else {
        outcome.message = Say(texts::kNotAFloppyDrive, {location});
        return outcome;
    }
    // First whatever the system still holds for the disk, whatever comes next.
    if (!mountPoint.empty()) {
        FlushMountedFolder(mountPoint);
    } else {
        FlushDevice(device);
    }
    if (udisks == nullptr || !udisks->Available()) {
        outcome.canTakeOut = mountPoint.empty();
        outcome.message = mountPoint.empty() ? Say(texts::kEjectFlushedDevice, {device})
                                             : Say(texts::kEjectByHand, {mountPoint});
        return outcome;
    }
    QString error;
    if (!mountPoint.empty()) {
        const std::string mountedDevice = DeviceMountedAt(mountPoint, mounts).value_or(device);
        if (!udisks->Unmount(mountedDevice, &error)) {
            outcome.message = Say(texts::kEjectUnmountFailed, {mountPoint, error.toStdString()});
            return outcome;
        }
    }
    outcome.canTakeOut = true;
    // Unmounted and flushed: the disk is safe even when the drive stays on.
    outcome.message = udisks->PowerOff(device, &error) ? Say(texts::kEjectDone, {device})
                                                       : Say(texts::kEjectNoPowerOff, {device, error.toStdString()});
    return outcome;
}

}  // namespace tunecrate
