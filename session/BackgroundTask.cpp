// SPDX-License-Identifier: MIT
#include "session/BackgroundTask.h"

#include <QMetaObject>

namespace tunecrate {

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() { Stop(); }

void BackgroundTask::Start(Job work, std::function<void()> then) {
    Stop();
    m_job = std::move(work);
    m_then = std::move(then);
    m_cancelled = false;
    m_running = true;
    QMetaObject::invokeMethod(this, [this, number = m_jobs.load()] { Launch(number); }, Qt::QueuedConnection);
}

void BackgroundTask::Launch(unsigned number) {
    if (number != m_jobs || m_thread.joinable()) return;
    m_thread = std::thread([this, number] {
        m_job(*this);
        QMetaObject::invokeMethod(this, [this, number] { End(number); }, Qt::QueuedConnection);
    });
}

void BackgroundTask::End(unsigned number) {
    if (number != m_jobs) return;
    if (m_thread.joinable()) m_thread.join();
    ++m_jobs;
    m_running = false;
    m_job = nullptr;
    // Taken out first: `then` may start the next job.
    const std::function<void()> then = std::move(m_then);
    m_then = nullptr;
    if (then) then();
}

void BackgroundTask::Stop() {
    m_cancelled = true;
    if (m_thread.joinable()) m_thread.join();
    ++m_jobs;
    m_running = false;
    m_job = nullptr;
    m_then = nullptr;
}

bool BackgroundTask::Report(int done, int total) {
    QMetaObject::invokeMethod(
        this, [this, number = m_jobs.load(), done, total] { if (number == m_jobs) emit progressed(done, total); },
        Qt::QueuedConnection);
    return !m_cancelled;
}

}  // namespace tunecrate
