#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <functional>

// The one worker on which the account jobs run, one numbered job at a time.
// The worker lives from construction to finish(); a start either hands its
// job to the worker or is refused, never accepted and then lost.
class LiveTaskThread : public QThread
{
    Q_OBJECT

public:
    // The job numbers the facade runs.
    enum Job {
        JobLogin = 1,
        JobOpenLive = 2,
        JobCaptchaLogin = 3,
        JobPhoneLogin = 4,
        JobPhoneCaptchaLogin = 5,
        JobQrPoll = 6,
        JobQrCode = 7
    };

    // `body` runs each accepted job on the worker; without one a job does
    // nothing.
    explicit LiveTaskThread(std::function<void(int job)> body, QObject *parent = nullptr);
    ~LiveTaskThread() override; // finish()

    // False while a job runs (or once finished). Otherwise `accept` runs on
    // the caller's thread, while nothing else can start or run, so a job's
    // inputs are stored only when the job is taken; then the worker starts it.
    bool startTask(int job, const std::function<void()> &accept = {});
    bool isBusy() const;
    // The number of the job running or run last; 0 before the first.
    int jobNumber() const;
    // Waits until no job runs.
    void waitIdle();
    // Refuses every later start, waits for the running job and ends the worker.
    void finish();

protected:
    void run() override;

private:
    std::function<void(int)> m_body;
    mutable QMutex m_mutex;
    QWaitCondition m_changed;
    bool m_busy = false;    // from an accepted start until its job returned
    bool m_pending = false; // accepted, not yet taken by the worker
    bool m_finishing = false;
    int m_job = 0;
};
