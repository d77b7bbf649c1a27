// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/songs/Ingest.h"
#include "session/BackgroundTask.h"

namespace tunecrate {

class UDisks;

// A box of floppies taken onto a shelf, disk after disk, beside the window:
// wait for a disk in the drive, read it onto the shelf, eject it, ask for
// the next. A disk with unreadable sectors waits for the user: read it
// again, or go on. Every image written is whole; stopping loses only the
// disk being read.
class IngestSession : public QObject {
    Q_OBJECT
public:
    enum class Phase { Idle, Opening, Waiting, Reading, Retrying, Paused };

    // `udisks` (may be absent) ejects each disk and tells when one comes.
    IngestSession(std::string shelf, const UDisks* udisks, QObject* parent = nullptr);
    ~IngestSession() override;

    const std::string& Shelf() const { return m_shelf; }
    Phase CurrentPhase() const { return m_phase; }
    // What the loop is doing, in words: the line under the table.
    const std::string& StateText() const { return m_state; }
    const std::vector<IngestedDisk>& Rows() const { return m_rows; }
    // The drives a disk can be taken from: removable disks of a floppy's size, or empty.
    static std::vector<std::string> Drives();

    // ---- gestures ----
    void Start(const std::string& drive, const IngestOptions& options);
    // Stops reading and waiting; the disk being read is not written.
    void Stop();
    // The disk that waits (it had unreadable sectors): read them `passes` times more.
    void RetryDisk(int passes = 3);
    // The disk that waits: eject it and wait for the next.
    void GoOn();
    // The next disk's label, before it is read; empty: its first title. Used once.
    void SetNextLabel(const std::string& label) { m_options.label = label; }
    // A row's image takes another label.
    void Relabel(int row, const std::string& label);
    // The table, as CSV, into `path`.
    Result SaveTable(const std::string& path) const;

signals:
    void phaseChanged();
    void rowsChanged();           // a row came or changed
    // While a disk is read: sectors done of all, and the time left in words (empty until known).
    void progressed(int done, int total, const QString& timeLeft);
    // Something the user must read (a failure to open the shelf, say).
    void failed(const QString& text);

private:
    void SetPhase(Phase phase, std::string state);
    void Wait();
    void Read();
    void Took();
    void Eject();
    void ApplyLabels();

    std::string m_shelf;
    const UDisks* m_udisks;
    std::string m_drive;
    IngestOptions m_options;
    Phase m_phase = Phase::Idle;
    std::string m_state;
    std::vector<IngestedDisk> m_rows;
    // Used by the job while it runs, and by the window only between jobs.
    std::optional<IngestShelf> m_onto;
    std::optional<IngestedDisk> m_taken;   // the job's result, handed over in its end
    std::optional<Result> m_openFailure;
    std::mutex m_ontoLock;                 // held by a job while it takes a disk
    std::vector<std::pair<std::string, std::string>> m_pendingLabels;   // image -> label, for after it
    bool m_diskInCounts = true;            // the first disk may be in the drive already
    std::atomic<bool> m_poked{false};      // the disk service saw a medium change: ask the drive now
    BackgroundTask m_task;
    std::chrono::steady_clock::time_point m_started;
};

}  // namespace tunecrate
