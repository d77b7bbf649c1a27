// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/songs/Prompter.h"
#include "core/songs/Shelf.h"
#include "core/songs/ShelfDuplicates.h"
#include "core/songs/ShelfImages.h"
#include "core/songs/StickConvert.h"
#include "session/BackgroundTask.h"
#include "core/songs/SongSource.h"

class QFileSystemWatcher;

namespace tunecrate {

// The work of the shelf window: a folder of floppy images, one row per image.
// The folder is listed at once and every row shows its file name; the images
// are read on a thread of their own, row by row, so that a large folder shows
// its first rows at once and the window stays responsive. Changes made to the
// folder from outside (an image added, removed or written) are followed.
class ShelfSession : public QObject {
    Q_OBJECT
public:
    using PrompterFor = std::function<Prompter&()>;

    // `mainFloppy` tells where the floppy of the main window is, for floppy songs dropped on a row.
    ShelfSession(PrompterFor prompter, std::function<std::string()> mainFloppy, QObject* parent = nullptr);
    ~ShelfSession() override;

    // ---- what the window shows ----
    const std::string& ShelfFolder() const { return m_folder; }
    // A factory stick (a device or a dump of one): the rows are its slots.
    bool ShowsStick() const { return m_stick; }
    const std::vector<ShelfRow>& ImageRows() const { return m_rows; }
    bool IsRead(int row) const;
    int RowsRead() const { return m_rowsRead; }
    // The songs of every row compared by content, once all rows are read: a
    // second pass of the reading thread. Empty until every row is hashed.
    const std::vector<ShelfCopies>& Copies() const { return m_copies; }
    int RowsHashed() const { return m_rowsHashed; }
    std::string PathOf(int row) const;
    int RowOf(const std::string& path) const;   // -1 when no row shows it
    // Which rows and slots the search finds (width and case do not matter),
    // one hit per row; every row while no text is searched for.
    const std::vector<ShelfHit>& Hits() const { return m_hits; }
    bool Searching() const { return !m_query.trimmed().isEmpty(); }
    int Matches() const { return Searching() ? m_matches : 0; }   // what the search counts: MatchCount

    // ---- gestures ----
    void OpenFolder(const std::string& folder);
    // The text searched for. The whole shelf is searched now; a row read
    // later is searched alone as it comes.
    void SetSearch(const QString& query);
    void Reload();
    // What the main window wrote into the image it shows. A folder's images
    // are watched as files; a stick's slots are no files, so its row is read
    // again from here.
    void FollowSlotWrite(const std::string& image);
    void MakeImages(int count, NewNumbers numbers = NewNumbers::AfterHighest);
    // Other shelves to open or copy to: the factory sticks found, and the
    // first removable volume that holds images.
    std::vector<std::string> ShelfCandidates() const;
    // The removable disks a folder could be laid out on as a factory stick.
    std::vector<std::string> StickDevices() const;
    // The highest number an image may take here (a stick's last slot, or 0999).
    int HighestNumber() const;
    // ---- the images as wholes; each asks first where something is lost or moved ----
    // Deletes the rows' images after a question that names them: to the
    // desktop's trash, or on a stick, the slots made unused.
    void RemoveImages(const std::vector<int>& rows);
    // The row's image to `number`: a free one, or, after a question, the
    // number of another image, which takes this one's.
    void RenumberImage(int row, int number);
    // After a question: the images down to the lowest free numbers, in order.
    void CloseGaps();
    // The row's image copied whole to a shelf (this one or another), at
    // `number` or at the number `numbers` gives.
    void CopyImage(int row, const std::string& toShelf, std::optional<int> number, NewNumbers numbers);
    // Images of other shelves dropped on this one ("folder/DSKA0003.IMG",
    // "stick@7"): each copied to the next free number.
    void TakeImages(const std::vector<std::string>& paths, NewNumbers numbers);
    // The stick shown, its used slots as numbered images into `folder`.
    void ConvertToFolder(const std::string& folder);
    // The folder shown laid out as slots on `stick`, after the question a
    // restore asks: everything on it is lost.
    void ConvertToStick(const std::string& stick);
    // How labelling ended (a failure has been shown).
    Result LabelImage(int row, const QString& label);
    // Songs of the hard disk or of the main window's floppy dropped on a row: into that image's free slots.
    void DropOnto(int row, bool move, const SongSource& songs);
    // How writing the list ended (a failure has been shown). A name without
    // the kind's extension (.csv, .txt) gets it.
    Result SaveList(const std::string& path, bool csv);
    // Where the list is offered to go: the shelf's folder, named after it.
    std::string DefaultListPath() const;

signals:
    void rowsReset();          // a new listing: every row anew, most not read yet
    void rowRead(int row);     // a row's image has been read
    void readingDone();
    void copiesFound();        // Copies() anew: every row's songs compared
    void searchChanged();      // every row's hit anew (a new listing comes with rowsReset, a row read with rowRead)
    // What a gesture changed, for the main window to read again only that.
    void imageWritten(const std::string& path);                      // songs went into this image
    // Images renamed or moved to other numbers, in the order done.
    void imagesRenamed(const std::vector<std::pair<std::string, std::string>>& renames);
    void songsMovedOff(const SongSource& songs);                     // a move took these off their medium

private:
    class Hold;
    void StartReading(std::vector<int> rows);
    void StopReading();
    void Relist();
    void TakeRow(unsigned generation, int row, const ShelfRow& read);
    void TakeHashes(unsigned generation, int row, const std::string& file, const FloppySongHashes& hashes);
    void SearchAll();
    void ShowFailure(const std::string& text);
    void ShowOutcome(const ImagesOutcome& done);
    void ShowConversion(const StickConversion& done);
    bool ValidRow(int row) const { return row >= 0 && static_cast<std::size_t>(row) < m_rows.size(); }

    PrompterFor m_prompter;
    std::unique_ptr<Prompter> m_asker;   // m_prompter's, holding the listing while a box is open
    // A gesture or a box is open: the folder is listed anew only after it, so
    // that the rows it acts on are the rows the user chose.
    int m_holds = 0;
    bool m_relistWanted = false;
    std::vector<std::unique_ptr<Hold>> m_boxHolds;   // one per box open, nested
    std::function<std::string()> m_mainFloppy;
    std::string m_folder;
    bool m_stick = false;
    std::shared_ptr<const void> m_stickHold;   // the stick held while the shelf shows it
    std::vector<ShelfRow> m_rows;
    std::vector<ShelfEntry> m_entries;   // per row: an entry that is no image is never opened
    std::vector<ShelfKeys> m_keys;
    std::vector<bool> m_keyed;   // the row's keys are made (they are only while something is searched)
    QString m_query;
    std::string m_key;   // m_query in search form
    std::vector<ShelfHit> m_hits;
    int m_matches = 0;   // of every row's hits
    std::vector<bool> m_read;
    int m_rowsRead = 0;
    std::vector<FloppySongHashes> m_hashes;   // per row, once hashed
    std::vector<bool> m_hashed;
    int m_rowsHashed = 0;
    std::vector<ShelfCopies> m_copies;
    QFileSystemWatcher* m_watcher = nullptr;   // the folder
    std::vector<QFileSystemWatcher*> m_fileWatchers;   // its images, a few hundred each; owned as children
    unsigned m_generation = 0;   // rows read for an older listing are dropped
    BackgroundTask m_reading;
};

}  // namespace tunecrate
