// SPDX-License-Identifier: MIT
#include "session/IngestSession.h"

#include <chrono>
#include <thread>

#include "core/Texts.h"
#include "core/disk/DrivePresence.h"
#include "core/disk/FatImage.h"
#include "core/disk/FileOps.h"
#include "core/disk/FloppyFinder.h"
#include "session/UDisks.h"

namespace tunecrate {

namespace {

// How often the kernel's figure for the drive is looked at while a disk is awaited.
constexpr auto kLookEvery = std::chrono::milliseconds(250);

}  // namespace

IngestSession::IngestSession(std::string shelf, const UDisks* udisks, QObject* parent)
    : QObject(parent), m_shelf(std::move(shelf)), m_udisks(udisks) {
    connect(&m_task, &BackgroundTask::progressed, this, [this](int done, int total) {
        const double soFar = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
        const std::optional<int> left = SecondsLeft(soFar, static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total));
        emit progressed(done, total, left ? QString::fromStdString(TimeLeftText(*left)) : QString());
    });
    if (m_udisks != nullptr) connect(m_udisks, &UDisks::mediaChanged, this, [this] { m_poked = true; });
}

IngestSession::~IngestSession() { m_task.Stop(); }

std::vector<std::string> IngestSession::Drives() {
    return FindRemovableDisks(ReadMountTable(), 0, kImageBytes / 512);
}

void IngestSession::SetPhase(Phase phase, std::string state) {
    m_phase = phase;
    m_state = std::move(state);
    emit phaseChanged();
}

void IngestSession::Start(const std::string& drive, const IngestOptions& options) {
    if (m_phase != Phase::Idle) return;
    m_drive = drive;
    m_options = options;
    m_diskInCounts = true;
    if (m_onto) {
        Wait();
        return;
    }
    SetPhase(Phase::Opening, Translated(texts::kIngestOpening, {m_shelf}));
    m_openFailure.reset();
    m_task.Start(
        [this](BackgroundTask& task) {
            Expected<IngestShelf> opened = IngestShelf::Open(m_shelf, [&task] { return !task.CancelAsked(); });
            if (opened) m_onto.emplace(std::move(*opened));
            else m_openFailure = opened.error();
        },
        [this] {
            if (m_openFailure) {
                SetPhase(Phase::Idle, m_openFailure->reason);
                emit failed(QString::fromStdString(m_openFailure->reason));
                return;
            }
            Wait();
        });
}

void IngestSession::Wait() {
    SetPhase(Phase::Waiting, Translated(m_rows.empty() ? texts::kIngestInsertDisk : texts::kInsertNextDisk));
    const bool diskInCounts = std::exchange(m_diskInCounts, false);
    const bool serviceAsks = m_udisks != nullptr && m_udisks->Available();
    m_task.Start(
        [this, diskInCounts, serviceAsks](BackgroundTask& task) {
            DriveLook look(m_drive, serviceAsks);
            DiskArrival arrival(diskInCounts);
            while (!task.CancelAsked()) {
                // The service saw a medium come or go: the drive itself is asked at once.
                const std::uint64_t bytes = m_poked.exchange(false) ? ProbeDiskBytes(m_drive).value_or(0) : look.Bytes();
                if (arrival.Seen(bytes)) return;
                std::this_thread::sleep_for(kLookEvery);
            }
        },
        [this] { Read(); });
}

void IngestSession::Read() {
    SetPhase(Phase::Reading, Translated(texts::kReadingDisk));
    m_started = std::chrono::steady_clock::now();
    m_task.Start(
        [this](BackgroundTask& task) {
            const std::lock_guard lock(m_ontoLock);
            m_taken = m_onto->Take(m_drive, ReadMountTable(), m_options,
                                   [&task](std::uint32_t done, std::uint32_t total) { return task.Report(static_cast<int>(done), static_cast<int>(total)); });
        },
        [this] { Took(); });
}

void IngestSession::Took() {
    IngestedDisk disk = std::move(*m_taken);
    m_taken.reset();
    if (!disk.cancelled) m_options.label.clear();   // a label typed ahead was for this disk alone
    emit progressed(-1, -1, {});
    if (m_phase == Phase::Retrying) {
        if (!m_rows.empty()) m_rows.back() = disk;
    } else if (!disk.cancelled || disk.written()) {
        m_rows.push_back(disk);
    }
    ApplyLabels();
    emit rowsChanged();
    if (disk.cancelled && m_phase != Phase::Retrying) {
        SetPhase(Phase::Idle, Translated(texts::kIngestStopped, {std::to_string(m_rows.size())}));
        return;
    }
    if (disk.written() && !disk.unreadable.empty()) {
        // The disk stays in: the user may have it read again before it goes.
        SetPhase(Phase::Paused, Translated(texts::kIngestDiskHasBadSectors, {std::to_string(disk.unreadable.size())}));
        return;
    }
    GoOn();
}

void IngestSession::GoOn() {
    if (m_phase != Phase::Paused && m_phase != Phase::Reading && m_phase != Phase::Retrying) return;
    Eject();
    Wait();
}

void IngestSession::Eject() {
    // A drive without a motor to push the disk out says so: the user takes it out.
    if (m_udisks != nullptr && m_udisks->Available()) m_udisks->Eject(m_drive);
}

void IngestSession::RetryDisk(int passes) {
    if (m_phase != Phase::Paused) return;
    SetPhase(Phase::Retrying, Translated(texts::kIngestRetrying));
    m_started = std::chrono::steady_clock::now();
    m_task.Start(
        [this, passes](BackgroundTask& task) {
            const std::lock_guard lock(m_ontoLock);
            m_taken = m_onto->Retry(m_drive, ReadMountTable(), passes,
                                    [&task](std::uint32_t done, std::uint32_t total) { return task.Report(static_cast<int>(done), static_cast<int>(total)); });
        },
        [this] {
            IngestedDisk disk = std::move(*m_taken);
            m_taken.reset();
            emit progressed(-1, -1, {});
            if (!m_rows.empty()) m_rows.back() = disk;
            ApplyLabels();
            emit rowsChanged();
            if (!disk.unreadable.empty() || !disk.result.ok()) {
                SetPhase(Phase::Paused, Translated(texts::kIngestDiskHasBadSectors, {std::to_string(disk.unreadable.size())}));
            } else {
                m_phase = Phase::Paused;
                GoOn();
            }
        });
}

void IngestSession::Stop() {
    if (m_phase == Phase::Idle) return;
    m_task.Stop();
    m_taken.reset();
    emit progressed(-1, -1, {});
    SetPhase(Phase::Idle, Translated(texts::kIngestStopped, {std::to_string(m_rows.size())}));
}

void IngestSession::Relabel(int row, const std::string& label) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return;
    IngestedDisk& disk = m_rows[static_cast<std::size_t>(row)];
    if (!disk.written()) {
        disk.label = FileLabel(label);
        emit rowsChanged();
        return;
    }
    m_pendingLabels.emplace_back(disk.image, label);
    ApplyLabels();
    emit rowsChanged();
}

void IngestSession::ApplyLabels() {
    // While a job takes a disk the shelf is its own: the new labels wait for it.
    std::unique_lock lock(m_ontoLock, std::try_to_lock);
    if (!lock.owns_lock() || !m_onto) {
        for (const auto& [image, label] : m_pendingLabels) {
            for (IngestedDisk& disk : m_rows) {
                if (disk.image == image) disk.label = FileLabel(label);
            }
        }
        return;
    }
    for (const auto& [image, label] : std::exchange(m_pendingLabels, {})) {
        for (IngestedDisk& disk : m_rows) {
            if (disk.image != image) continue;
            Expected<IngestedDisk> relabelled = m_onto->Relabel(disk, label);
            if (relabelled) {
                disk = *relabelled;
            } else {
                emit failed(QString::fromStdString(relabelled.error().reason));
            }
        }
    }
}

Result IngestSession::SaveTable(const std::string& path) const {
    const Result saved = WriteFileBytes(path, IngestCsv(m_rows));
    if (saved.ok()) return saved;
    return Result{saved.status, saved.error, Translated(texts::kCannotWrite, {path, saved.reason})};
}

}  // namespace tunecrate
