#pragma once

#include <QString>

#include <QObject>

#include <functional>
#include <memory>

namespace qv {

class MyDocument;
class QVRestManager;

// Told how a whole-document sync ended; exactly one call per upload that started.
class SyncControllerDelegate {
public:
    virtual ~SyncControllerDelegate() = default;
    virtual void syncSucceeded() = 0;
    // message: why, for the log.
    virtual void syncFailedWithMessage(const QString& message) = 0;
};

// The whole-document sync: the store is backed up on the "sync" track, then the engine runs one
// complete pass (polls of projects, items and inbox, then the send passes). It succeeds only when
// every step of that pass completed. The delegate hears the end later on the main loop, never
// from inside uploadToServer().
class SyncController {
public:
    // Runs before the pass and says whether it may go ahead (and why not).
    using Preparation = std::function<void(std::function<void(bool ready, const QString& failure)>)>;

    SyncController(MyDocument& document, QVRestManager& engine, SyncControllerDelegate* delegate);
    ~SyncController();
    SyncController(const SyncController&) = delete;
    SyncController& operator=(const SyncController&) = delete;

    void setPreparation(Preparation preparation) { m_preparation = std::move(preparation); }

    // false, doing nothing else, while a sync runs.
    bool uploadToServer();
    bool isSyncing() const { return m_syncing; }

private:
    void runPass();
    void finish(bool completed, const QString& failure);

    MyDocument& m_document;
    QVRestManager& m_engine;
    SyncControllerDelegate* m_delegate;
    Preparation m_preparation;
    bool m_syncing = false;
    // Context of the calls queued on the main loop; the first thing to go.
    std::unique_ptr<QObject> m_lifetime;
};

} // namespace qv
