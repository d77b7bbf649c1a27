// SPDX-License-Identifier: MIT
#include "session/Session.h"

#include "core/songs/Shelf.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "core/disk/FileOps.h"
#include "core/disk/FloppyVolume.h"
#include "core/disk/StickSlots.h"
#include "core/disk/FolderListing.h"
#include "core/disk/HeldTempFolder.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/FolderCommands.h"
#include "core/songs/FolderDrop.h"
#include "core/songs/SongDeletion.h"
#include "core/songs/SongRename.h"
#include "core/text/CommentFile.h"
#include "core/text/DragPayload.h"
#include "core/text/Encoding.h"
#include "core/text/NameOrder.h"
#include "core/text/SongNames.h"
#include "core/text/TypedText.h"
#include "core/Texts.h"
#include "session/DriveSession.h"
#include "session/UDisks.h"
#include "session/WaitCursor.h"

namespace tunecrate {

namespace {

// How often the kernel's size of the floppy's device is looked at.
constexpr int kMediumLookMs = 1000;

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

// Where a floppy the user named is read from, and its root. Decided afresh
// each time: a path that was a folder may now be an image, a drive's device
// may have been mounted (its folder is used then, never both at once). An
// image's or a device's location is its path; a folder's ends in "/".
std::pair<std::string, std::string> NamedFloppyPlace(const std::string& choice, const std::vector<MountEntry>& mounts) {
    std::string location = choice;
    if (IsBlockDevice(location)) {
        if (auto mountPoint = MountPointOf(location, mounts)) location = *mountPoint;
    }
    const bool image = IsFloppyImageFile(location) || IsBlockDevice(location) || SlotOfPath(location);
    if (!image && (location.empty() || location.back() != '/')) location += '/';
    return {location, image ? location + "/" : location};
}

}  // namespace

Session::Session(SessionOptions options, Prompters prompters, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_prompters(std::move(prompters)),
      m_floppyChoice(m_options.floppy),
      m_drive(new DriveSession(*this, m_options.mountTable, m_options.udisks,
                               [this]() -> Prompter& { return Ask(Place::Window); }, this)) {
    // A disk written, copied or ejected through the drive is read anew, whatever the mounts say.
    connect(m_drive, &DriveSession::diskChanged, this, [this] {
        m_mediumRead.clear();
        FollowMounts();
    });
    connect(m_drive, &DriveSession::copyEnded, this, [this] {
        if (m_mountsChangedMeanwhile) FollowMounts();
    });
    // A disk taken out or put in: the disk service tells at once; without it
    // the kernel's size of the device is looked at, which never spins the drive.
    if (m_options.udisks != nullptr) connect(m_options.udisks, &UDisks::mediaChanged, this, &Session::FollowMounts);
    auto* medium = new QTimer(this);
    connect(medium, &QTimer::timeout, this, &Session::FollowMedium);
    medium->start(kMediumLookMs);
}

void Session::FollowMedium() {
    // A reading under way records the medium it found.
    if (m_floppyLocation.empty() || ReadingFloppy() || !IsBlockDevice(m_floppyLocation)) return;
    if (MediumIdentity(m_floppyLocation, m_mounts) != m_mediumRead) FollowMounts();
}

Session::~Session() = default;

void Session::CancelDrop() { m_dropCancelled = true; }

class Session::MountChangeHold {
public:
    explicit MountChangeHold(Session& session) : m_session(session) { ++m_session.m_mountChangeHolds; }
    ~MountChangeHold() {
        if (--m_session.m_mountChangeHolds > 0) return;
        m_session.StartNextReading();
        if (m_session.m_mountsChangedMeanwhile) QMetaObject::invokeMethod(&m_session, &Session::FollowMounts, Qt::QueuedConnection);
    }
    MountChangeHold(const MountChangeHold&) = delete;
    MountChangeHold& operator=(const MountChangeHold&) = delete;

private:
    Session& m_session;
};

Prompter& Session::Ask(Place place) {
    auto& asker = m_askers[place];
    // Every box holds changes of mounts while it is open: the rows behind a
    // question keep showing what it asks about.
    if (!asker) {
        asker = std::make_unique<BoxWatchingPrompter>([this, place]() -> Prompter& { return m_prompters(place); },
                                                      [this](bool opened) {
                                                          if (opened) m_boxHolds.push_back(std::make_unique<MountChangeHold>(*this));
                                                          else m_boxHolds.pop_back();
                                                      });
    }
    return *asker;
}

void Session::ShowFailure(Place place, const std::string& text) {
    Ask(place).ShowMessage(text, Translated(texts::kErrorCaption), MessageIcon::None);
}

// ---- the floppy ------------------------------------------------------------

void Session::LocateFloppy() {
    const std::vector<MountEntry> mounts = m_options.mountTable();
    if (m_floppyChoice) {
        std::tie(m_floppyLocation, m_floppyRoot) = NamedFloppyPlace(*m_floppyChoice, mounts);
    } else if (auto found = FindFloppyLocation(mounts, m_options.floppyDevices)) {
        // Without a floppy now the former one is kept, as after a disk change.
        // A disk nobody mounted is used through its device, as an image is.
        m_floppyLocation = found->location;
        m_floppyRoot = found->device ? m_floppyLocation + "/" : m_floppyLocation;
    }
    m_topFolders = TopLevelFolders(mounts, m_options.home, m_floppyRoot);
    m_mounts = mounts;
}

std::unique_ptr<FloppyVolume> Session::OpenFloppy() const {
    if (m_floppyLocation.empty()) return nullptr;
    return OpenFloppyVolume(m_floppyLocation);
}

bool Session::ChangedSinceShown(const FloppyVolume* volume, Place place, bool later) {
    if (volume == nullptr || !volume->Opened().ok() || volume->Mark() == m_markRead) return false;
    const std::string text = Translated(texts::kFloppyChangedSinceShown);
    if (later) QMetaObject::invokeMethod(this, [this, place, text] { ShowFailure(place, text); }, Qt::QueuedConnection);
    else ShowFailure(place, text);
    // After any box: a reading waits for it.
    ReadFloppy(false);
    return true;
}

void Session::ReadBeside(std::optional<std::string> location, std::function<void(const FloppyReading&)> then) {
    m_readQueue.push_back({std::move(location), std::move(then), false});
    StartNextReading();
}

void Session::ReadFloppy(bool showError) {
    // Asked again before the last one started: one reading serves both.
    if (!m_readQueue.empty() && !m_readQueue.back().then) {
        m_readQueue.back().showError |= showError;
        return;
    }
    m_readQueue.push_back({std::nullopt, nullptr, showError});
    StartNextReading();
}

void Session::StartNextReading() {
    // The rows behind a box or a gesture stay what the user was shown.
    if (m_reader.Running() || m_mountChangeHolds > 0 || m_readQueue.empty()) return;
    ReadingAsked asked = std::move(m_readQueue.front());
    m_readQueue.pop_front();
    auto reading = std::make_shared<FloppyReading>();
    reading->location = asked.location.value_or(m_floppyLocation);
    m_reader.Start(
        [reading, mounts = m_mounts](BackgroundTask&) {
            // A drive takes seconds to spin up and a fifth of one for each
            // track, so the window never waits for this. Closed again at
            // once: an image stays locked while it is open.
            const auto volume = reading->location.empty() ? nullptr : OpenFloppyVolume(reading->location);
            reading->catalogue = ReadCatalogue(volume.get());
            reading->medium = MediumIdentity(reading->location, mounts);
            if (volume && volume->Opened().ok()) reading->mark = volume->Mark();
        },
        [this, reading, asked = std::move(asked)] {
            if (asked.then) asked.then(*reading);
            else TakeReading(*reading, asked.showError);
            StartNextReading();
            if (!ReadingFloppy()) emit floppyReading(false);
        });
    emit floppyReading(true);
}

void Session::TakeReading(const FloppyReading& reading, bool showError) {
    // The floppy shown changed while it was read (renamed, found elsewhere):
    // what was read is not what the window shows.
    if (reading.location != m_floppyLocation) return ReadFloppy(showError);
    const Expected<CatalogueReading>& found = reading.catalogue;
    m_slotRows = found ? found->rows : std::vector<SlotRow>{};
    m_freePercent = found ? found->FreePercent : -1;
    m_freeBytes = found ? found->FreeBytes : 0;
    m_mediumRead = reading.medium;
    m_markRead = reading.mark;
    emit floppyChanged();
    if (!found && showError) ShowFailure(Place::Window, UnreadableFloppyNotice(found.error(), m_floppyRoot));
}

bool Session::RefusedWhileReading(Place place) {
    if (!ReadingFloppy()) return false;
    ShowFailure(place, Translated(texts::kFloppyBeingRead));
    return true;
}

bool Session::Refused(FloppyUse use, Place place) {
    if (use == FloppyUse::None) return false;
    if (RefusedWhileReading(place)) return true;
    if (use == FloppyUse::Read) return false;
    // Asked of the system now, not of the last reading: the tab may have moved since.
    const Result writable = WriteProtection(m_floppyLocation);
    if (!writable.ok()) ShowFailure(place, writable.reason);
    return !writable.ok();
}

bool Session::SlotHoldsSong(int slot) const {
    // From the rows as last read: a click must not spin up the drive.
    return slot >= 0 && static_cast<std::size_t>(slot) < m_slotRows.size() &&
           m_slotRows[static_cast<std::size_t>(slot)].state != SlotState::EmptySlot;
}

std::string Session::ShownImage() const {
    // A folder location ends in "/"; an image's or a device's does not.
    const bool onImage = !m_floppyLocation.empty() && m_floppyLocation.back() != '/' && !IsBlockDevice(m_floppyLocation);
    return onImage ? m_floppyLocation : std::string();
}

std::string Session::FloppyDrive() const {
    if (m_floppyLocation.empty()) return {};
    if (IsBlockDevice(m_floppyLocation)) return m_floppyLocation;
    const bool folder = m_floppyLocation.back() == '/';
    return folder && DeviceMountedAt(m_floppyLocation, m_options.mountTable()) ? m_floppyLocation : std::string();
}

std::string Session::MediumName() const {
    if (const std::string image = ShownImage(); !image.empty()) return std::filesystem::path(image).filename().string();
    if (m_floppyLocation.empty() || IsBlockDevice(m_floppyLocation)) return m_floppyLocation;
    return DeviceMountedAt(m_floppyLocation, m_options.mountTable()).value_or(m_floppyLocation);
}

std::optional<std::string> Session::ShelfStartFolder() const {
    if (m_options.shelf) return m_options.shelf;
    if (const auto slot = SlotOfPath(ShownImage())) return slot->stick;   // a slot's shelf is its stick
    if (const std::string image = ShownImage(); !image.empty()) return std::filesystem::path(image).parent_path().string();
    const std::vector<MountEntry> mounts = m_options.mountTable();
    if (auto folder = FindShelfFolder(mounts)) return folder;
    // A factory stick has no file system to mount: its device is the shelf.
    if (const std::vector<std::string> sticks = m_options.slotSticks ? m_options.slotSticks(mounts) : std::vector<std::string>{};
        !sticks.empty()) {
        return sticks.front();
    }
    return std::nullopt;
}

std::string Session::ImageChooserFolder() const {
    const std::string image = ShownImage();
    std::string imageFolder = image.empty() ? std::string() : std::filesystem::path(image).parent_path().string();
    return imageFolder.empty() ? m_options.workingDirectory : imageFolder;
}

void Session::FirstFill() {
    LocateFloppy();
    emit foldersReset(m_options.workingDirectory);
    // A floppy found may be absent quietly; one the user named says why it cannot be read.
    ReadFloppy(m_floppyChoice.has_value());
}

void Session::Reload() {
    LocateFloppy();
    emit foldersReset(m_options.workingDirectory);
    ReadFloppy(true);
}

void Session::UseImage(const std::string& path, Place place) {
    if (path.empty()) return;
    // An image that cannot be read leaves the floppy shown as it was, and the user learns why.
    ShowFirstReadable({path}, [this, place](const std::string& notice) { ShowFailure(place, notice); });
}

void Session::ShowFirstReadable(std::vector<std::string> paths, std::function<void(const std::string&)> noneReadable) {
    if (paths.empty()) return;
    const auto [location, root] = NamedFloppyPlace(paths.front(), m_options.mountTable());
    ReadBeside(location, [this, paths = std::move(paths), root, noneReadable = std::move(noneReadable)](const FloppyReading& reading) {
        if (!reading.catalogue) {
            if (paths.size() > 1) return ShowFirstReadable({paths.begin() + 1, paths.end()}, noneReadable);
            if (noneReadable) noneReadable(UnreadableFloppyNotice(reading.catalogue.error(), root));
            return;
        }
        const std::vector<std::string> topBefore = m_topFolders;
        m_floppyChoice = paths.front();
        LocateFloppy();
        // The tree stays where the user is.
        if (m_topFolders != topBefore) emit foldersReset(m_folder.empty() ? m_options.workingDirectory : m_folder);
        TakeReading(reading, true);
    });
}

void Session::StepImage(int step) {
    const std::filesystem::path shown = ShownImage();
    const std::string folder = shown.parent_path().string();
    const auto entries = shown.empty() ? std::nullopt : ListShelfEntries(folder);
    if (!entries) return;
    const auto here = std::find_if(entries->begin(), entries->end(), [&](const ShelfEntry& entry) { return entry.file == shown.filename(); });
    // Those that cannot be read are passed over.
    std::vector<std::string> further;
    for (auto i = here - entries->begin() + step; here != entries->end() && i >= 0 && i < std::ssize(*entries); i += step) {
        const ShelfEntry& entry = (*entries)[static_cast<std::size_t>(i)];
        if (entry.IsImage()) further.push_back(JoinPath(folder, entry.file));
    }
    ShowFirstReadable(std::move(further), {});
}

void Session::UseFloppyDrive() {
    // From an image opened since, back first to the floppy named at the start:
    // that choice is not forgotten on the way to the drive.
    if (m_options.floppy && m_floppyChoice != m_options.floppy) {
        m_floppyChoice = m_options.floppy;
        Reload();
        return;
    }
    m_floppyChoice.reset();
    // The named floppy is no stand-in for a drive without a disk: none is kept.
    m_floppyRoot.clear();
    m_floppyLocation.clear();
    Reload();
}

// ---- the hard disk ---------------------------------------------------------

std::vector<std::string> Session::Subfolders(const std::string& folder) const {
    std::vector<std::string> names = ListSubfolders(folder, m_hiddenFoldersShown);
    SortNames(names);
    return names;
}

bool Session::HasSubfolders(const std::string& folder) const { return HasContent(folder, true, m_hiddenFoldersShown); }

bool Session::IsFolder(const std::string& path) const { return tunecrate::IsFolder(path); }

void Session::ShowFolder(const std::string& folder) {
    m_folder = folder;
    RefreshSongs();
}

void Session::RefreshSongs() {
    m_songs = std::make_shared<std::vector<HardDiskRow>>(ListFolderSongs(m_folder));
    emit songsChanged();
}

// ---- titles and comments ---------------------------------------------------

Result Session::EditSlot(int slot, int column, const TypedText& typed, const QString& shown) {
    if (slot < 0 || slot >= static_cast<int>(m_slotRows.size())) return {};
    if (!typed.result.ok()) {
        ShowFailure(Place::FloppyList, typed.result.reason);
        return typed.result;
    }
    if (RefusedWhileReading(Place::FloppyList)) return Result::Refused(Translated(texts::kFloppyBeingRead));
    if (Refused(FloppyUse::Write, Place::FloppyList)) return {};
    SlotText change{slot, std::nullopt, std::nullopt};
    // A comment is stored cut on a whole character; the list shows it whole until the next reading.
    if (column == 1) change.title = typed.text;
    if (column == 3) change.comment = std::string(CutToWholeCharacters(typed.text, kCatalogueLineBytes));
    Result result;
    if (auto volume = OpenFloppy()) {
        if (ChangedSinceShown(volume.get(), Place::FloppyList)) return {};
        result = EditSlotText(*volume, m_slotRows, change);
    } else {
        result = Result::Refused(UnreadableFloppyMessage(m_floppyRoot));
    }
    if (result.ok() && result.reason.empty()) {
        // The rows are read again for what the floppy now holds (trimmed,
        // cut), so that the next edit finds the floppy as the window last saw
        // it; the cell shows the text as typed meanwhile.
        ReadFloppy(false);
        emit slotTextChanged(slot, column, shown);
        return {};
    }
    // The list shows again what the disk holds, then the user learns why.
    ReadFloppy(false);
    ShowFailure(Place::FloppyList, result.reason);
    return {};
}

Result Session::EditSlotTitle(int slot, const QString& typed) {
    const TypedText title = FloppyTitleFrom(Utf8(typed));
    return EditSlot(slot, 1, title, QString::fromStdString(Cp932ToUtf8(title.text)));
}

Result Session::EditSlotComment(int slot, const QString& typed) {
    return EditSlot(slot, 3, CommentFrom(Utf8(typed)), QString::fromStdString(OneLine(Utf8(typed))));
}

void Session::RenameSong(const std::string& title, const QString& typed) {
    const TypedText newTitle = HardDiskTitleFrom(Utf8(typed));
    Result result = newTitle.result;
    if (result.ok()) result = RenameHardDiskSong(m_folder, title, newTitle.text);
    if (!result.ok()) {
        ShowFailure(Place::HardDiskList, result.reason);
        return;
    }
    // The row stays where it is; the next listing sorts it.
    for (HardDiskRow& row : *m_songs) {
        if (row.title == title) row.title = newTitle.text;
    }
    emit songTitleChanged(title, newTitle.text);
}

void Session::SetSongComment(const std::string& title, const QString& typed) {
    const TypedText comment = CommentFrom(Utf8(typed));
    if (!comment.result.ok()) {
        ShowFailure(Place::HardDiskList, comment.result.reason);
        return;
    }
    auto real = FindWithExtensionNoCase(m_folder, title, kCommentExtension);
    const std::string path = JoinPath(m_folder, real ? *real : title + std::string(kCommentExtension));
    const Result written = WriteCommentFile(path, comment.text);
    if (!written.ok()) {
        ShowFailure(Place::HardDiskList, Translated(texts::kCannotWrite, {path, written.reason}));
        emit songCommentChanged(title, QString::fromStdString(Cp932ToUtf8(ReadCommentFile(path))));
        return;
    }
    emit songCommentChanged(title, QString::fromStdString(OneLine(Utf8(typed))));
}

// ---- deleting --------------------------------------------------------------

void Session::DeleteSlots(const std::vector<int>& chosen) {
    // The deletion acts on the rows the user confirmed: a change of mounts
    // waits until it is over, and the disk is checked against these rows.
    // Nothing selected: nothing to confirm.
    if (chosen.empty() || Refused(FloppyUse::Write, Place::FloppyList)) return;
    MountChangeHold hold(*this);
    const std::vector<SlotRow> shown = m_slotRows;
    const std::string question = tr("%n個の項目を削除しますか？", nullptr, static_cast<int>(chosen.size())).toStdString();
    if (!Ask(Place::FloppyList).AskYesNo(question, Translated(texts::kConfirmCaption))) return;
    Result result = Result::Refused(UnreadableFloppyMessage(m_floppyRoot));
    auto volume = OpenFloppy();
    if (ChangedSinceShown(volume.get(), Place::FloppyList)) return;
    if (volume) result = DeleteFloppySlots(*volume, shown, chosen);
    if (!result.reason.empty()) ShowFailure(Place::FloppyList, result.reason);   // a failure, or done with a notice
    ReadFloppy(true);
}

void Session::DeleteSongs(const std::vector<std::string>& titles) {
    if (titles.empty()) return;
    MountChangeHold hold(*this);
    const std::string folder = m_folder;   // the folder whose songs the user confirmed
    const std::string question = tr("%n個の項目を削除しますか？", nullptr, static_cast<int>(titles.size())).toStdString();
    if (!Ask(Place::HardDiskList).AskYesNo(question, Translated(texts::kConfirmCaption))) return;
    if (const Result result = DeleteHardDiskSongs(folder, titles); !result.reason.empty()) {
        ShowFailure(Place::HardDiskList, result.reason);
    }
    RefreshSongs();
}

// ---- dragging and dropping -------------------------------------------------

std::optional<std::string> Session::SongsPayload(const std::vector<std::string>& titles) {
    std::vector<std::string> items;
    for (const std::string& title : titles) {
        // A name from Windows in Shift-JIS travels as the text it shows as.
        const std::string item = JoinPath(m_folder, FileNameText(title));
        if (!CanTravelInPayload(item)) {
            ShowFailure(Place::HardDiskList, CannotDragMessage(item));
            return std::nullopt;
        }
        items.push_back(item);
    }
    return BuildPayload(kHardDiskType, items);
}

std::optional<std::string> Session::SlotsPayload(const std::vector<int>& chosen) {
    // The slots' rows may be about to change.
    if (RefusedWhileReading(Place::FloppyList)) return std::nullopt;
    std::vector<std::string> items;
    for (int slot : SlotsWithSongs(m_slotRows, chosen)) items.push_back(std::to_string(slot));
    return BuildPayload(kFloppyType, items);
}

std::vector<std::string> Session::SongFiles(const std::vector<std::string>& titles) const {
    std::vector<std::string> files;
    for (const std::string& title : titles) {
        for (std::string_view extension : {kSongExtension, kEventsExtension, kCommentExtension}) {
            if (auto name = FindWithExtensionNoCase(m_folder, title, extension)) files.push_back(JoinPath(m_folder, *name));
        }
    }
    return files;
}

std::vector<std::string> Session::SlotFilesForDrag(const std::vector<int>& chosen) {
    const std::vector<int> withSongs = SlotsWithSongs(m_slotRows, chosen);
    if (withSongs.empty()) return {};
    // A reading began during the drag: the other program gets nothing, and
    // the user learns why once the drag is over.
    if (ReadingFloppy()) {
        QMetaObject::invokeMethod(this, [this] { ShowFailure(Place::FloppyList, Translated(texts::kFloppyBeingRead)); },
                                  Qt::QueuedConnection);
        return {};
    }
    // One private folder for the session, removed with it: the program that
    // took the drop may still be copying after the drag has ended.
    // Held while the session lives, so that a later start leaves it alone.
    if (!m_dragFolder) m_dragFolder = std::make_unique<HeldTempFolder>(QFile::encodeName(QDir::tempPath()).toStdString());
    // A folder per drag, so that no copy meets an earlier one's names.
    const auto made = m_dragFolder->MakeSubfolder(std::to_string(++m_drags));
    if (!made) return {};
    const std::string& folder = *made;
    {
        WaitCursor wait;
        auto floppy = OpenFloppy();
        if (ChangedSinceShown(floppy.get(), Place::FloppyList, true)) return {};
        std::vector<SlotRow> rows = m_slotRows;
        // Nobody can answer during a drag to another program: no question is
        // answered yes, no message is shown.
        DecliningPrompter quiet;
        DropContext context{floppy.get(), rows, quiet, false};
        tunecrate::DropIntoFolder(context, folder, SongsOnFloppy{nullptr, withSongs});
    }
    std::vector<std::string> files = ListFiles(folder).value_or(std::vector<std::string>{});
    std::sort(files.begin(), files.end());
    for (std::string& file : files) file = JoinPath(folder, file);
    return files;
}

void Session::RunDrop(Place place, bool move, FloppyUse use, const std::function<DropResult(DropContext&)>& drop) {
    if (Refused(use, place)) return;
    DropResult result;
    {
        MountChangeHold hold(*this);
        WaitCursor wait;
        // Opening a floppy in a drive reads it: only for a drop that needs it.
        auto floppy = use != FloppyUse::None ? OpenFloppy() : nullptr;
        if (ChangedSinceShown(floppy.get(), place)) return;
        DropContext context{floppy.get(), m_slotRows, Ask(place), move};
        m_dropCancelled = false;
        std::size_t stoppedOf = 0;   // the drop's songs, when the user stopped it
        context.progress = [this, &stoppedOf](std::size_t done, std::size_t total) {
            emit dropProgress(static_cast<int>(done), static_cast<int>(total));
            if (m_dropCancelled) stoppedOf = total;
            return !m_dropCancelled;
        };
        result = drop(context);
        emit dropProgress(-1, -1);
        // Stopped half-way: the user learns how far it came.
        if (stoppedOf > 0) {
            Ask(place).ShowMessage(Translated(texts::kDropStoppedByUser, {std::to_string(stoppedOf), std::to_string(context.arrived)}),
                                   "Tunecrate", MessageIcon::None);
        }
    }
    if (result.refillHardDiskList) RefreshSongs();
    if (result.rereadFloppy) ReadFloppy(true);
}

void Session::DropOntoFloppyList(std::optional<int> slot, bool move, const SongSource& songs) {
    RunDrop(Place::FloppyList, move, FloppyUse::Write,
            [&](DropContext& context) { return tunecrate::DropOntoFloppyList(context, slot, songs); });
}

Session::FloppyUse Session::FloppyUseOf(bool move, const SongSource& songs) {
    // A move takes the songs off the floppy.
    if (!std::holds_alternative<SongsOnFloppy>(songs)) return FloppyUse::None;
    return move ? FloppyUse::Write : FloppyUse::Read;
}

void Session::DropOntoHardDiskList(bool move, const SongSource& songs) {
    RunDrop(Place::HardDiskList, move, FloppyUseOf(move, songs),
            [&](DropContext& context) { return tunecrate::DropOntoHardDiskList(context, m_folder, songs); });
}

void Session::DropIntoFolder(const std::string& folder, bool move, const SongSource& songs) {
    RunDrop(Place::FolderTree, move, FloppyUseOf(move, songs),
            [&](DropContext& context) { return tunecrate::DropIntoFolder(context, folder, songs); });
}

// ---- mounts ----------------------------------------------------------------

void Session::FollowMounts() {
    if (m_mountChangeHolds > 0 || m_drive->Copying()) {
        m_mountsChangedMeanwhile = true;
        return;
    }
    m_mountsChangedMeanwhile = false;
    const std::vector<std::string> topBefore = m_topFolders;
    LocateFloppy();
    if (m_topFolders != topBefore) emit foldersReset(m_folder.empty() ? m_options.workingDirectory : m_folder);
    // Read again only when the floppy's own medium or mount changed (another
    // disk mounted where the last one was, too): on a busy desktop mounts
    // change all the time, and each reading spins a drive up.
    if (MediumIdentity(m_floppyLocation, m_mounts) != m_mediumRead) ReadFloppy(false);
}

// ---- the shelf -------------------------------------------------------------

void Session::FollowImageWrite(const std::string& image) {
    if (!ShownImage().empty() && SameFile(image, ShownImage())) ReadFloppy(false);
}

void Session::FollowImageRename(const std::string& from, const std::string& to) {
    // The same floppy under a new name: nothing to read, only where it is.
    // The old name is gone, so paths are compared, not files.
    const auto normal = [](const std::string& path) { return std::filesystem::absolute(path).lexically_normal(); };
    if (!m_floppyChoice || normal(*m_floppyChoice) != normal(from)) return;
    m_floppyChoice = to;
    LocateFloppy();
    emit floppyChanged();
}

void Session::FollowImageRenames(const std::vector<std::pair<std::string, std::string>>& renames) {
    if (!m_floppyChoice) return;
    const auto normal = [](const std::string& path) { return std::filesystem::absolute(path).lexically_normal(); };
    std::filesystem::path at = normal(*m_floppyChoice);
    const std::filesystem::path was = at;
    for (const auto& [from, to] : renames) {
        if (normal(from) == at) at = normal(to);
    }
    if (at != was) FollowImageRename(*m_floppyChoice, at.string());
}

void Session::FollowSongsMoved(const SongSource& songs) {
    if (std::holds_alternative<SongsOnFloppy>(songs)) {
        ReadFloppy(false);
        return;
    }
    const auto& moved = std::get<SongsOnHardDisk>(songs).songs;
    if (std::any_of(moved.begin(), moved.end(), [this](const HardDiskItem& song) { return song.folder == m_folder; })) RefreshSongs();
}

// ---- folders ---------------------------------------------------------------

void Session::MakeFolder(const std::string& parent) {
    if (parent.empty()) return;
    if (const Result made = MakeNewFolder(parent); !made.ok()) {
        ShowFailure(Place::FolderTree, made.reason);
        return;
    }
    emit folderToSelect(NewFolderPath(parent));
}

Result Session::RenameFolder(const std::string& folder, const std::string& newName) {
    const Result renamed = tunecrate::RenameFolder(folder, newName);
    if (!renamed.ok()) ShowFailure(Place::FolderTree, renamed.reason);
    return renamed;
}

void Session::DeleteFolder(const std::string& folder) {
    // The top-level folders, home among them, and every folder holding one stay.
    std::vector<std::string> kept = m_topFolders;
    kept.push_back(m_options.home);
    // Refused before the question, so that no one confirms what cannot happen.
    if (const Result refused = CheckFolderDeletion(folder, kept); !refused.ok()) {
        ShowFailure(Place::FolderTree, refused.reason);
        return;
    }
    // The folders kept are those the user saw: a change of mounts waits.
    MountChangeHold hold(*this);
    if (!Ask(Place::FolderTree).AskOkCancel(DeleteFolderQuestion(folder), Translated(texts::kNoticeCaption))) return;
    Result deleted;
    {
        WaitCursor wait;
        deleted = DeleteFolderTree(folder, kept);
    }
    if (!deleted.ok()) ShowFailure(Place::FolderTree, deleted.reason);
    emit folderToSelect(m_options.workingDirectory);
}

}  // namespace tunecrate
