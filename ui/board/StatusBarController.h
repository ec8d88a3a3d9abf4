#pragma once

#include "platform/Scheduler.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace qv {

// The status bar's text. A message of the window clears itself 15 s after the last one, giving
// way to the sync engine's latest status, which waits under it meanwhile and otherwise stays
// until the next text. Messages for a hidden window are dropped.
class StatusBarController final : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kClearDelayMs = 15'000;

    // visible: whether the window is shown; terminating: whether quitting has begun. Without a
    // scheduler messages stay until the next.
    StatusBarController(Scheduler* scheduler, std::function<bool()> visible,
                        std::function<bool()> terminating = {});
    ~StatusBarController() override;

    QString text() const { return m_text; }
    // The whole of what the shown message sums up, for the user to read on request; empty when
    // the message says it all.
    QString details() const { return m_details; }

    // Shown for 15 s; a newer message gets its full 15 s again.
    void setStatusBarMessage(const QString& message, const QString& details = {});
    // While held answers true (the user is at the message's details) the message is not cleared.
    void setHeldWhile(std::function<bool()> held) { m_held = std::move(held); }
    // A notice the user must not miss (the password store failing): shown for 15 s like a
    // message, and a message that comes meanwhile waits for its end. false when the window is
    // hidden and nothing was shown.
    bool setStatusBarNotice(const QString& notice);
    // The sync engine's status: shown as it is (once a window message has had its time), no
    // clearing of its own.
    void setSyncStatus(const QString& message);
    void clearStatusBarMessage();

signals:
    void textChanged(const QString& text);
    void detailsChanged(const QString& details);

private:
    struct Message {
        QString text;
        QString details;
    };

    void show(const QString& text, const QString& details = {});
    void clearLater();
    void cancelTimer();

    Scheduler* m_scheduler;
    std::function<bool()> m_visible;
    std::function<bool()> m_terminating;
    std::function<bool()> m_held;
    QString m_text;
    QString m_details;
    QString m_syncStatus;
    TimerId m_clearTimer = 0;
    bool m_noticeShown = false;
    std::optional<Message> m_waitingMessage;
};

} // namespace qv
