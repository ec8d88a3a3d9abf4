#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qv {

// Runs jobs one after another on a thread of its own, so slow file work never holds up the
// window. Each job hands back an answer that runs on the thread that made the worker: at the
// next turn of its event loop, or within waitForAll().
class BackgroundWorker {
public:
    using Answer = std::function<void()>;
    using Job = std::function<Answer()>;

    BackgroundWorker();
    // Lets the jobs already queued finish; their answers are dropped.
    ~BackgroundWorker();
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    void run(Job job);
    // Blocks until every job queued so far has finished, then runs the answers still waiting.
    void waitForAll();

private:
    void loop();
    void deliverAnswers();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    std::deque<Answer> m_answers;
    bool m_working = false;
    bool m_stopping = false;
    // Answers are queued on this object; deleting it drops the ones not delivered yet.
    QObject* m_receiver;
    std::thread m_thread;
};

} // namespace qv
