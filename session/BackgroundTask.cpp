// SPDX-License-Identifier: MIT
#include "session/BackgroundTask.h"

#include <QMetaObject>

namespace tunecrate {

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() { Stop(); }

void BackgroundTask::Start(Job job, std::function<void()> then) {
    Stop();
    m_job = std::move(job);
    m_then = std::move(then);
    m_cancelled = false;
    m_running = true;
    QMetaObject::invokeMethod(this, [this, run = m_run.load()] { Launch(run); }, Qt::QueuedConnection);
}

void BackgroundTask::Launch(unsigned run) {
    if (run != m_run || m_thread.joinable()) return;
    m_thread = std::thread([this, run] {
        m_job(*this);
        QMetaObject::invokeMethod(this, [this, run] { End(run); }, Qt::QueuedConnection);
    });
}

void BackgroundTask::End(unsigned run) {
    if (run != m_run) return;
    if (m_thread.joinable()) m_thread.join();
    ++m_run;
    m_running = false;
    m_job = nullptr;
    // Taken out first: `then` may start the next job.
    const std::function<void()> then = std::move(m_then);
    m_then = nullptr;
    emit finished();
    if (then) then();
}

void BackgroundTask::Stop() {
    m_cancelled = true;
    if (m_thread.joinable()) m_thread.join();
    ++m_run;
    m_running = false;
    m_job = nullptr;
    m_then = nullptr;
}

bool BackgroundTask::Report(int done, int total) {
    QMetaObject::invokeMethod(
        this, [this, run = m_run.load(), done, total] { if (run == m_run) emit progressed(done, total); },
        Qt::QueuedConnection);
    return !m_cancelled;
}

}  // namespace tunecrate
