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

    // Shown for 15 s; a newer message gets its full 15 s again.
    void setStatusBarMessage(const QString& message);
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

private:
    void show(const QString& text);
    void cancelTimer();

    Scheduler* m_scheduler;
    std::function<bool()> m_visible;
    std::function<bool()> m_terminating;
    QString m_text;
    QString m_syncStatus;
    TimerId m_clearTimer = 0;
    bool m_noticeShown = false;
    std::optional<QString> m_waitingMessage;
};

} // namespace qv
