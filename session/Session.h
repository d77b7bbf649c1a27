// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Result.h"
#include "core/songs/Shelf.h"
#include "core/disk/BlockDevice.h"
#include "core/disk/FloppyFinder.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/HardDiskSongs.h"
#include "core/songs/Prompter.h"
#include "core/songs/SlotRow.h"
#include "core/songs/SongSource.h"
#include "session/BackgroundTask.h"


namespace tunecrate {

class DriveSession;
class FloppyVolume;
class HeldTempFolder;
class UDisks;
struct DropContext;
struct DropResult;
struct TypedText;

// What a session starts with.
struct SessionOptions {
    std::optional<std::string> floppy;   // --floppy, a folder or an image file: wins over detection
    std::string workingDirectory;        // the first hard-disk folder
    std::string home;                    // the home folder at the top of the tree
    std::optional<std::string> shelf;    // --shelf: the folder the shelf window opens on at the start
    std::function<std::vector<MountEntry>()> mountTable = ReadMountTable;
    // Unmounted 1.44 MB removable disks, when no mounted floppy is found.
    FloppyDeviceFinder floppyDevices = [](const std::vector<MountEntry>& mounts) { return FindFloppyDevices(mounts); };
    // Unmounted factory sticks, for the shelf when no mounted stick holds images.
    FloppyDeviceFinder slotSticks = [](const std::vector<MountEntry>& mounts) { return FindSlotSticks(mounts); };
    // The desktop's disk service, for ejecting and unmounting; none in most tests.
    const UDisks* udisks = nullptr;
};

// The part of the window where a gesture happened; its questions and
// messages belong to it.
enum class Place { Window, FolderTree, HardDiskList, FloppyList, Shelf };

// The work of one window: which floppy it shows and its five slot rows (the
// only catalogue in memory), the hard-disk folder it shows and its songs. It
// offers one method per user gesture, each running the core's operations,
// asking and telling the user through the prompter of the place where the
// gesture happened, and reporting what changed through its signals.
class Session : public QObject {
    Q_OBJECT
public:
    using Prompters = std::function<Prompter&(Place)>;

    Session(SessionOptions options, Prompters prompters, QObject* parent = nullptr);
    ~Session() override;

    // While one lives, a change of mounts waits; then it is taken up. Held
    // over every box, drop and deletion, so that a gesture acts on what the
    // user was shown.
    class MountChangeHold;

    // ---- what the window shows ----
    const std::string& FloppyRoot() const { return m_floppyRoot; }
    // What the floppy is opened from: an image's path, or a folder with a final "/".
    const std::string& FloppyLocation() const { return m_floppyLocation; }
    const std::vector<SlotRow>& SlotRows() const { return m_slotRows; }
    int FreePercent() const { return m_freePercent; }
    std::int64_t FreeBytes() const { return m_freeBytes; }
    // Shared: the list keeps the rows it shows until it shows the next ones.
    std::shared_ptr<const std::vector<HardDiskRow>> FolderSongs() const { return m_songs; }
    const std::string& ShownFolder() const { return m_folder; }   // whose songs FolderSongs are
    const std::string& WorkingDirectory() const { return m_options.workingDirectory; }
    const std::string& HomeFolder() const { return m_options.home; }
    const UDisks* DiskService() const { return m_options.udisks; }
    // The tree's top-level folders: the root, home, the mounted volumes.
    const std::vector<std::string>& TopFolders() const { return m_topFolders; }
    // Subfolders in name order; hidden ones (".name") only while they are shown.
    std::vector<std::string> Subfolders(const std::string& folder) const;
    bool HasSubfolders(const std::string& folder) const;
    void ShowHiddenFolders(bool shown) { m_hiddenFoldersShown = shown; }
    bool HiddenFoldersShown() const { return m_hiddenFoldersShown; }
    bool IsFolder(const std::string& path) const;
    // Whether the floppy was named (--floppy or an opened image) rather than found.
    bool HasFloppyChoice() const { return m_floppyChoice.has_value(); }
    // Where the image chooser starts: the current image's folder, else the working folder.
    std::string ImageChooserFolder() const;
    // The image the window shows; empty when the floppy is a folder or a drive.
    std::string ShownImage() const;
    // The floppy drive the window shows: a drive's device used without
    // mounting, or a mounted floppy's folder; empty for an image or a plain folder.
    std::string FloppyDrive() const;
    // What the floppy is, for the window to name it: the image's file name,
    // the drive's device, or the folder standing in for a floppy; empty for none.
    std::string MediumName() const;
    // Where the shelf opens: --shelf, else the shown image's folder, else the
    // first mounted removable volume holding images; nullopt: ask the user.
    std::optional<std::string> ShelfStartFolder() const;
    // Whether the slot's row shows a song (the rows as last read).
    bool SlotHoldsSong(int slot) const;
    // The floppy is being read beside the window (or a reading waits to
    // start): the rows are still those of the last reading, and a gesture
    // that needs the floppy is refused until it ends.
    bool ReadingFloppy() const { return m_reader.Running() || !m_readQueue.empty(); }

    // ---- gestures ----
    // The first fill is silent about a floppy it looks for, not one the user
    // named; the reload button reports an unreadable floppy.
    void FirstFill();
    void Reload();
    // An image that cannot be read is not taken: the floppy shown stays, and `place` says why.
    void UseImage(const std::string& path, Place place = Place::Window);
    void UseFloppyDrive();
    // Shows the next (`step` 1) or previous (-1) image of the shown image's
    // folder in the shelf's order, passing over those that cannot be read.
    void StepImage(int step);
    void ShowFolder(const std::string& folder);
    // The typed title's own refusal (too long, say), once shown, so that the
    // editor opens again on what was typed; ok otherwise, a failure of the
    // floppy's included (shown, and the rows read again).
    // Refused the same way while the floppy is being read.
    Result EditSlotTitle(int slot, const QString& typed);
    Result EditSlotComment(int slot, const QString& typed);
    void RenameSong(const std::string& title, const QString& typed);
    void SetSongComment(const std::string& title, const QString& typed);
    // Ask first; nothing selected asks nothing.
    void DeleteSlots(const std::vector<int>& chosen);
    void DeleteSongs(const std::vector<std::string>& titles);
    // The payload of a drag, or nothing (the user was told why) when none may start.
    std::optional<std::string> SongsPayload(const std::vector<std::string>& titles);
    std::optional<std::string> SlotsPayload(const std::vector<int>& chosen);
    // What a drag out to other programs carries: the files of hard-disk
    // songs as they are named, or copies of floppy songs named as a drop onto
    // a folder names them, in a private folder that lives as long as the session.
    std::vector<std::string> SongFiles(const std::vector<std::string>& titles) const;
    std::vector<std::string> SlotFilesForDrag(const std::vector<int>& chosen);
    // The drops. Floppy songs are the session's floppy's.
    void DropOntoFloppyList(std::optional<int> slot, bool move, const SongSource& songs);
    void DropOntoHardDiskList(bool move, const SongSource& songs);
    void DropIntoFolder(const std::string& folder, bool move, const SongSource& songs);
    void MakeFolder(const std::string& parent);
    // How the rename ended (a failure has been shown); an empty name renames nothing.
    Result RenameFolder(const std::string& folder, const std::string& newName);
    void DeleteFolder(const std::string& folder);
    // Stops the running drop before its next song.
    void CancelDrop();
    // The floppy drive's own work: whole-disk copies and ejecting.
    DriveSession& DriveWork() { return *m_drive; }
    // A file system was mounted or unmounted, or a disk came or went: the
    // floppy and the tree's top folders are found and read anew.
    void FollowMounts();
    // The shelf changed images or moved songs: only what the window shows of
    // them is read again, the floppy when it is that image, the song list
    // when the songs left its folder; the tree never.
    void FollowImageWrite(const std::string& image);
    void FollowImageRename(const std::string& from, const std::string& to);
    // The renames of one gesture, in the order made: the shown image follows
    // its own chain of them (a swap renames a to b and b to a).
    void FollowImageRenames(const std::vector<std::pair<std::string, std::string>>& renames);
    void FollowSongsMoved(const SongSource& songs);

signals:
    // Before each song of a drop: `done` of `total` songs are through; -1 when the drop has ended.
    void dropProgress(int done, int total);
    void floppyChanged();                       // rows, free space and root read anew
    // A reading of the floppy began (true), or the last one waiting has ended (false).
    void floppyReading(bool reading);
    void songsChanged();                        // the hard-disk folder's songs listed anew
    void foldersReset(const std::string& select);   // top-level folders anew; open and select `select`
    void folderToSelect(const std::string& path);    // open the tree down to `path` and select it
    void slotTextChanged(int slot, int column, const QString& shown);
    void songTitleChanged(const std::string& oldTitle, const std::string& newTitle);
    void songCommentChanged(const std::string& title, const QString& shown);

private:
    // The prompter of a place, holding changes of mounts while a box is open.
    Prompter& Ask(Place place);
    std::unique_ptr<FloppyVolume> OpenFloppy() const;
    // True, with the user told (now, or once a drag is over when `later`) and
    // the floppy read again, when `volume` opened on another disk than the
    // rows shown were read from: a swapped disk, or one rewritten elsewhere.
    bool ChangedSinceShown(const FloppyVolume* volume, Place place, bool later = false);
    // Reads the floppy again when its medium changed (size, mount), as the
    // kernel or the disk service tell it, without touching the drive.
    void FollowMedium();
    void LocateFloppy();
    // What one reading of the floppy found, on the reading's thread.
    struct FloppyReading {
        std::string location;   // what was read
        Expected<CatalogueReading> catalogue = Result::Refused({});
        std::string medium;     // its MediumIdentity
        std::string mark;       // the disk's Mark, when it opened
    };
    // Reads `location` (none: the floppy shown when the reading starts)
    // beside the window: one reading at a time, in the order asked, none
    // while a box is open. `then` gets what it found, on the window's thread.
    void ReadBeside(std::optional<std::string> location, std::function<void(const FloppyReading&)> then);
    void StartNextReading();
    // The rows and free space of a reading of the floppy shown, told to the
    // window; a failure is shown when `showError`.
    void TakeReading(const FloppyReading& reading, bool showError);
    void ReadFloppy(bool showError);
    // Shows the first of `paths` that a reading finds a floppy in; the floppy
    // shown stays when none is, and `noneReadable` gets why the last one is not.
    void ShowFirstReadable(std::vector<std::string> paths, std::function<void(const std::string& notice)> noneReadable);
    // True, with the user told why, while the floppy is being read.
    bool RefusedWhileReading(Place place);
    // How a gesture uses the floppy: it waits for no reading, and one that
    // writes is refused before any question when the floppy cannot be written.
    enum class FloppyUse { None, Read, Write };
    bool Refused(FloppyUse use, Place place);
    // A drop onto the hard disk: only floppy songs use the floppy.
    static FloppyUse FloppyUseOf(bool move, const SongSource& songs);
    void RefreshSongs();
    Result EditSlot(int slot, int column, const TypedText& typed, const QString& shown);
    void RunDrop(Place place, bool move, FloppyUse use, const std::function<DropResult(DropContext&)>& drop);
    void ShowFailure(Place place, const std::string& text);

    SessionOptions m_options;
    Prompters m_prompters;
    // The floppy named by --floppy or the menu, until "back to the drive".
    std::optional<std::string> m_floppyChoice;
    // What OpenFloppyVolume gets: an image's path, or a folder with a final "/".
    std::string m_floppyLocation;
    std::string m_floppyRoot;
    std::vector<SlotRow> m_slotRows;
    int m_freePercent = -1;
    std::int64_t m_freeBytes = 0;
    std::vector<std::string> m_topFolders;
    std::vector<MountEntry> m_mounts;   // as last read
    std::string m_mediumRead;   // the floppy's medium when its rows were read
    std::string m_markRead;     // and the disk's mark
    std::map<Place, std::unique_ptr<Prompter>> m_askers;
    std::vector<std::unique_ptr<MountChangeHold>> m_boxHolds;   // one per box open, nested
    std::string m_folder;
    bool m_hiddenFoldersShown = false;
    std::shared_ptr<std::vector<HardDiskRow>> m_songs = std::make_shared<std::vector<HardDiskRow>>();
    std::unique_ptr<HeldTempFolder> m_dragFolder;
    int m_drags = 0;
    bool m_dropCancelled = false;
    DriveSession* m_drive;
    // A drop is running: a change of mounts waits for its end, as during a disk copy.
    int m_mountChangeHolds = 0;
    bool m_mountsChangedMeanwhile = false;
    // The readings asked for and not yet started; a plain reading asked
    // twice in a row is read once.
    struct ReadingAsked {
        std::optional<std::string> location;
        std::function<void(const FloppyReading&)> then;   // none: a ReadFloppy, which TakeReading ends
        bool showError = false;
    };
    std::deque<ReadingAsked> m_readQueue;
    BackgroundTask m_reader;   // last: a reading under way ends before the rest goes
};

}  // namespace tunecrate
