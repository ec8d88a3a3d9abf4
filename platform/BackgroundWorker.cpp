#include "platform/BackgroundWorker.h"

#include <QMetaObject>

namespace qv {

BackgroundWorker::BackgroundWorker() : m_receiver(new QObject) {}

BackgroundWorker::~BackgroundWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    // Only now: the thread no longer queues answers on it.
    delete m_receiver;
}

void BackgroundWorker::run(Job job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
    }
    m_changed.notify_all();
}

void BackgroundWorker::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_working = true;
        lock.unlock();
        Answer answer = job();
        lock.lock();
        m_working = false;
        if (answer)
            m_answers.push_back(std::move(answer));
        m_changed.notify_all();
        if (!m_stopping)
            QMetaObject::invokeMethod(
                m_receiver, [this] { deliverAnswers(); }, Qt::QueuedConnection);
    }
}

void BackgroundWorker::waitForAll()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_jobs.empty() && !m_working; });
    }
    deliverAnswers();
}

void BackgroundWorker::deliverAnswers()
{
    for (;;) {
        Answer answer;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_answers.empty())
                return;
            answer = std::move(m_answers.front());
            m_answers.pop_front();
        }
        answer();
    }
}

} // namespace qv
