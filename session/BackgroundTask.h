// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

namespace tunecrate {

// Runs one job at a time on a thread of its own while the window's events go
// on: the job reports how far it is and learns whether it was cancelled; its
// progress comes back on the object's own thread as a signal, its end as a call. It
// owns the thread: a stopped or destroyed task waits for the job to return.
class BackgroundTask : public QObject {
    Q_OBJECT
public:
    using Job = std::function<void(BackgroundTask&)>;

    explicit BackgroundTask(QObject* parent = nullptr);
    ~BackgroundTask() override;

    // Stops any running job, then runs `work`, and `then` on this object's
    // thread once it has returned. The thread starts from the event loop, so
    // that a cancel asked before it starts is taken up first.
    void Start(Job work, std::function<void()> then = {});
    // Cancels and waits for the job to return; its `then` is not run.
    void Stop();
    void Cancel() { m_cancelled = true; }
    // From the job: whether it should stop.
    bool CancelAsked() const { return m_cancelled; }
    // From the job: tells the window how far it is; false once it should stop.
    bool Report(int done, int total);
    // Started and not yet ended (or stopped).
    bool Running() const { return m_running; }

signals:
    void progressed(int done, int total);

private:
    void Launch(unsigned number);
    void End(unsigned number);

    Job m_job;
    std::function<void()> m_then;
    std::thread m_thread;
    std::atomic<bool> m_cancelled{false};
    bool m_running = false;
    std::atomic<unsigned> m_jobs{0};   // counts jobs: what an ended or stopped one queued is dropped
};

}  // namespace tunecrate
