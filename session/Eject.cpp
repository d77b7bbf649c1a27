// SPDX-License-Identifier: MIT
#include "session/Eject.h"

#include "core/disk/BlockDevice.h"
#include "core/disk/FileOps.h"
#include "core/Texts.h"
#include "session/UDisks.h"

namespace tunecrate {

Result UnmountFloppy(const std::string& device, const std::string& mountPoint, const std::vector<MountEntry>& mounts,
                     const UDisks& udisks) {
    // First whatever the system still holds for the disk.
    FlushMountedFolder(mountPoint);
    if (Result unmounted = udisks.Unmount(DeviceMountedAt(mountPoint, mounts).value_or(device)); !unmounted.ok()) {
        return Result{Status::Failed, 0, Translated(texts::kEjectUnmountFailed, {mountPoint, unmounted.reason})};
    }
    return {};
}

Result EjectFloppy(const std::string& location, const std::vector<MountEntry>& mounts, const UDisks* udisks) {
    const std::optional<DrivePlace> drive = DriveAt(location, mounts);
    if (!drive) return Result::Refused(Translated(texts::kNotAFloppyDrive, {location}));
    const std::string& device = drive->device;
    const std::string& mountPoint = drive->mountPoint;
    if (udisks == nullptr || !udisks->Available()) {
        // Flushed, but a mounted disk stays mounted: the user finishes by hand.
        if (!mountPoint.empty()) {
            FlushMountedFolder(mountPoint);
            return Result::Refused(Translated(texts::kEjectByHand, {mountPoint}));
        }
        FlushDevice(device);
        return Result::Notice(Translated(texts::kEjectFlushedDevice, {device}));
    }
    if (!mountPoint.empty()) {
        if (Result unmounted = UnmountFloppy(device, mountPoint, mounts, *udisks); !unmounted.ok()) return unmounted;
    } else {
        FlushDevice(device);
    }
    // Unmounted and flushed: the disk is safe even when the drive stays on.
    const Result poweredOff = udisks->PowerOff(device);
    return Result::Notice(poweredOff.ok() ? Translated(texts::kEjectDone, {device})
                                          : Translated(texts::kEjectNoPowerOff, {device, poweredOff.reason}));
}

}  // namespace tunecrate
