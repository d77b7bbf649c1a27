// SPDX-License-Identifier: MIT
#include "session/ShelfSession.h"

#include <QFileSystemWatcher>
#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <tuple>

#include "core/disk/FileOps.h"
#include "core/disk/FloppyVolume.h"
#include "core/disk/StickSlots.h"
#include "core/songs/FloppyCatalogue.h"
#include "core/songs/FloppyDrop.h"
#include "core/songs/StickConvert.h"
#include "core/Texts.h"
#include "core/text/SearchText.h"
#include "session/WaitCursor.h"

namespace tunecrate {

namespace {

constexpr int kRelistDelayMs = 250;   // a copy of many images is one relisting, not hundreds
constexpr std::chrono::milliseconds kHandOverGap{20};   // between two batches of rows read
// A watcher looks through all its files for each file it is given: thousands
// of images are watched by a few hundred per watcher.
constexpr qsizetype kFilesPerWatcher = 256;

}  // namespace

class ShelfSession::Hold {
public:
    explicit Hold(ShelfSession& session) : m_session(session) { ++m_session.m_holds; }
    ~Hold() {
        if (--m_session.m_holds == 0 && m_session.m_relistWanted) {
            QMetaObject::invokeMethod(&m_session, &ShelfSession::Relist, Qt::QueuedConnection);
        }
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    ShelfSession& m_session;
};

ShelfSession::ShelfSession(PrompterFor prompter, std::function<std::string()> mainFloppy, QObject* parent)
    : QObject(parent), m_prompter(std::move(prompter)), m_asker(std::make_unique<BoxWatchingPrompter>([this]() -> Prompter& { return m_prompter(); },
                                                    [this](bool opened) {
                                                        if (opened) m_boxHolds.push_back(std::make_unique<Hold>(*this));
                                                        else m_boxHolds.pop_back();
                                                    })),
      m_mainFloppy(std::move(mainFloppy)), m_watcher(new QFileSystemWatcher(this)) {
    auto* relistTimer = new QTimer(this);
    relistTimer->setSingleShot(true);
    relistTimer->setInterval(kRelistDelayMs);
    connect(relistTimer, &QTimer::timeout, this, &ShelfSession::Relist);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, relistTimer, qOverload<>(&QTimer::start));
}

ShelfSession::~ShelfSession() { StopReading(); }

bool ShelfSession::IsRead(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_read.size() && m_read[static_cast<std::size_t>(row)];
}

std::string ShelfSession::PathOf(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return {};
    return ShelfEntryPath(m_folder, m_rows[static_cast<std::size_t>(row)].file);
}

int ShelfSession::RowOf(const std::string& path) const {
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (PathOf(static_cast<int>(i)) == path) return static_cast<int>(i);
    }
    return -1;
}

void ShelfSession::FollowSlotWrite(const std::string& image) {
    if (!m_stick) return;
    const std::optional<SlotPath> slot = ParseSlotPath(image);
    if (!slot || !SameFile(slot->stick, m_folder)) return;
    if (const int row = RowOf(ShelfEntryPath(m_folder, SlotPathOf("", slot->slot))); row >= 0) StartReading({row});
}

void ShelfSession::SetSearch(const QString& query) {
    m_query = query;
    m_key = SearchKey(query.toStdString());
    // The rows read while nothing was searched get their keys now.
    if (!m_key.empty()) {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (m_read[i] && !m_keyed[i]) m_keys[i] = SearchKeysOf(m_rows[i]), m_keyed[i] = true;
        }
    }
    SearchAll();
    emit searchChanged();
}

void ShelfSession::SearchAll() {
    m_hits.clear();
    m_matches = 0;
    for (const ShelfKeys& keys : m_keys) {
        m_hits.push_back(MatchShelfRow(keys, m_key));
        m_matches += MatchCount(m_hits.back());
    }
}

void ShelfSession::OpenFolder(const std::string& folder) {
    m_folder = folder;
    m_stickHold.reset();
    if (!m_watcher->directories().isEmpty()) m_watcher->removePaths(m_watcher->directories());
    // A stick's slots change only by our own gestures: there is no folder to watch.
    if (IsFolder(folder)) m_watcher->addPath(QString::fromStdString(folder));
    Relist();
}

void ShelfSession::Reload() { Relist(); }

void ShelfSession::Relist() {
    if (m_holds > 0) {
        m_relistWanted = true;
        return;
    }
    m_relistWanted = false;
    StopReading();
    ++m_generation;
    m_rows.clear();
    std::optional<std::vector<ShelfEntry>> entries;
    FloppiesAtPath stick = !IsFolder(m_folder) && MayBeStick(m_folder) ? FloppiesAt(m_folder) : FloppiesAtPath{};
    m_stick = stick.stick;
    if (m_stick) {
        m_stickHold = std::move(stick.hold);
        entries = std::move(stick.images);
    } else if (!stick.refusal.empty()) {
        ShowFailure(stick.refusal);
        entries.emplace();
    } else if (!(entries = ListShelfEntries(m_folder))) {
        ShowFailure(Translated(texts::kCannotRead, {m_folder, Result::FromErrno(errno).reason}));
        entries.emplace();
    }
    m_entries = std::move(*entries);
    for (const ShelfEntry& entry : m_entries) m_rows.push_back(UnreadShelfRow(entry));
    m_keys.assign(m_rows.size(), ShelfKeys{});
    m_keyed.assign(m_rows.size(), false);
    m_read.assign(m_rows.size(), false);
    m_rowsRead = 0;
    m_hashes.assign(m_rows.size(), FloppySongHashes{});
    m_hashed.assign(m_rows.size(), false);
    m_rowsHashed = 0;
    m_copies.clear();
    SearchAll();
    for (QFileSystemWatcher* watcher : m_fileWatchers) delete watcher;
    m_fileWatchers.clear();
    QStringList paths;
    for (std::size_t i = 0; i < m_rows.size() && !m_stick; ++i) paths.push_back(QString::fromStdString(PathOf(static_cast<int>(i))));
    for (qsizetype first = 0; first < paths.size(); first += kFilesPerWatcher) {
        auto* watcher = new QFileSystemWatcher(paths.mid(first, kFilesPerWatcher), this);
        connect(watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString& path) {
            // A file written in place, or replaced: its row is read again.
            if (const int row = RowOf(path.toStdString()); row >= 0) StartReading({row});
        });
        m_fileWatchers.push_back(watcher);
    }
    emit rowsReset();
    std::vector<int> all(m_rows.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    StartReading(std::move(all));
}

void ShelfSession::StartReading(std::vector<int> rows) {
    StopReading();
    // The rows the stopped reader had not come to yet are read too.
    std::vector<bool> wanted(m_rows.size());
    for (int row : rows) wanted[static_cast<std::size_t>(row)] = true;
    std::vector<std::pair<int, ShelfEntry>> work;
    // Rows read but not hashed, with the songs their reading found.
    std::vector<std::tuple<int, std::string, std::array<bool, kSlotCount>>> toHash;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (wanted[i] || !m_read[i]) work.emplace_back(static_cast<int>(i), m_entries[i]);
        else if (!m_hashed[i]) toHash.emplace_back(static_cast<int>(i), m_rows[i].file, m_rows[i].holdsSong);
    }
    const unsigned generation = m_generation;
    m_reading.Start([this, generation, folder = m_folder, work = std::move(work), toHash = std::move(toHash)](BackgroundTask& task) mutable {
        // The first row at once, then the rows read meanwhile together: an event per row would
        // wake the window thousands of times. A row read and not handed over when the reading
        // stops is still unread, and read again by the next reader.
        std::vector<std::pair<int, ShelfRow>> batch;
        std::chrono::steady_clock::time_point handedOver{};
        const auto handOver = [&] {
            QMetaObject::invokeMethod(this, [this, generation, rows = std::move(batch)] {
                for (const auto& [row, read] : rows) TakeRow(generation, row, read);
            }, Qt::QueuedConnection);
            batch = {};
            handedOver = std::chrono::steady_clock::now();
        };
        {
            ShelfReader reader(folder);
            for (const auto& [row, entry] : work) {
                if (task.CancelAsked()) return;
                batch.emplace_back(row, reader.Read(entry));
                toHash.emplace_back(row, batch.back().second.file, batch.back().second.holdsSong);
                if (std::chrono::steady_clock::now() - handedOver >= kHandOverGap) handOver();
            }
        }
        if (!batch.empty()) handOver();
        // Then the songs by content, which reads them whole: the rows come first.
        std::vector<std::tuple<int, std::string, FloppySongHashes>> hashed;
        const auto handOverHashes = [&] {
            QMetaObject::invokeMethod(this, [this, generation, rows = std::move(hashed)] {
                for (const auto& [row, file, hashes] : rows) TakeHashes(generation, row, file, hashes);
            }, Qt::QueuedConnection);
            hashed = {};
            handedOver = std::chrono::steady_clock::now();
        };
        for (const auto& [row, file, holds] : toHash) {
            if (task.CancelAsked()) return;
            hashed.emplace_back(row, file, HashShelfImage(folder, file, holds));
            if (std::chrono::steady_clock::now() - handedOver >= kHandOverGap) handOverHashes();
        }
        if (!hashed.empty()) handOverHashes();
    });
}

void ShelfSession::StopReading() { m_reading.Stop(); }

void ShelfSession::TakeHashes(unsigned generation, int row, const std::string& file, const FloppySongHashes& hashes) {
    const auto i = static_cast<std::size_t>(row);
    if (generation != m_generation || i >= m_rows.size() || file != m_rows[i].file || !m_read[i] || m_hashed[i]) return;
    m_hashes[i] = hashes;
    m_hashed[i] = true;
    if (++m_rowsHashed == static_cast<int>(m_rows.size())) {
        m_copies = FindShelfDuplicates(m_hashes);
        emit copiesFound();
    }
}

void ShelfSession::TakeRow(unsigned generation, int row, const ShelfRow& read) {
    const auto i = static_cast<std::size_t>(row);
    if (generation != m_generation || i >= m_rows.size() || read.file != m_rows[i].file) return;
    m_rows[i] = read;
    // An empty search finds every row whatever its keys: they are made only
    // while something is searched, which spares every row read their cost.
    m_keyed[i] = !m_key.empty();
    m_keys[i] = m_keyed[i] ? SearchKeysOf(read) : ShelfKeys{};
    // This row alone: searching every row as each comes in grows with the square of the shelf.
    m_matches -= MatchCount(m_hits[i]);
    m_hits[i] = MatchShelfRow(m_keys[i], m_key);
    m_matches += MatchCount(m_hits[i]);
    if (!m_read[i]) {
        m_read[i] = true;
        ++m_rowsRead;
    }
    // Read anew: its songs are compared anew.
    if (m_hashed[i]) {
        m_hashed[i] = false;
        --m_rowsHashed;
    }
    emit rowRead(row);
    if (m_rowsRead == static_cast<int>(m_rows.size())) emit readingDone();
}

void ShelfSession::MakeImages(int count, NewNumbers numbers) {
    NewImageNames made;
    {
        WaitCursor wait;
        made = m_stick ? MakeStickFloppies(m_folder, count, numbers) : MakeShelfImages(m_folder, count, numbers);
    }
    if (!made.result.ok()) ShowFailure(made.result.reason);
    Relist();
}

Result ShelfSession::LabelImage(int row, const QString& label) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return Result::FromErrno(ENOENT);
    const std::string from = PathOf(row);
    const LabelledName labelled = LabelShelfImage(m_folder, m_rows[static_cast<std::size_t>(row)].file, label.toStdString());
    if (!labelled.result.ok()) {
        ShowFailure(labelled.result.reason);
        return labelled.result;
    }
    // At once: the main window must not look for the old name while the notice is open.
    emit imagesRenamed({{from, JoinPath(m_folder, labelled.name)}});
    if (!labelled.ascii) {
        m_asker->ShowMessage(tr("イメージの名前を「%1」にしました。\nフロッピーエミュレーターの表示には英数字しか出ません。")
                                     .arg(QString::fromStdString(labelled.name))
                                     .toStdString(),
                                 "Information", MessageIcon::None);
    }
    Relist();
    return labelled.result;
}

void ShelfSession::DropOnto(int row, bool move, const SongSource& songs) {
    // Floppy songs come from the main window's floppy.
    const bool fromFloppy = std::holds_alternative<SongsOnFloppy>(songs);
    const std::string sourceAt = fromFloppy && m_mainFloppy ? m_mainFloppy() : std::string();
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size() || (fromFloppy && sourceAt.empty())) return;
    Hold hold(*this);
    // Songs never go through a link, nor into anything else that only bears an image's name.
    if (!m_entries[static_cast<std::size_t>(row)].IsImage()) {
        ShowFailure(m_entries[static_cast<std::size_t>(row)].oddity);
        return;
    }
    {
        WaitCursor wait;
        auto volume = OpenFloppyVolume(PathOf(row));
        Expected<CatalogueReading> reading = ReadCatalogue(volume.get());
        if (!reading) {
            ShowFailure(reading.error().reason);
            return;
        }
        // An image is opened once: a drop from the image onto its own row reads and writes the one volume.
        std::unique_ptr<FloppyVolume> other;
        FloppyVolume* source = nullptr;
        if (fromFloppy) {
            source = SameFile(sourceAt, PathOf(row)) ? volume.get() : (other = OpenFloppyVolume(sourceAt)).get();
        }
        DropContext context{volume.get(), reading->rows, *m_asker, move};
        SongSource from = songs;
        if (auto* fromSlots = std::get_if<SongsOnFloppy>(&from)) fromSlots->volume = source;
        DropIntoFreeSlots(context, from);
    }
    StartReading({row});
    emit imageWritten(PathOf(row));
    if (move) emit songsMovedOff(songs);
}

std::string ShelfSession::DefaultListPath() const {
    const std::filesystem::path shelf(m_folder);
    const std::string name = shelf.filename().string();
    // A stick's list goes beside its dump, or home: never into /dev.
    const char* home = std::getenv("HOME");
    const std::string folder = !m_stick ? m_folder : IsFolder(shelf.parent_path().string()) && shelf.parent_path() != "/dev" ? shelf.parent_path().string()
                                                                                       : std::string(home != nullptr ? home : ".");
    return JoinPath(folder, (name.empty() ? std::string("shelf") : name) + ".csv");
}

Result ShelfSession::SaveList(const std::string& chosen, bool csv) {
    const std::string_view extension = csv ? ".csv" : ".txt";
    const bool named = chosen.size() > extension.size() && EqualsNoCase(std::string_view(chosen).substr(chosen.size() - extension.size()), extension);
    const std::string path = named ? chosen : chosen + std::string(extension);
    Result written = WriteFileBytes(path, csv ? ShelfCsv(m_rows) : ShelfText(m_rows));
    if (!written.ok()) {
        written.reason = Translated(texts::kCannotWrite, {path, written.reason});
        ShowFailure(written.reason);
    }
    return written;
}

std::vector<std::string> ShelfSession::ShelfCandidates() const {
    const std::vector<MountEntry> mounts = ReadMountTable();
    std::vector<std::string> shelves = FindSlotSticks(mounts);
    if (auto folder = FindShelfFolder(mounts)) shelves.push_back(*folder);
    return shelves;
}

std::vector<std::string> ShelfSession::StickDevices() const {
    return FindStickSizedDisks(ReadMountTable());
}

int ShelfSession::HighestNumber() const { return m_stick ? static_cast<int>(m_rows.size()) - 1 : kHighestImageNumber; }

void ShelfSession::RemoveImages(const std::vector<int>& rows) {
    Hold hold(*this);
    std::vector<std::string> files;
    QStringList named;
    for (int row : rows) {
        if (!ValidRow(row) || m_rows[static_cast<std::size_t>(row)].emptySlot) continue;
        files.push_back(m_rows[static_cast<std::size_t>(row)].file);
        named << QString::fromStdString(m_stick ? SlotPathOf(m_folder, *m_rows[static_cast<std::size_t>(row)].number) : files.back());
    }
    if (files.empty()) return;
    constexpr int kNamedAtMost = 12;
    QString list = QStringList(named.mid(0, kNamedAtMost)).join(QLatin1Char('\n'));
    if (named.size() > kNamedAtMost) list += QLatin1Char('\n') + tr("ほか %n 個", nullptr, static_cast<int>(named.size() - kNamedAtMost));
    const QString question = m_stick ? tr("次のスロットを空きにします。中のフロッピーは消えます。\n\n%1\n\nよろしいですか？")
                                     : tr("次のイメージをごみ箱に移します。\n\n%1\n\nよろしいですか？");
    if (!m_asker->AskYesNo(question.arg(list).toStdString(), tr("イメージの削除").toStdString())) return;
    ImagesOutcome done;
    {
        WaitCursor wait;
        done = RemoveShelfImages(m_folder, files);
    }
    for (const ImageOutcome& image : done.images) {
        if (image.result.ok()) emit imageWritten(ShelfEntryPath(m_folder, image.file));
    }
    ShowOutcome(done);
    Relist();
}

void ShelfSession::RenumberImage(int row, int number) {
    if (!ValidRow(row)) return;
    Hold hold(*this);
    const ShelfRow& shown = m_rows[static_cast<std::size_t>(row)];
    const std::string file = shown.file;
    if (shown.number == number) return;
    // The image shown at that number, if any: the two swap, once the user agrees.
    std::string other;
    for (const ShelfRow& r : m_rows) {
        if (r.number == number && !r.emptySlot && r.file != file) other = r.file;
    }
    ImagesOutcome done;
    std::vector<std::pair<std::string, std::string>> renames;
    if (!other.empty()) {
        const QString question = tr("番号 %1 は %2 が使っています。二つの番号を入れ替えますか？")
                                     .arg(number)
                                     .arg(QString::fromStdString(m_stick ? SlotPathOf(m_folder, number) : other));
        if (!m_asker->AskYesNo(question.toStdString(), tr("番号を変える").toStdString())) return;
        WaitCursor wait;
        done = SwapShelfImages(m_folder, file, other);
        // Through a name that is none of theirs, so that neither follows the other.
        const std::string passing = PathOf(row) + "\n";
        for (const ImageOutcome& image : done.images) {
            if (image.result.ok() && image.file == file) renames.emplace_back(PathOf(row), passing);
        }
        for (const ImageOutcome& image : done.images) {
            if (image.result.ok() && image.file == other) renames.emplace_back(ShelfEntryPath(m_folder, other), ShelfEntryPath(m_folder, image.to));
        }
        for (const ImageOutcome& image : done.images) {
            if (image.result.ok() && image.file == file) renames.emplace_back(passing, ShelfEntryPath(m_folder, image.to));
        }
    } else {
        WaitCursor wait;
        done.images.push_back(RenumberShelfImage(m_folder, file, number));
        if (done.images.back().result.ok()) renames.emplace_back(PathOf(row), ShelfEntryPath(m_folder, done.images.back().to));
    }
    if (!renames.empty()) emit imagesRenamed(renames);
    ShowOutcome(done);
    Relist();
}

void ShelfSession::CloseGaps() {
    Hold hold(*this);
    if (!m_asker->AskYesNo(tr("イメージの番号のすき間を詰めます。順番はそのままで、番号が変わります。よろしいですか？").toStdString(),
                           tr("すき間を詰める").toStdString())) {
        return;
    }
    ImagesOutcome done;
    {
        WaitCursor wait;
        done = CloseShelfGaps(m_folder);
    }
    std::vector<std::pair<std::string, std::string>> renames;
    for (const ImageOutcome& image : done.images) {
        if (image.result.ok()) renames.emplace_back(ShelfEntryPath(m_folder, image.file), ShelfEntryPath(m_folder, image.to));
    }
    if (!renames.empty()) emit imagesRenamed(renames);
    ShowOutcome(done);
    Relist();
}

void ShelfSession::CopyImage(int row, const std::string& toShelf, std::optional<int> number, NewNumbers numbers) {
    if (!ValidRow(row)) return;
    Hold hold(*this);
    ImageOutcome copied;
    {
        WaitCursor wait;
        copied = CopyShelfImage(m_folder, m_rows[static_cast<std::size_t>(row)].file, toShelf, number, numbers);
    }
    ImagesOutcome outcome;
    outcome.images.push_back(std::move(copied));
    ShowOutcome(outcome);
    Relist();
}

void ShelfSession::TakeImages(const std::vector<std::string>& paths, NewNumbers numbers) {
    Hold hold(*this);
    ImagesOutcome done;
    {
        WaitCursor wait;
        for (const std::string& path : paths) {
            const auto [shelf, file] = ShelfOfImage(path);
            done.images.push_back(CopyShelfImage(shelf, file, m_folder, std::nullopt, numbers));
        }
    }
    ShowOutcome(done);
    Relist();
}

void ShelfSession::ConvertToFolder(const std::string& folder) {
    if (!m_stick) return;
    Hold hold(*this);
    StickConversion done;
    {
        WaitCursor wait;
        done = StickToImages(m_folder, folder);
    }
    ShowConversion(done);
}

void ShelfSession::ConvertToStick(const std::string& stick) {
    if (m_stick) return;
    Hold hold(*this);
    const QString question = tr("%1 の中身はすべて消え、このディスク棚の番号付きのイメージが同じ番号のスロットに書かれます。\n"
                                "工場出荷時のファームウェアで読めるスティックになります。よろしいですか？")
                                 .arg(QString::fromStdString(stick));
    if (!m_asker->AskOkCancel(question.toStdString(), tr("スティックに書き込む").toStdString())) return;
    StickConversion done;
    {
        WaitCursor wait;
        done = ImagesToStick(m_folder, stick);
    }
    ShowConversion(done);
}

void ShelfSession::ShowConversion(const StickConversion& done) {
    ImagesOutcome outcome{done.result, {}};
    for (const ConvertedFloppy& floppy : done.floppies) outcome.images.push_back({floppy.image, {}, floppy.result});
    if (!outcome.ok()) {
        ShowOutcome(outcome);
        return;
    }
    m_asker->ShowMessage(tr("%n 枚のフロッピーを書きました。", nullptr, static_cast<int>(done.floppies.size())).toStdString(),
                         "Information", MessageIcon::None);
}

void ShelfSession::ShowOutcome(const ImagesOutcome& done) {
    if (!done.ok()) ShowFailure(done.Failure().reason);
}

void ShelfSession::ShowFailure(const std::string& text) {
    m_asker->ShowMessage(text, Translated(texts::kErrorCaption), MessageIcon::Exclamation);
}

}  // namespace tunecrate
