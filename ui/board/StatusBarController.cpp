#include "ui/board/StatusBarController.h"

#include <utility>

namespace qv {

StatusBarController::StatusBarController(Scheduler* scheduler, std::function<bool()> visible,
                                         std::function<bool()> terminating)
    : m_scheduler(scheduler), m_visible(std::move(visible)), m_terminating(std::move(terminating))
{
}

StatusBarController::~StatusBarController()
{
    cancelTimer();
}

void StatusBarController::setStatusBarMessage(const QString& message, const QString& details)
{
    if (!m_visible || !m_visible())
        return;
    if (m_noticeShown) {
        m_waitingMessage = Message{message, details};
        return;
    }
    show(message, details);
    cancelTimer();
    clearLater();
}

void StatusBarController::clearLater()
{
    if (!m_scheduler)
        return;
    m_clearTimer = m_scheduler->after(kClearDelayMs, this, [this] {
        m_clearTimer = 0;
        // Gone from under the user's keyboard on the way to its details, it could not be read.
        if (m_held && m_held())
            clearLater();
        else
            clearStatusBarMessage();
    });
}

bool StatusBarController::setStatusBarNotice(const QString& notice)
{
    if (!m_visible || !m_visible())
        return false;
    show(notice);
    cancelTimer();
    if (!m_scheduler)
        return true;
    m_noticeShown = true;
    m_clearTimer = m_scheduler->after(kClearDelayMs, this, [this] {
        m_clearTimer = 0;
        m_noticeShown = false;
        if (const std::optional<Message> waiting = std::exchange(m_waitingMessage, std::nullopt))
            setStatusBarMessage(waiting->text, waiting->details);
        else
            clearStatusBarMessage();
    });
    return true;
}

void StatusBarController::setSyncStatus(const QString& message)
{
    m_syncStatus = message;
    // A window message (a failed sync saying why, a notice) gets its full 15 s: the engine's
    // status changes within moments and would otherwise hide it before it could be read.
    if (!m_clearTimer)
        show(message);
}

void StatusBarController::clearStatusBarMessage()
{
    cancelTimer();
    m_noticeShown = false;
    m_waitingMessage.reset();
    if (!(m_terminating && m_terminating()))
        show(m_syncStatus);
}

void StatusBarController::show(const QString& text, const QString& details)
{
    if (details != m_details) {
        m_details = details;
        emit detailsChanged(m_details);
    }
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged(m_text);
}

void StatusBarController::cancelTimer()
{
    if (m_clearTimer && m_scheduler) {
        m_scheduler->cancel(m_clearTimer);
        m_clearTimer = 0;
    }
}

} // namespace qv
